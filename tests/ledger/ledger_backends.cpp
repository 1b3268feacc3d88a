#include "ledger/ledger_backends.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "ledger/postgres_session.h"
#include "ledger/sqlite_session.h"

namespace bw::ledger::test {
namespace {

std::string RandomTag() {
    std::random_device rd;
    std::mt19937_64 gen((static_cast<std::uint64_t>(rd()) << 32) ^ rd());
    char text[20];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(gen()));
    return text;
}

std::string ReadLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::string TestServerUrl(std::string* why) {
    const char* state = std::getenv("BINWRIGHT_PG_STATE");
    if (state == nullptr || *state == '\0') {
        *why = "no PostgreSQL test server: run through ctest, whose fixture starts one";
        return {};
    }
    const std::filesystem::path dir(state);
    if (std::filesystem::exists(dir / "url")) return ReadLine(dir / "url");
    *why = "PostgreSQL test server not started: " + (std::filesystem::exists(dir / "skip")
                                                         ? ReadLine(dir / "skip")
                                                         : "no state in " + dir.string());
    return {};
}

LedgerPlace::LedgerPlace(Backend backend, bool fastDisk) : backend_(backend) {
    std::error_code ec;
    const bool shm = fastDisk && std::filesystem::is_directory("/dev/shm", ec);
    const std::filesystem::path base = shm ? "/dev/shm" : std::filesystem::temp_directory_path();
    folder_ = (base / ("binwright-ledger-" + RandomTag())).string();
    std::filesystem::create_directories(folder_);
    if (backend == Backend::Sqlite) {
        url_ = file("ledger.db");
        return;
    }
    server_ = TestServerUrl(&skip_);
    if (server_.empty()) return;
    schema_ = "t_" + RandomTag();
    OpenPostgresSession(server_, 5000)->exec("CREATE SCHEMA " + schema_);
    url_ = server_ + "?options=-csearch_path%3D" + schema_;
}

LedgerPlace::~LedgerPlace() {
    if (!schema_.empty()) {
        try {
            OpenPostgresSession(server_, 5000)->exec("DROP SCHEMA " + schema_ + " CASCADE");
        } catch (const LedgerError&) {
            // The server went away with the test; its cluster is removed at the end.
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
}

std::string LedgerPlace::file(const std::string& name) const {
    return (std::filesystem::path(folder_) / name).string();
}

std::unique_ptr<Ledger> LedgerPlace::open(const LedgerOptions& options) const {
    return OpenLedger(url_, options);
}

std::unique_ptr<SqlSession> LedgerPlace::raw() const {
    if (backend_ == Backend::Sqlite) return OpenSqliteSession(url_, 5000);
    return OpenPostgresSession(url_, 5000);
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

OperationRecord SampleRecord(const std::string& operation, bool passed) {
    OperationRecord r;
    r.started = std::chrono::sys_days{std::chrono::year{2025} / 3 / 4} + std::chrono::hours{5} +
                std::chrono::milliseconds{6089};
    r.durationMs = 1834;
    r.station = "line-a-1";
    r.toolVersion = "1.0.0";
    r.operation = operation;
    r.icType = "KVDE31X";
    r.vid = 0x248A;
    r.pid = 0x5B2B;
    r.devicePath = "/dev/hidraw3";
    r.imageName = "mouse,v2.bin";
    r.imageSha256 = std::string(64, 'a');
    r.factory = FactoryFields{0x0005, 0x20250304, 0x00002A, 2, 25, 7};
    r.productNumber = 0x00002A;
    r.passed = passed;
    r.result = passed ? "Write Pass" : "Write Fail";
    if (!passed) r.reason = "mismatch";
    r.caption = r.result;
    return r;
}

std::string SerialsText(Ledger& ledger) {
    std::string text;
    for (const SerialRow& s : ledger.serials()) {
        text += (text.empty() ? "" : ", ") + NumberText(s.reservation.number) + " " +
                SerialStateName(s.state);
    }
    return text;
}

}  // namespace bw::ledger::test
