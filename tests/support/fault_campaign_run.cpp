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
#include "production/result_text.h"
#include "support/fault_campaign.h"
#include "support/recording_host.h"

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
    SignalHost(const CampaignScenario& c, const std::ostringstream& out) : c_(c), out_(out) {}

    void progress(int done, int total) override {
        RecordingHost::progress(done, total);
        lastPieceUs_ = elapsedUs;
        if (++pieces_ != c_.signalPiece || raised) return;
        raised = true;
        reportedAtSignal = static_cast<int>(Lines(out_.str()).size());
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

  private:
    const CampaignScenario& c_;
    const std::ostringstream& out_;
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
        if (code != exitcode::Usage) return "parameters not refused: exit code " + std::to_string(code);
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

    // Every mouse is logged with the result shown.
    const std::vector<std::string> log = Lines(ReadAll(dir / "line.csv"));
    if (static_cast<int>(log.size()) != (mice > 0 ? mice + 1 : 0)) {
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
    if (c.params.writeId) args.push_back("--write-id");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());

    std::ostringstream out;
    std::ostringstream err;
    SignalHost host(c, out);
    CliEnvironment environment;
    environment.host = &host;
    CampaignRun run;
    const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, environment);
    run.outcome = code == exitcode::Pass ? Outcome::Pass : Outcome::Fail;
    run.signalled = host.raised;
    run.broken = CheckRun(c, host, code, out.str(), dir);
    if (run.broken.empty() && host.loadingVisible) run.broken = "the loading window is still shown";
    if (!run.broken.empty() && !err.str().empty()) run.broken += " (" + err.str() + ")";

    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return run;
}

}  // namespace bw::test
