#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "binwright_version.h"
#include "cli/device_commands.h"
#include "cli/gang_command.h"
#include "cli/ledger_command.h"
#include "cli/list_command.h"
#include "cli/operation_json.h"
#include "cli/run_command.h"
#include "cli/service_command.h"
#include "cli/station_config.h"
#include "cli/terminal_host.h"
#include "frontend/command_ledger.h"
#include "frontend/command_log.h"
#include "frontend/device_option_flags.h"
#include "frontend/device_options.h"
#include "frontend/ignored_options.h"
#include "frontend/interrupt_flag.h"
#include "frontend/platform_factory.h"
#include "frontend/slots_option.h"
#include "image/ic_types.h"
#include "image/reason.h"
#include "ledger/ledger_error.h"
#include "os/utf8_path.h"
#include "production/result_text.h"
#include "sim/scenario.h"

namespace bw {
namespace {

struct DeviceCommand {
    CLI::App* app = nullptr;
    Operation op = Operation::Write;
    std::string file;
};

// What --help says below the options, for the program and each device command.
constexpr const char* kFooter =
    "Exit codes: 0 pass; 1 fail (run: any mouse failed); 2 usage error or bad input (an\n"
    "  option, a scenario, an image that cannot be loaded, a log, trace or save path that\n"
    "  cannot be used, a product number past FFFFFF with --write-id, a ledger that cannot\n"
    "  be used or gives no number); 3 no mouse found; 4 BIN file not match Mouse; 5 the\n"
    "  mouse does not answer or its status byte 1 is not 0xAA; 6 done, but the log line or\n"
    "  the ledger row could not be written; 7 run: none failed, but a mouse was left alone\n"
    "  as \"Already written\"; 130 after Ctrl-C (SIGINT); 143 after SIGTERM.\n"
    "Read-back: every write reads back every byte it wrote before Write Pass (IC types 1 and\n"
    "  2: the whole memory; IC type 0 in 2k format: all eight blocks), in write, run and\n"
    "  run --gang; --no-verify-after-write (config: no-verify-after-write = true) opts out,\n"
    "  with a warning. --retries 0 is refused before the mouse is touched.\n"
    "Ledger: run --write-id keeps its product numbers in a ledger: --ledger URL, else the\n"
    "  default SQLite ledger (ledger.db in $STATE_DIRECTORY, $XDG_DATA_HOME/binwright or\n"
    "  ~/.local/share/binwright), named on stderr at the start; --no-ledger keeps them\n"
    "  nowhere (every start begins again at --sn). A mouse that holds a number the ledger\n"
    "  recorded as written is read first and left alone, or written again with --rewrite.\n"
    "Ctrl-C or SIGTERM: the attempt in progress ends (a successful one is still read back),\n"
    "  no further attempt, retry or mouse starts, the mouse is logged and run prints its\n"
    "  totals. A second Ctrl-C within 3 s stops at the next piece, sends the closing\n"
    "  commands and logs the mouse as Aborted.\n"
    "Ledger (--ledger): a station holds its name there while it runs (a lease, renewed\n"
    "  every 2 s, expiring 10 s after a crash); a second start under a name in use exits 2.\n"
    "  A row the ledger cannot take is kept in the station's spool (its data folder) before\n"
    "  the result shows, and handed over first at the next start. Every ledger call is\n"
    "  bounded (a lock: 30 s SQLite, 10 s PostgreSQL; a silent server: 10 s more); Ctrl-C\n"
    "  or SIGTERM ends a wait within 1.5 s. `ledger backup TARGET`: a SQLite ledger (its\n"
    "  .db, -wal and -shm files) as one consistent file.\n"
    "Reasons: an end other than a pass is followed on stderr by its reason, \"Write Fail:\n"
    "  block 3 differs at 0x2A7 (wrote 5C, read FF), 12 bytes differ\"; its code goes to the\n"
    "  log, the ledger and the JSON: no-answer, bad-status, wrong-chip, image-type,\n"
    "  status-bit2-clear, write-refused, piece-lost, mismatch, short-reply, removed,\n"
    "  no-target, interrupted, bad-parameters, not-supported, no-ic-type, save-failed,\n"
    "  bad-image, not-approved, record-held, no-number, already-written.\n"
    "--json: one JSON object per line on stdout for each operation (run: each mouse, then\n"
    "  the totals): operation, result, reason {code, text, details}, exit_code, ic_type,\n"
    "  vid, pid, path, image {name, sha256, crc32}, product_number, attempts, duration_ms,\n"
    "  started (UTC). Human text then goes to stderr only. A command refused before the\n"
    "  mouse is touched still prints its line: result null, reason bad-parameters with the\n"
    "  error, exit_code 2 (run: then its totals).\n"
    "--simulate keys: ic, vid, pid, release, chip, status1, status2, split, pointer, others,\n"
    "  nack, ack-after, lose-piece, fail-after, latency-us, stuck-byte, memory, dump, mice,\n"
    "  line-dir (with mice: the line kept in a folder, resumed by the next process),\n"
    "  and short-reply=N: the N-th get-feature, and every N-th after it, returns 1 byte.\n"
    "  A line of ports: slots=K (K mice at once; mice=N go to free ports, each pulled out\n"
    "  once written), handling-ms=M (before the next mouse of a port), fault-slot=S (the\n"
    "  fault keys on port S only).\n"
    "  See man binwright.";

// The device command named on a command line that CLI11 refused, and whether --json was
// asked for; read from the words themselves, as the parse stopped at the error.
struct RefusedWords {
    std::string command;
    bool json = false;
};

RefusedWords ReadRefusedWords(int argc, char** argv) {
    RefusedWords words;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--") break;
        if (word == "--json") words.json = true;
        if (words.command.empty() &&
            (word == "write" || word == "verify" || word == "save" || word == "read-factory" ||
             word == "run" || word == "list" || word == "ledger" || word == "service")) {
            words.command = word;
        }
    }
    return words;
}

Operation OperationOfCommand(const std::string& name) {
    if (name == "verify") return Operation::Verify;
    if (name == "save") return Operation::Save;
    if (name == "read-factory") return Operation::ReadFactory;
    return Operation::Write;  // write, and run's mice
}

// The line of a command refused before the mouse was touched: "result": null, the error as
// a bad-parameters reason, exit code 2; the IC type and identity as far as they were given.
OperationReport RefusedReport(const std::string& command, const DeviceOptionText& text,
                              const std::optional<DeviceOptions>& options,
                              const std::string& message) {
    OperationReport report;
    report.op = OperationOfCommand(command);
    report.reason = MakeReason(ReasonCode::BadParameters, message);
    report.exitCode = exitcode::Usage;
    if (options) {
        report.ic = options->ic;
        report.vid = options->vid;
        report.pid = options->pid;
    } else {
        report.ic = ParseIcType(text.ic);
        if (const IcType* row = IcTypeAt(report.ic)) {
            report.vid =
                static_cast<std::int32_t>(std::stoul(std::string(row->defaultVid), nullptr, 16));
            report.pid =
                static_cast<std::int32_t>(std::stoul(std::string(row->defaultPid), nullptr, 16));
        }
    }
    return report;
}

}  // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    return RunCli(argc, argv, out, err, CliEnvironment{});
}

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
    CLI::App app{"Writes, verifies and saves the configuration image of a USB mouse controller.",
                 "binwright"};
    // Options are --name on every system: on Windows a file named /path/... is a file too.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("binwright ") + BINWRIGHT_VERSION);
    app.require_subcommand(1);
    app.footer(kFooter);
    app.fallthrough();  // global options may also follow the command

    PlatformOptions platformOptions;
    auto* simulate = app.add_option("--simulate", platformOptions.scenario,
                                    "run on the simulated controller; SCENARIO is key=value,...")
                         ->expected(0, 1)
                         ->type_name("SCENARIO");
    app.add_option("--trace", platformOptions.traceFile, "write every HID transfer to FILE")
        ->type_name("FILE");
    ProgressStyle style;
    style.terminal = environment.showProgress;
    auto* quiet = app.add_flag("-q,--quiet", style.quiet, "print only the result line");
    app.add_flag("-v,--verbose", style.verbose, "add each phase's time and attempt count")
        ->excludes(quiet);

    bool json = false;
    auto* list = app.add_subcommand("list", "list the HID interfaces");
    list->add_flag("--json", json, "JSON output");

    DeviceOptionText optionText;
    std::vector<DeviceCommand> commands = {
        {app.add_subcommand("write", "write IMAGE into the mouse"), Operation::Write, {}},
        {app.add_subcommand("verify", "compare the mouse with IMAGE"), Operation::Verify, {}},
        {app.add_subcommand("save", "save the mouse's memory into FILE"), Operation::Save, {}},
        {app.add_subcommand("read-factory", "read the factory record"), Operation::ReadFactory, {}},
    };
    for (auto& c : commands) {
        if (c.op == Operation::Write || c.op == Operation::Verify) {
            c.app->add_option("IMAGE", c.file, "BIN file of 2048 bytes")->required();
        } else if (c.op == Operation::Save) {
            c.app->add_option("FILE", c.file, "target; .bin is appended unless present")
                ->required();
        }
        AddIdentityOptions(c.app, optionText);
        if (c.op == Operation::Write) {
            AddWriteOptions(c.app, optionText);
            AddVerifyAfterWriteOption(c.app, optionText);
        }
        if (c.op == Operation::Write || c.op == Operation::Verify)
            AddImageOptions(c.app, optionText);
        c.app->footer(kFooter);
    }

    RunOptions runOptions;
    std::string imageToRun;
    auto* run = app.add_subcommand("run", "automatic mode: write every mouse plugged in");
    run->footer(kFooter);
    // Required, from the command line or the --config file (checked once both are read).
    auto* runImage =
        run->add_option("IMAGE", imageToRun, "BIN file of 2048 bytes (or `image` in --config)");
    AddIdentityOptions(run, optionText);
    AddWriteOptions(run, optionText);
    AddVerifyAfterWriteOption(run, optionText);
    AddImageOptions(run, optionText);
    AddCountOption(run, runOptions);
    run->add_option("--interval-ms", runOptions.intervalMs, "poll period, ms")
        ->check(CLI::Range(0, 3600000))
        ->capture_default_str();
    auto* gang = run->add_flag("--gang", runOptions.gang,
                               "gang station: every mouse plugged in is written at once, each "
                               "on its own USB port (a slot), one line per mouse");
    AddSlotsOption(run, runOptions)->needs(gang);
    std::string stationFile;
    auto* stationConfig =
        run->add_option("--config", stationFile,
                        "read options from FILE: `key = value` lines, a key per option "
                        "(`image` for IMAGE); options given here win")
            ->type_name("FILE");

    std::string logFile;
    LedgerChoice ledgerChoice;
    for (CLI::App* cmd :
         {commands[0].app, commands[1].app, commands[2].app, commands[3].app, run}) {
        cmd->add_option("--log", logFile, "append one CSV line per operation to FILE")
            ->type_name("FILE");
        cmd->add_flag("--json", json,
                      "one JSON object per operation on stdout (per mouse, then the totals, in "
                      "run); the result text goes to stderr");
        cmd->add_option("--ledger", ledgerChoice.url,
                        "record every operation in the production ledger (a SQLite FILE or a "
                        "PostgreSQL connection string); with --write-id it gives the product "
                        "numbers")
            ->type_name("URL");
        cmd->add_option("--station-name", ledgerChoice.stationName,
                        "this station's name in the ledger (default: the host name)")
            ->type_name("NAME");
    }

    bool rewrite = false;
    AddNumberingOptions(run, rewrite, ledgerChoice.none)->excludes(run->get_option("--ledger"));

    LedgerCommand ledger(app);
    ServiceCommand service(app);

    const auto commandStart = std::chrono::steady_clock::now();
    // With --json a device command refused before the mouse is touched still prints its line
    // (and run its totals), "result": null and the error; the exit code is 2.
    const auto refusedLines = [&](const std::string& command,
                                  const std::optional<DeviceOptions>& options,
                                  const std::string& message) {
        out << OperationJson(RefusedReport(command, optionText, options, message)) << std::endl;
        if (command != "run") return;
        RunTotals totals;
        totals.exitCode = exitcode::Usage;
        if (runOptions.gang) totals.perSlot.emplace();
        totals.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - commandStart)
                                .count();
        out << TotalsJson(totals) << std::endl;
    };

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, out, err);
        if (code == 0) return exitcode::Pass;
        const RefusedWords words = ReadRefusedWords(argc, argv);
        if (words.json && words.command != "list" && words.command != "ledger" &&
            words.command != "service" && !words.command.empty()) {
            refusedLines(words.command, std::nullopt, e.what());
        }
        return exitcode::Usage;
    }
    if (ledger.parsed()) return ledger.run(out, err);
    if (service.parsed()) return service.run(out, err);
    const DeviceCommand* chosen = nullptr;
    for (const auto& c : commands) {
        if (c.app->parsed()) chosen = &c;
    }
    CLI::App* deviceCommand = chosen != nullptr ? chosen->app : run->parsed() ? run : nullptr;
    // A device command refused before the mouse is touched: said on err, and with --json
    // given its line on out.
    std::optional<DeviceOptions> deviceOptions;
    const auto refuse = [&](const std::string& who, const std::string& message) {
        err << who << ": " << message << "\n";
        if (json && deviceCommand != nullptr)
            refusedLines(deviceCommand->get_name(), deviceOptions, message);
        return exitcode::Usage;
    };
    const std::string who = deviceCommand != nullptr ? "binwright " + deviceCommand->get_name()
                                                     : std::string("binwright");
    std::optional<StationConfig> station;
    if (run->parsed()) {
        try {
            if (!stationFile.empty()) {
                station = StationConfig::Read(stationFile);
                station->apply(*run, stationConfig);
            }
        } catch (const StationConfigError& e) {
            return refuse(who, e.what());
        }
        if (runImage->count() == 0) {
            if (station) {
                return refuse(who,
                              stationFile + ": no image: add a line 'image = /path/to/image.bin'");
            }
            app.exit(CLI::RequiredError(runImage->get_name()), out, err);
            if (json) refusedLines("run", std::nullopt, "IMAGE is required");
            return exitcode::Usage;
        }
        if (station && !station->where("image").empty() &&
            !std::ifstream(PathFromUtf8(imageToRun))) {
            return refuse(who, station->where("image") + "image: cannot open '" + imageToRun + "'");
        }
    }
    platformOptions.simulate = simulate->count() > 0;

    if (deviceCommand != nullptr) {
        try {
            deviceOptions = ResolveDeviceOptions(optionText);
        } catch (const OptionError& e) {
            const std::string message = station ? station->locate(e.what()) : e.what();
            return refuse(who, message);
        }
        // --slots is read again by the gang station; a value it refuses ends the run here,
        // where a config's line can be named.
        if (deviceCommand == run && runOptions.gang && !runOptions.slotsText.empty()) {
            try {
                station::GangSettings slots;
                ApplySlotsOption(runOptions.slotsText, slots);
            } catch (const OptionError& e) {
                return refuse(who, station ? station->locate(e.what()) : e.what());
            }
        }
        deviceOptions->quiet = style.quiet;
        for (const std::string& line :
             IgnoredOptions(*deviceCommand, deviceCommand == run, *deviceOptions)) {
            err << "binwright " << deviceCommand->get_name() << ": warning: " << line << "\n";
        }
        std::string message;
        if (!logFile.empty() && !LogFileUsable(logFile, &message)) {
            if (station) message = station->locate(message);
            return refuse(who, message);
        }
    }
    const ProductionLog log(logFile);
    runOptions.log = log;

    // The ledger is opened before the mouse is touched: a station that cannot record or
    // number its mice does not start.
    std::unique_ptr<ledger::StationLedger> stationLedger;
    CommandLedger commandLedger;
    if (deviceCommand != nullptr) {
        // A station numbering its mice keeps the numbers: in the default ledger unless
        // --ledger names one or --no-ledger asks for none.
        const bool numbering = deviceCommand == run && NumbersFromLedger(*deviceOptions);
        if (numbering) {
            std::ostringstream said;
            const bool chosen = ChooseStationLedger(ledgerChoice, who, said);
            if (!chosen) {
                // Said as every refusal is, with its JSON line.
                std::string why = said.str();
                if (why.rfind(who + ": ", 0) == 0) why.erase(0, who.size() + 2);
                while (!why.empty() && why.back() == '\n') why.pop_back();
                return refuse(who, why);
            }
            err << said.str();
        }
        if (rewrite && numbering && ledgerChoice.url.empty()) {
            err << who << ": warning: --rewrite is ignored with --no-ledger: without a ledger no"
                << " mouse is known to be written\n";
        }
        if (ledgerChoice.url.empty() && deviceCommand->count("--station-name") > 0)
            err << who << ": warning: --station-name is ignored without --ledger\n";
        if (!ledgerChoice.url.empty()) {
            try {
                stationLedger = OpenStationLedger(ledgerChoice);
            } catch (const ledger::LedgerError& e) {
                const std::string message = e.what();
                // "--station-name: ..." names its own option, anything else the ledger's.
                const std::string where =
                    !station ? std::string()
                    : message.rfind("--", 0) == 0
                        ? station->where(message.substr(2, message.find(':') - 2))
                        : station->where("ledger");
                return refuse(who, where + message);
            }
            commandLedger.station = stationLedger.get();
            commandLedger.choice = ledgerChoice;
            const CLI::Option* sn = deviceCommand->get_option_no_throw("--sn");
            commandLedger.firstNumberGiven = sn != nullptr && sn->count() > 0;
            // Set by the config, not on the command line (where() names only what the file set).
            if (station && !station->where("sn").empty()) {
                commandLedger.firstNumberFromConfig = true;
                commandLedger.configWhere = station->where("sn");
            }
            commandLedger.rewrite = rewrite;
        }
    }
    runOptions.ledger = commandLedger;

    std::unique_ptr<PlatformStack> platforms;
    try {
        platforms = std::make_unique<PlatformStack>(platformOptions);
    } catch (const ScenarioError& e) {
        return refuse("binwright", (station ? station->where("simulate") : std::string()) +
                                       "--simulate: " + e.what());
    } catch (const PlatformError& e) {
        return refuse("binwright", e.what());
    }

    // Under --json stdout holds only the JSON lines: no bars, the human text on stderr.
    const bool jsonLines = json && deviceCommand != nullptr;
    if (jsonLines) style.terminal = false;
    std::ostream& human = jsonLines ? err : out;
    TerminalHost terminal(err, style);
    OperationHost& inner = environment.host != nullptr ? *environment.host : terminal;
    // Ctrl-C and SIGTERM reach the device commands through the host's stop request.
    std::optional<InterruptFlag> interrupt;
    if (deviceCommand != nullptr) interrupt.emplace();
    std::optional<SignalAwareHost> signalAware;
    if (interrupt) signalAware.emplace(inner, *interrupt);
    OperationHost& host = signalAware ? static_cast<OperationHost&>(*signalAware) : inner;

    int code = exitcode::Pass;
    OperationReport report;
    RunTotals totals;
    if (jsonLines) runOptions.json = &out;
    if (list->parsed()) {
        code = RunList(platforms->platform(), json, !platforms->isSimulated(), out);
    } else if (chosen != nullptr) {
        code = RunDeviceCommand(chosen->op, chosen->file, *deviceOptions, *platforms, host, human,
                                err, log, commandLedger, &report);
    } else if (run->parsed() && runOptions.gang) {
        code = RunGang(imageToRun, *deviceOptions, runOptions, *platforms, host, human, err,
                       environment.host, &totals);
    } else if (run->parsed()) {
        code = RunAutomatic(imageToRun, *deviceOptions, runOptions, *platforms, host, human, err,
                            &totals);
    }
    if (interrupt) code = interrupt->exitCode(code);

    std::string message;
    if (!platforms->finish(&message)) {
        err << "binwright: " << message << "\n";
        if (code == exitcode::Pass) code = exitcode::Fail;
    }
    // The last line carries the exit code the command ends with.
    if (jsonLines && chosen != nullptr) {
        report.exitCode = code;
        out << OperationJson(report) << std::endl;
    } else if (jsonLines) {
        totals.exitCode = code;
        totals.durationMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - commandStart)
                                .count();
        out << TotalsJson(totals) << std::endl;
    }
    return code;
}

}  // namespace bw
