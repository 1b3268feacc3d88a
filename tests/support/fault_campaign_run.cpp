// The automatic-mode scenarios of the fault campaign: `binwright run` in-process over a
// simulated line of mice, with Ctrl-C or SIGTERM raised at a piece of the run. What the
// run leaves behind (its lines, its log, the memory of each mouse pulled out) is checked.

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "cli/cli_app.h"
#include "image/factory_record.h"
#include "ledger/ledger.h"
#include "ledger/sqlite_session.h"
#include "ledger/station_ledger.h"
#include "os/utf8_path.h"
#include "production/result_text.h"
#include "support/fault_campaign.h"
#include "support/recording_host.h"
#include "support/test_env.h"

namespace bw::test {

namespace {

namespace fs = std::filesystem;

// Virtual time without a piece after which the line counts as idle (a mouse that was not
// written stays plugged, so no next one comes): Ctrl-C ends the run then.
constexpr std::int64_t kIdleUs = 5'000'000;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const Image& image) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

// Raises the scenario's signals at its piece, remembering how many mice had been reported
// by then; and Ctrl-C once the line has been idle too long.
class SignalHost : public RecordingHost {
  public:
    SignalHost(const CampaignScenario& c, const std::ostringstream& out, std::string ledger)
        : c_(c), out_(out), ledger_(std::move(ledger)) {}

    void progress(int done, int total) override {
        RecordingHost::progress(done, total);
        lastPieceUs_ = elapsedUs;
        if (++pieces_ != c_.signalPiece || raised) return;
        raised = true;
        reportedAtSignal = static_cast<int>(Lines(out_.str()).size());
        if (c_.ledgerFrozen) {
            frozen = ledger::OpenSqliteSession(ledger_, 1000);
            frozen->begin(ledger::TxMode::Write);
        }
        for (int s : c_.stopSignals) std::raise(s);
    }
    void sleepMs(int ms) override {
        RecordingHost::sleepMs(ms);
        if (!raised && !idleStop && elapsedUs - lastPieceUs_ > kIdleUs) {
            idleStop = true;
            std::raise(SIGINT);
        }
    }

    bool raised = false;
    bool idleStop = false;
    int reportedAtSignal = 0;
    std::unique_ptr<ledger::SqlSession> frozen;  // holds the ledger's write lock

