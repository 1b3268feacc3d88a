#pragma once
// The Windows service manager's side of `binwright service`. Elsewhere each says that the
// station service is the systemd unit there and returns 2.

#include <ostream>
#include <string>

namespace bw {

// Registers `binwright service run STATION --config FILE` (the config made absolute) to
// start with Windows, restarted 10 s after a crash, and the event source of its messages.
// The service runs `binwright run --config FILE --station-name STATION`: two services on
// one ledger are two stations there.
int InstallStationService(const std::string& service, const std::string& station,
                          const std::string& config, std::ostream& out, std::ostream& err);
// Stops the service (the mouse in progress is finished) and removes it and its event source.
int UninstallStationService(const std::string& service, std::ostream& out, std::ostream& err);
// Runs as the service: hands the process to the service manager, which calls back to run
// the station; its messages go to the Windows event log, each line as it is written, and
// so does an exception that would end the station. Returns when the station ended.
int RunStationService(const std::string& service, const std::string& station,
                      const std::string& config, std::ostream& err);

}  // namespace bw
