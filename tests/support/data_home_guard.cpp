// Every test process gets a data folder of its own before any test runs: a command that
// falls back on the default ledger (`run --write-id` without --ledger) never writes into
// the home of whoever runs the tests. Removed when the process ends.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "os/utf8_path.h"
#include "support/test_env.h"

namespace {

class DataHomeGuard {
  public:
    DataHomeGuard() {
        std::random_device rd;
        folder_ = std::filesystem::temp_directory_path() /
                  ("binwright-test-data-" + std::to_string(rd()) + std::to_string(rd()));
        bw::test::SetDataHome(bw::Utf8FromPath(folder_));
    }
    ~DataHomeGuard() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

  private:
    std::filesystem::path folder_;
};

const DataHomeGuard guard;

}  // namespace
