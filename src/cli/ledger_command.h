#pragma once
// `binwright ledger summary|report|check|export|backup --ledger URL`: the read side of the
// production ledger, and a consistent copy of a SQLite one.

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace bw {

class LedgerCommand {
  public:
    explicit LedgerCommand(CLI::App& app);
    bool parsed() const { return command_->parsed(); }
    // Exit code: 0, 1 when `check` found a broken invariant, 2 for a ledger or file that
    // cannot be used.
    int run(std::ostream& out, std::ostream& err) const;

  private:
    CLI::App* command_;
    CLI::App* summary_;
    CLI::App* report_;
    CLI::App* check_;
    CLI::App* export_;
    CLI::App* backup_;
    std::string url_;
    std::string since_;
    std::string station_;
    std::string html_;
    std::string csv_;
    std::string target_;
    bool json_ = false;  // JSON lines instead of the table, the sentence or "wrote FILE"
};

}  // namespace bw
