// Cost per mouse of the ledger calls a write makes: reserve before the mouse is touched,
// sending before the factory record goes out, record + written after the read-back.
// Usage: bench_ledger [CYCLES] [POSTGRESQL_URL]  (the URL also from BINWRIGHT_BENCH_PG;
// scripts/bench-ledger.sh starts a private server for it).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ledger/ledger.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

bw::ledger::OperationRecord Row(std::int32_t number) {
    bw::ledger::OperationRecord r;
    r.started = std::chrono::system_clock::now();
    r.durationMs = 1800;
    r.station = "bench";
    r.toolVersion = "bench";
    r.operation = "write";
    r.icType = "KVDE31X";
    r.vid = 0x248A;
    r.pid = 0x5B2B;
    r.devicePath = "/dev/hidraw0";
    r.imageName = "bench.bin";
    r.imageSha256 = std::string(64, '0');
    r.factory = bw::FactoryFields{};
    r.factory->number = number;
    r.productNumber = number;
    r.passed = true;
    r.result = r.caption = "Write Pass";
    return r;
}

void Measure(const char* name, const std::string& url, int cycles) {
    try {
        auto ledger = bw::ledger::OpenLedger(url);
        Clock::duration reserve{}, sending{}, written{};
        for (int i = 0; i < cycles; ++i) {
            const auto t0 = Clock::now();
            const auto r = ledger->reserve(5, "bench");
            const auto t1 = Clock::now();
            ledger->markSending(r);
            const auto t2 = Clock::now();
            ledger->commitWritten(r, Row(r.number));
            const auto t3 = Clock::now();
            reserve += t1 - t0;
            sending += t2 - t1;
            written += t3 - t2;
        }
        const double n = cycles;
        std::printf("%s_reserve_ms=%.3f\n%s_sending_ms=%.3f\n%s_written_ms=%.3f\n", name,
                    Ms(reserve) / n, name, Ms(sending) / n, name, Ms(written) / n);
        std::printf("%s_ms_per_mouse=%.3f\n", name, Ms(reserve + sending + written) / n);
    } catch (const bw::ledger::LedgerError& e) {
        std::printf("# %s: %s\n%s_ms_per_mouse=n/a\n", name, e.what(), name);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const char* env = std::getenv("BINWRIGHT_BENCH_PG");
    const std::string pg = argc > 2 ? argv[2] : env != nullptr ? env : "";
    std::printf("# %d mice, each: reserve, sending, record + written (durable commits)\n", cycles);

    const auto folder = std::filesystem::temp_directory_path() /
                        ("binwright-bench-ledger-" + std::to_string(std::rand()));
    std::filesystem::create_directories(folder);
    Measure("sqlite", (folder / "ledger.db").string(), cycles);
    std::filesystem::remove_all(folder);

    if (pg.empty()) {
        std::printf("# postgres: no server given\npostgres_ms_per_mouse=n/a\n");
    } else {
        Measure("postgres", pg, cycles);
    }
    return 0;
}
