#pragma once
// A fresh ledger for each test on each backend: a file in a temporary folder, or a schema
// of its own on the private PostgreSQL server that CTest starts (tests/support/pg-cluster.sh,
// its folder in BINWRIGHT_PG_STATE). Without that server the PostgreSQL rows skip, saying why.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ledger/ledger.h"
#include "ledger/sql_session.h"

namespace bw::ledger::test {

enum class Backend { Sqlite, Postgres };

class LedgerPlace {
  public:
    // fastDisk: the SQLite file on a memory file system where there is one (many rows).
    explicit LedgerPlace(Backend backend, bool fastDisk = false);
    ~LedgerPlace();
    LedgerPlace(const LedgerPlace&) = delete;
    LedgerPlace& operator=(const LedgerPlace&) = delete;

    Backend backend() const { return backend_; }
    const std::string& skipReason() const { return skip_; }
    const std::string& url() const { return url_; }
    std::string file(const std::string& name) const;  // in the temporary folder

    std::unique_ptr<Ledger> open(const LedgerOptions& options = {}) const;
    // A plain session on the same place, to build an old schema or damage a ledger.
    std::unique_ptr<SqlSession> raw() const;

  private:
    Backend backend_;
    std::string folder_;
    std::string url_;
    std::string server_;  // PostgreSQL: the server's URL without the schema
    std::string schema_;
    std::string skip_;
};

// The server's connection string, or "" with the reason in *why.
std::string TestServerUrl(std::string* why);

class LedgerBackendTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        place_ = std::make_unique<LedgerPlace>(GetParam());
        if (!place_->skipReason().empty()) GTEST_SKIP() << place_->skipReason();
    }
    LedgerPlace& place() { return *place_; }

  private:
    std::unique_ptr<LedgerPlace> place_;
};

std::string BackendName(const ::testing::TestParamInfo<Backend>& info);
inline void PrintTo(Backend backend, std::ostream* out) {
    *out << (backend == Backend::Sqlite ? "Sqlite" : "Postgres");
}

#define BW_LEDGER_BACKENDS(suite)                                                      \
    INSTANTIATE_TEST_SUITE_P(Backends, suite,                                          \
                             ::testing::Values(::bw::ledger::test::Backend::Sqlite,    \
                                               ::bw::ledger::test::Backend::Postgres), \
                             ::bw::ledger::test::BackendName)

// A complete operation row with every column set.
OperationRecord SampleRecord(const std::string& operation = "write", bool passed = true);

// The ledger's numbers and their states: "000001 written, 000002 released".
std::string SerialsText(Ledger& ledger);

}  // namespace bw::ledger::test
