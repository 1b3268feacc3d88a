// Cost per mouse of the ledger calls a write makes: reserve before the mouse is touched,
// sending before the factory record goes out, record + written after the read-back. Then
// whole writes with the factory record on the simulated mouse with real waits (256-byte
// mode, one block), without the ledger and with it, as a station runs them.
// Usage: bench_ledger [CYCLES] [POSTGRESQL_URL] [WRITES]  (the URL also from
// BINWRIGHT_BENCH_PG; scripts/bench-ledger.sh starts a private server for it).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "image/operations.h"
#include "ledger/ledger.h"
#include "ledger/station_ledger.h"
#include "production/polling.h"
#include "sim/sim_platform.h"

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

// The record's gate of the station, timed.
class TimedGate : public bw::FactoryRecordGate {
  public:
    TimedGate(bw::ledger::StationLedger& station, Clock::duration& spent)
        : station_(station), spent_(spent) {}
    bool recordMayGo(const bw::FactoryFields& fields) override {
        const auto t = Clock::now();
        const bool go = station_.recordMayGo(fields);
        spent_ += Clock::now() - t;
        return go;
    }

  private:
    bw::ledger::StationLedger& station_;
    Clock::duration& spent_;
};

struct WriteCost {
    double writeMs = 0;   // a whole cycle per mouse
    double ledgerMs = 0;  // of which in the ledger: reserve, the gate, the row with written
};

// `writes` writes of one simulated mouse, each numbered by the station's ledger if given.
WriteCost TimeWrites(bw::ledger::StationLedger* station, int writes) {
    bw::SimulatedPlatform line;
    bw::MouseSession state(line);
    state.HasImage = true;
    state.ImageType = "KVDE31X";
    bw::NullHost host;
    bw::WriteParams params;
    params.format = bw::DataFormat::Block256;
    params.blocks = 1;
    params.writeId = true;
    params.sleep = 1;
    bw::FactoryFields factory;
    if (!bw::OpenTarget(state, 0, 0x3A5C, 0x0C21)) return {};
    Clock::duration inLedger{};
    std::optional<TimedGate> gate;
    if (station != nullptr) gate.emplace(*station, inLedger);
    const auto start = Clock::now();
    for (int i = 0; i < writes; ++i) {
        bw::ledger::OperationFacts facts;
        if (station != nullptr) {
            const auto t = Clock::now();
            factory.number = station->reserve(factory.type);
            inLedger += Clock::now() - t;
            state.RecordGate = &*gate;
        }
        facts.outcome = bw::WriteImage(state, 0, params, factory, host);
        if (station != nullptr) {
            const auto t = Clock::now();
            facts.factory = factory;
            facts.productNumber = factory.number;
            station->finish(station->row(facts));
            inLedger += Clock::now() - t;
        }
        ++factory.number;
    }
    return {Ms(Clock::now() - start) / writes, Ms(inLedger) / writes};
}

void MeasureWrites(const char* name, const std::string& url, int writes) {
    try {
        bw::ledger::StationLedger station(bw::ledger::OpenLedger(url), "bench");
        const WriteCost cost = TimeWrites(&station, writes);
        std::printf("write_%s_ms_per_mouse=%.3f\n%s_added_to_a_write_ms=%.3f\n", name, cost.writeMs,
                    name, cost.ledgerMs);
    } catch (const bw::ledger::LedgerError& e) {
        std::printf("# %s: %s\n%s_added_to_a_write_ms=n/a\n", name, e.what(), name);
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

    const int writes = argc > 3 ? std::max(1, std::atoi(argv[3])) : 20;
    std::printf("# %d writes with the factory record, 256-byte mode, one block, real waits\n",
                writes);
    std::printf("write_ms_per_mouse=%.3f\n", TimeWrites(nullptr, writes).writeMs);
    std::filesystem::create_directories(folder);
    MeasureWrites("sqlite", (folder / "station.db").string(), writes);
    std::filesystem::remove_all(folder);
    if (!pg.empty()) MeasureWrites("postgres", pg, writes);
    return 0;
}