  private:
    const CampaignScenario& c_;
    const std::ostringstream& out_;
    std::string ledger_;
    int pieces_ = 0;
    std::int64_t lastPieceUs_ = 0;
};

std::string ScenarioKeys(const CampaignScenario& c, const fs::path& dir) {
    std::ostringstream keys;
    keys << "mice=" << c.runMice << ",ic=" << c.ic << ",dump=" << (dir / "m").string()
         << ",memory=" << (dir / "memory.bin").string() << ",split=" << (c.split ? 1 : 0)
         << std::hex << ",chip=" << int{c.chip} << ",status1=" << int{c.status1}
         << ",status2=" << int{c.status2} << std::dec;
    if (c.nackCommand >= 0) keys << ",nack=" << std::hex << c.nackCommand << std::dec;
    if (c.ackAfter != 1) keys << ",ack-after=" << c.ackAfter;
    if (c.losePiece > 0) keys << ",lose-piece=" << c.losePiece;
    if (c.shortReply > 0) keys << ",short-reply=" << c.shortReply;
    if (c.stuckByte >= 0) keys << ",stuck-byte=" << std::hex << c.stuckByte << std::dec;
    return keys.str();
}

// What must hold after the run; empty when it all does.
std::string CheckRun(const CampaignScenario& c, const SignalHost& host, int code,
                     const std::string& out, const fs::path& dir) {
    const std::vector<std::string> lines = Lines(out);
    // Parameters no mouse can be written with stop the run before the first mouse.
    if (RefusedParameters(c)) {
        if (code != exitcode::Usage)
            return "parameters not refused: exit code " + std::to_string(code);
        if (!lines.empty() || fs::exists(dir / "m.1")) return "refused, but a mouse was taken";
        return {};
    }
    if (lines.empty()) return "no totals";
    const int mice = static_cast<int>(lines.size()) - 1;
    int passes = 0;
    int aborted = 0;
    for (int i = 0; i < mice; ++i) {
        passes += lines[static_cast<std::size_t>(i)].find("  Write Pass  ") != std::string::npos;
        aborted += lines[static_cast<std::size_t>(i)].find("  Aborted  ") != std::string::npos;
    }
    const std::string totals = "total " + std::to_string(mice) + " passed " +
                               std::to_string(passes) + " failed " + std::to_string(mice - passes);
    if (lines.back() != totals)
        return "totals \"" + lines.back() + "\", expected \"" + totals + "\"";

    const bool stopped = host.raised || host.idleStop;
    const int first = host.raised ? c.stopSignals.front() : SIGINT;
    const int expected = !stopped           ? (mice == passes ? exitcode::Pass : exitcode::Fail)
                         : first == SIGTERM ? exitcode::Terminated
                                            : exitcode::Interrupted;
    if (code != expected) return "exit code " + std::to_string(code);
    if (!stopped && mice != c.runMice) return "ended after " + std::to_string(mice) + " mice";
    // The mouse in progress at the signal is finished and reported; no other one starts.
    if (host.raised && mice != host.reportedAtSignal + 1) {
        return "signal after " + std::to_string(host.reportedAtSignal) + " mice, " +
               std::to_string(mice) + " reported";
    }
    const bool twoPresses = host.raised && c.stopSignals.size() == 2;
    if (aborted != (twoPresses ? 1 : 0)) return std::to_string(aborted) + " mice Aborted";
    if (twoPresses &&
        lines[static_cast<std::size_t>(mice - 1)].find("  Aborted  ") == std::string::npos) {
        return "the mouse in progress at the second Ctrl-C is not Aborted";
    }

    // Every mouse is logged with the result shown (the header went in at the start).
    const std::vector<std::string> log = Lines(ReadAll(dir / "line.csv"));
    if (static_cast<int>(log.size()) != mice + 1) {
        return "log of " + std::to_string(log.size()) + " lines";
    }
    for (int i = 0; i < mice; ++i) {
        const std::string& line = lines[static_cast<std::size_t>(i)];
        const std::size_t from = line.find("  ", line.find("  SN ") + 5) + 2;
        const std::string result = line.substr(from, line.find("  ", from) - from);
        if (log[static_cast<std::size_t>(i) + 1].find("," + result + ",") == std::string::npos) {
            return "log line " + std::to_string(i + 1) + " does not say " + result;
        }
    }

    // A mouse reported as passed holds the image (and its record); no unreported mouse
    // was touched.
    const Image image = CampaignImage(c);
    const int end = c.params.format == DataFormat::TwoK ? kImageSize : c.params.blocks * kBlockSize;
    for (int i = 0; i < mice; ++i) {
        const std::string& line = lines[static_cast<std::size_t>(i)];
        if (line.find("  Write Pass  ") == std::string::npos) continue;
        const std::string memory = ReadAll(dir / ("m." + std::to_string(i + 1)));
        if (memory.size() != image.size()) return "mouse " + std::to_string(i + 1) + " not dumped";
        Image expected = image;
        if (c.ic == 0 && c.params.writeId) {
            const std::size_t sn = line.find("  SN ") + 5;
            FactoryFields fields;
            const std::string digits = line.substr(sn, line.find(' ', sn) - sn);
            fields.number =
                static_cast<std::int32_t>(std::stoul(digits.empty() ? "0" : digits, nullptr, 16));
            const FactoryRecordBytes record = BuildFactoryRecord(fields);
            std::copy(record.begin(), record.end(), expected.begin() + FactoryRecordOffset);
        }
        if (!std::equal(expected.begin(), expected.begin() + end,
                        reinterpret_cast<const std::uint8_t*>(memory.data()))) {
            return "Write Pass but mouse " + std::to_string(i + 1) + " does not hold the image";
        }
    }
    if (fs::exists(dir / ("m." + std::to_string(mice + 1))))
        return "an unreported mouse was written";
    return {};
}

// The ledger after the run: the next start hands the spool's rows over, then one row per
// mouse reported, every number of a passing mouse written by its row, nothing dangling.
// froze: the lock was taken (the run reached the signal's piece).
std::string CheckLedger(const CampaignScenario& c, bool froze, const std::string& out,
                        const fs::path& dir) {
    const fs::path spoolData = DataFolderIn(dir / "data");
    std::vector<std::string> replayed;
    try {
        ledger::StationLedger next(ledger::OpenLedger((dir / "ledger.db").string()), "campaign");
        // The stopped run's lease expires by itself: the next start here only reads the spool.
        next.holdStation(nullptr, spoolData);
        replayed = next.start();
        if (next.holding()) return "the spool's rows were not all taken: " + next.problem();
        if (const auto folder = next.spoolFolder();
            folder && fs::exists(*folder) && !fs::is_empty(*folder)) {
            return "the spool was not emptied";
        }
        ledger::Ledger& l = next.ledger();
        const std::vector<std::string> lines = Lines(out);
        const std::size_t mice = lines.size() - 1;
        if (l.operations().size() != mice) {
            return std::to_string(l.operations().size()) + " rows for " + std::to_string(mice) +
                   " mice";
        }
        for (std::size_t i = 0; i < mice && c.params.writeId && c.ic == 0; ++i) {
            if (lines[i].find("  Write Pass  ") == std::string::npos) continue;
            const std::size_t sn = lines[i].find("  SN ") + 5;
            const std::int64_t number =
                std::stoll(lines[i].substr(sn, lines[i].find(' ', sn) - sn), nullptr, 16);
            bool written = false;
            for (const ledger::SerialRow& s : l.serials()) {
                written = written || (s.reservation.number == number &&
                                      s.state == ledger::SerialState::Written);
            }
            if (!written) return "passed mouse's number " + lines[i].substr(sn, 6) + " not written";
        }
        if (const auto problems = l.check(); !problems.empty()) return "ledger: " + problems[0];
        if (!froze && l.stationHolder("campaign")) return "the lease was not given up";
    } catch (const ledger::LedgerError& e) {
        return std::string("ledger: ") + e.what();
    }
    if (froze && replayed.empty()) {
        return "the ledger was frozen, yet the spool kept no row";
    }
    return {};
}

int RunInProcess(std::vector<std::string> args, OperationHost& host, std::ostringstream& out,
                 std::ostringstream& err) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    CliEnvironment environment;
    environment.host = &host;
    return RunCli(static_cast<int>(argv.size()), argv.data(), out, err, environment);
}

