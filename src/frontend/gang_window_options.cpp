#include "frontend/gang_window_options.h"

#include "frontend/device_option_flags.h"
#include "frontend/ignored_options.h"
#include "production/production_log.h"

namespace bw {
namespace {

constexpr const char* kWho = "binwright-gui: ";

}  // namespace

void AddGangWindowOptions(CLI::App& app, GangWindowOptions& gang) {
    gang.gang = app.add_option("--gang", gang.image,
                               "Open the gang station window: every mouse plugged in is written "
                               "with IMAGE at once, each on its own USB port (a slot)")
                    ->type_name("IMAGE");
    gang.group = app.add_option_group("Gang station", "With --gang, as `binwright run --gang`:");
    AddIdentityOptions(gang.group, gang.text);
    AddWriteOptions(gang.group, gang.text);
    AddCountOption(gang.group, gang.run);
    AddSlotsOption(gang.group, gang.run);
    gang.noLedgerOption = AddNumberingOptions(gang.group, gang.rewrite, gang.noLedger);
    for (CLI::Option* option : gang.group->get_options()) option->needs(gang.gang);
}

bool ResolveGangWindowOptions(GangWindowOptions& gang, DeviceOptions& options, std::ostream& err) {
    try {
        options = ResolveDeviceOptions(gang.text);
    } catch (const OptionError& error) {
        err << kWho << error.what() << '\n';
        return false;
    }
    for (const std::string& line : IgnoredOptions(*gang.group, true, options))
        err << kWho << "warning: " << line << '\n';
    gang.run.gang = true;
    return true;
}

bool ChooseGangLedger(const GangWindowOptions& gang, const DeviceOptions& options,
                      LedgerChoice& choice, std::ostream& err) {
    choice.none = gang.noLedger;
    if (!NumbersFromLedger(options)) return true;
    if (!ChooseStationLedger(choice, "binwright-gui", err)) return false;
    if (gang.rewrite && choice.url.empty()) {
        err << kWho
            << "warning: --rewrite is ignored with --no-ledger: without a ledger no mouse is "
               "known to be written\n";
    }
    return true;
}

void BindGangRun(GangWindowOptions& gang, const std::string& logFile, ledger::StationLedger* ledger,
                 const LedgerChoice& choice) {
    gang.run.log = ProductionLog(logFile);
    gang.run.ledger.station = ledger;
    gang.run.ledger.choice = choice;
    gang.run.ledger.firstNumberGiven = gang.group->count("--sn") > 0;
    gang.run.ledger.rewrite = gang.rewrite;
}

}  // namespace bw
