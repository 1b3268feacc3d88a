#pragma once
// `binwright service install NAME --config FILE | uninstall NAME`: a station as a Windows
// service, the counterpart of the systemd unit binwright-station@NAME.service on Linux.
// The service manager starts `binwright service run NAME --config FILE`, which runs
// `binwright run --config FILE --station-name NAME` until the manager stops it (the SIGTERM
// rule: the mouse in progress is finished and logged, then the totals).

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace bw {

class ServiceCommand {
  public:
    explicit ServiceCommand(CLI::App& app);
    bool parsed() const { return command_->parsed(); }
    // Exit code: 0 done, 1 the service manager refused, 2 bad input or not on Windows.
    int run(std::ostream& out, std::ostream& err) const;

  private:
    CLI::App* command_;
    CLI::App* install_;
    CLI::App* uninstall_;
    CLI::App* run_;
    std::string name_;
    std::string config_;
};

// The service's name in the service manager for station NAME ("binwright-NAME"); empty
// when NAME cannot name a service (empty, over 64 characters, or a character other than a
// letter, digit, '-', '_' or '.').
std::string ServiceNameOf(const std::string& station);

}  // namespace bw