// The first mouse the run passed, plugged in again on the same ledger, without faults: it
// is left alone as already written (its memory untouched), or rewritten with the number it
// holds; either way the ledger stays sound.
std::string CheckReplug(const CampaignScenario& c, const std::vector<std::string>& args,
                        const std::string& out, const fs::path& dir, bool* replugged) {
    const std::vector<std::string> lines = Lines(out);
    std::string number;
    fs::path mouse;
    for (std::size_t i = 0; i + 1 < lines.size() && mouse.empty(); ++i) {
        if (lines[i].find("  Write Pass  ") == std::string::npos) continue;
        const std::size_t sn = lines[i].find("  SN ") + 5;
        number = lines[i].substr(sn, lines[i].find(' ', sn) - sn);
        mouse = dir / ("m." + std::to_string(i + 1));
    }
    if (!mouse.empty()) {
        *replugged = true;
        const std::string before = ReadAll(mouse);
        std::vector<std::string> again = {
            "binwright",
            "--simulate=ic=0,split=" + std::string(c.split ? "1" : "0") +
                ",memory=" + mouse.string() + ",dump=" + (dir / "again").string(),
            "run",
            (dir / "image.bin").string(),
            "--count",
            "1",
            "--interval-ms",
            "1",
            "--write-id",
            "--ledger",
            (dir / "ledger.db").string()};
        // The write parameters of the first run, without its --count, --log and --sn.
        for (std::size_t i = 4; i + 1 < args.size(); i += 2) {
            if (args[i] != "--count" && args[i] != "--interval-ms" && args[i] != "--log" &&
                args[i] != "--sn") {
                again.push_back(args[i]);
                again.push_back(args[i + 1]);
            }
        }
        if (c.rewrite) again.push_back("--rewrite");
        std::ostringstream replugOut;
        std::ostringstream replugErr;
        RecordingHost clock;
        const int code = RunInProcess(again, clock, replugOut, replugErr);
        const std::string said = replugOut.str() + replugErr.str();
        const std::string after = ReadAll(dir / "again");
        if (!c.rewrite) {
            if (code != exitcode::AlreadyWritten) {
                return "replugged: exit code " + std::to_string(code) + ": " + said;
            }
            if (said.find("  Already written (SN " + number + ")  ") == std::string::npos)
                return "replugged: \"" + said + "\"";
            if (after != before) return "replugged: the mouse left alone was changed";
        } else {
            if (code != exitcode::Pass) {
                return "rewritten: exit code " + std::to_string(code) + ": " + said;
            }
            if (said.find("  SN " + number + "  Write Pass  ") == std::string::npos)
                return "rewritten: \"" + said + "\"";
            const auto record = [](const std::string& memory) {
                return memory.size() < FactoryRecordOffset + kFactoryRecordSize
                           ? std::string()
                           : memory.substr(FactoryRecordOffset, kFactoryRecordSize);
            };
            if (record(after).empty() || record(after) != record(before))
                return "rewritten: the mouse does not hold its number";
        }
    }
    const auto problems = ledger::OpenLedger((dir / "ledger.db").string())->check();
    if (!problems.empty()) return "ledger check: " + problems.front();
    return {};
}

}  // namespace

