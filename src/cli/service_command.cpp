#include "cli/service_command.h"

#include <cctype>

#include "cli/windows_service.h"
#include "production/result_text.h"

namespace bw {

std::string ServiceNameOf(const std::string& station) {
    if (station.empty() || station.size() > 64) return {};
    for (const char c : station) {
        const bool ok =
            std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.';
        if (!ok) return {};
    }
    return "binwright-" + station;
}

ServiceCommand::ServiceCommand(CLI::App& app) {
    command_ = app.add_subcommand("service", "a station as a Windows service (Windows only)");
    command_->require_subcommand(1);
    install_ = command_->add_subcommand(
        "install",
        "register `binwright run --config FILE --station-name NAME` as the service "
        "binwright-NAME");
    uninstall_ = command_->add_subcommand("uninstall", "stop and remove the service");
    run_ = command_->add_subcommand("run", "what the service manager starts");
    run_->group("");  // not for people
    for (CLI::App* c : {install_, uninstall_, run_}) {
        c->add_option("NAME", name_, "the station's name")->required();
    }
    for (CLI::App* c : {install_, run_}) {
        c->add_option("--config", config_, "the station's config file")
            ->required()
            ->type_name("FILE");
    }
}

int ServiceCommand::run(std::ostream& out, std::ostream& err) const {
    const std::string service = ServiceNameOf(name_);
    if (service.empty()) {
        err << "binwright service: \"" << name_
            << "\" cannot name a service: use up to 64 letters, digits, '-', '_' and '.'\n";
        return exitcode::Usage;
    }
    if (install_->parsed()) return InstallStationService(service, name_, config_, out, err);
    if (uninstall_->parsed()) return UninstallStationService(service, out, err);
    return RunStationService(service, name_, config_, err);
}

}  // namespace bw