CampaignRun RunLineScenario(const CampaignScenario& c) {
    std::random_device rd;
    const fs::path dir = fs::temp_directory_path() /
                         ("binwright-campaign-" + std::to_string(c.seed) + "-" + Hex(rd()));
    fs::create_directories(dir);
    WriteAll(dir / "image.bin", CampaignImage(c));
    WriteAll(dir / "memory.bin", *CampaignLine(c).memory);

    std::vector<std::string> args = {
        "binwright",     "--simulate=" + ScenarioKeys(c, dir),
        "run",           (dir / "image.bin").string(),
        "--ic",          std::to_string(c.ic),
        "--count",       std::to_string(c.runMice),
        "--interval-ms", "1",
        "--log",         (dir / "line.csv").string(),
        "--total",       std::to_string(c.params.total),
        "--retries",     std::to_string(c.params.retries),
        "--format",      c.params.format == DataFormat::TwoK ? "2k" : "256",
        "--blocks",      std::to_string(c.params.blocks),
        "--sleep",       std::to_string(c.params.sleep),
        "--sn",          Hex(static_cast<std::uint32_t>(c.factory.number)),
    };
    const std::vector<std::string> writeArgs = args;
    if (c.params.writeId) args.push_back("--write-id");
    if (c.ledger) {
        args.insert(args.end(),
                    {"--ledger", (dir / "ledger.db").string(), "--station-name", "campaign"});
        // The station's spool goes to the scenario's folder.
        SetDataHome(Utf8FromPath(dir / "data"));
    } else {
        args.push_back("--no-ledger");
    }

    std::ostringstream out;
    std::ostringstream err;
    SignalHost host(c, out, (dir / "ledger.db").string());
    CampaignRun run;
    const int code = RunInProcess(args, host, out, err);
    run.outcome = code == exitcode::Pass ? Outcome::Pass : Outcome::Fail;
    run.signalled = host.raised;
    run.broken = CheckRun(c, host, code, out.str(), dir);
    const bool froze = host.frozen != nullptr;
    host.frozen.reset();  // the lock goes, as a server that comes back
    // A run refused at the start took no mouse: there is nothing to find in a ledger.
    const bool refused = RefusedParameters(c);
    if (run.broken.empty() && c.ledger && !refused)
        run.broken = CheckLedger(c, froze, out.str(), dir);
    if (run.broken.empty() && !refused && c.replug && c.params.writeId && c.ic == 0)
        run.broken = CheckReplug(c, writeArgs, out.str(), dir, &run.replugged);
    if (run.broken.empty() && host.loadingVisible) run.broken = "the loading window is still shown";
    if (!run.broken.empty() && !err.str().empty()) run.broken += " (" + err.str() + ")";

    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return run;
}

}  // namespace bw::test
