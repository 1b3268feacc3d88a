// The gang station window's behaviour on the simulated line, on a virtual clock and a view
// without a toolkit: the runner's thread reaches the tiles and totals through posted work,
// and a close (or a signal) stops it by the close rules.

#include "window/station_window_model.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>

#include "frontend/gang_station.h"
#include "frontend/interrupt_flag.h"
#include "production/result_text.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/virtual_clock.h"
#include "window/fake_station_window_view.h"
#include "window/main_window_fixture.h"

namespace bw::test {
namespace {

using window::SlotTileState;
using window::StationWindowModel;

// Holds every feature transfer while `held`, so a test can close the window while writes are
// certainly in progress.
class GatePlatform : public HidPlatform {
  public:
    explicit GatePlatform(SimulatedPlatform& line) : line_(line) {}
    void hold() {
        const std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    void release() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            held_ = false;
        }
        changed_.notify_all();
    }
    std::vector<HidInterfaceInfo> enumerate() override { return line_.enumerate(); }
    HidHandle open(const std::string& path, std::string* error) override {
        return line_.open(path, error);
    }
    int setFeature(HidHandle h, const std::uint8_t* d, std::size_t n) override {
        pass();
        return line_.setFeature(h, d, n);
    }
    int getFeature(HidHandle h, std::uint8_t* d, std::size_t n) override {
        pass();
        return line_.getFeature(h, d, n);
    }
    void close(HidHandle h) override { line_.close(h); }
    void beginOperation() override { line_.beginOperation(); }
    void endOperation() override { line_.endOperation(); }
    void operationEnded(HidHandle h) override { line_.operationEnded(h); }
    std::unique_ptr<PresenceWatcher> watchPresence() override { return line_.watchPresence(); }

  private:
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !held_; });
    }
    SimulatedPlatform& line_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
};

using Tweak = std::function<void(DeviceOptionText&)>;

struct Station {
    Station(const std::string& scenario, int count, const std::string& slotText = "2",
            const Tweak& tweak = {})
        : line(ParseScenario(scenario), &clock) {
        const std::string image = dir.filePath("image.bin");
        std::ofstream(image, std::ios::binary) << std::string(2048, '\x5A');
        DeviceOptionText text;
        text.sleep = "5";
        text.writeId = true;
        text.sn = "10";
        if (tweak) tweak(text);
        options = ResolveDeviceOptions(text);
        run.count = count;
        run.slotsText = slotText;
        station = std::make_unique<GangStation>(image, options, run, "binwright-gui");
        std::ostringstream said;
        EXPECT_FALSE(station->load(said, said)) << said.str();
        model = std::make_unique<StationWindowModel>(gate, *station, view, &waits);
    }
    ~Station() {
        gate.release();
        model.reset();
    }
    const SlotTileState& Tile(int slot) { return view.tiles.at(slot); }
    bool Ended() {
        return view.RunUntil([&] { return !model->Running(); });
    }
    bool BothChecking() {
        return view.RunUntil([&] {
            return view.tiles[1].text == "Checking mouse" && view.tiles[2].text == "Checking mouse";
        });
    }

    TestFolder dir;
    VirtualClock clock;
    SimulatedPlatform line;
    GatePlatform gate{line};
    VirtualWaits waits{clock};
    DeviceOptions options;
    RunOptions run;
    std::unique_ptr<GangStation> station;
    FakeStationWindowView view;
    std::unique_ptr<StationWindowModel> model;
};

TEST(StationWindowModel, BeforeTheStartTheHeaderAndEveryKnownSlotShow) {
    Station s("slots=2,mice=4", 4);
    EXPECT_EQ(s.view.header.image.value, "image.bin");
    EXPECT_EQ(s.view.header.image.tip, s.dir.filePath("image.bin"));
    EXPECT_EQ(s.view.header.sha256.value.size(), 12u);
    EXPECT_EQ(s.view.header.sha256.tip.size(), 64u);
    EXPECT_EQ(s.view.header.sha256.tip.substr(0, 12), s.view.header.sha256.value);
    EXPECT_FALSE(s.view.header.icType.empty());
    EXPECT_EQ(s.view.header.vidPid.size(), 9u);
    EXPECT_EQ(s.view.header.nextSerial.value, "10");
    EXPECT_EQ(s.view.header.nextSerial.tip, "Counting on from --sn");
    ASSERT_EQ(s.view.tiles.size(), 2u);  // --slots 2: both tiles before the first mouse
    for (const auto& [slot, tile] : s.view.tiles) {
        EXPECT_EQ(tile.text, "No mouse");
        EXPECT_EQ(tile.serial, "SN -");
        EXPECT_FALSE(tile.large);
        EXPECT_FALSE(tile.elapsedSeconds);
    }
    EXPECT_EQ(s.view.totals.status, "Not started");
    EXPECT_EQ(s.view.totals.yield, "-");
    EXPECT_EQ(s.view.tickMs, 0);
    // Nothing runs: the window closes at once.
    EXPECT_TRUE(s.view.CloseByOperator());
}

// Whole runs: each slot's result in the main window's colours with the reason of a failure,
// the totals and yield counting them, the next number and the run's exit code.
TEST(StationWindowModel, RunsEndWithEachTileAndTheTotalsAndTheExitCode) {
    const Tweak noRecordIc1 = [](DeviceOptionText& text) {
        text.ic = "1";
        text.writeId = false;
    };
    struct Row {
        const char* scenario;
        int count;
        const char* slots;
        Tweak tweak;
        std::vector<std::pair<const char*, const char*>> results;  // per slot: text, detail part
        const char* nextSerial;
        int exitCode;
    };
    const std::vector<Row> rows{
        // The faulty port's mice fail, in the failure's red, and take no number into the
        // mouse; four numbers are taken, one per mouse.
        {"slots=2,mice=4,fault-slot=2,nack=1",
         4,
         "2",
         {},
         {{"Pass", ""}, {"Fail", "not acknowledged"}},
         "14",
         exitcode::Fail},
        // Every write is read back, as every front end does by default.
        {"ic=1,slots=1,mice=1,stuck-byte=300",
         1,
         "1",
         noRecordIc1,
         {{"Fail", "differs"}},
         "- (no factory record)",
         exitcode::Fail},
        // Ports are slotted in their natural order (port2 before port10); --sn counts in hex.
        {"slots=16,mice=16", 16, "16", {}, {16, {"Pass", ""}}, "20", exitcode::Pass},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        Station s(row.scenario, row.count, row.slots, row.tweak);
        s.model->Start();
        EXPECT_EQ(s.view.totals.status, "Running");
        EXPECT_GT(s.view.tickMs, 0);
        ASSERT_TRUE(s.Ended());
        for (std::size_t i = 0; i < row.results.size(); ++i) {
            const SlotTileState& tile = s.Tile(static_cast<int>(i) + 1);
            EXPECT_EQ(window::SlotTileTitle(tile),
                      "Slot " + std::to_string(i + 1) + "   port" + std::to_string(i + 1));
            EXPECT_EQ(tile.text, row.results[i].first);
            EXPECT_TRUE(tile.large);
            EXPECT_TRUE(tile.elapsedSeconds);
            const ResultView look = ViewOf(Operation::Write, Outcome::Pass, 0);
            const Rgb want = tile.text == "Pass" ? look.colour : kRed;
            EXPECT_EQ(std::tie(tile.colour.r, tile.colour.g, tile.colour.b),
                      std::tie(want.r, want.g, want.b));
            EXPECT_TRUE(Contains(tile.detail, row.results[i].second)) << tile.detail;
            if (tile.text == "Pass") {
                EXPECT_TRUE(tile.detail.empty()) << tile.detail;
                EXPECT_TRUE(StartsWith(tile.serial, "SN 1")) << tile.serial;
                EXPECT_EQ(tile.progressDone, tile.progressTotal);
            }
        }
        const window::StationTotals& t = s.view.totals;
        EXPECT_EQ(t.mice, row.count);
        EXPECT_EQ(t.fails, t.mice - t.passes);
        char yield[16];
        std::snprintf(yield, sizeof yield, "%.1f %%", 100.0 * t.passes / t.mice);
        EXPECT_EQ(t.yield, yield);
        EXPECT_EQ(t.status, "Finished");
        EXPECT_EQ(s.view.header.nextSerial.value, row.nextSerial);
        EXPECT_EQ(s.model->ExitCode(), row.exitCode);
        EXPECT_EQ(s.view.tickMs, 0);  // nothing left to time
        EXPECT_EQ(s.line.openHandleCount(), 0);
        EXPECT_TRUE(s.view.CloseByOperator());
    }
}

// A close lets the mice in progress end and stays open with their results and a summary of
// what ended how; the next close closes.
TEST(StationWindowModel, ACloseLetsTheMiceEndAndShowsWhatEndedHow) {
    Station s("slots=2,mice=20", 0);
    s.model->Start();
    ASSERT_TRUE(s.view.RunUntil([&] { return s.view.totals.mice >= 3; }));
    // The first close is refused while the mice in progress end.
    EXPECT_FALSE(s.view.CloseByOperator());
    EXPECT_TRUE(s.model->Running());
    EXPECT_TRUE(StartsWith(s.view.totals.status, "Stopping")) << s.view.totals.status;
    ASSERT_TRUE(s.Ended());
    EXPECT_FALSE(s.view.closed);
    const std::string& summary = s.view.totals.status;
    EXPECT_TRUE(StartsWith(summary, "Stopped")) << summary;
    EXPECT_TRUE(Contains(summary, "passed")) << summary;
    EXPECT_FALSE(Contains(summary, "aborted")) << summary;
    EXPECT_EQ(s.view.totals.passes, s.view.totals.mice);
    EXPECT_TRUE(s.view.questions.empty());
    EXPECT_EQ(s.model->ExitCode(), exitcode::Pass);
    EXPECT_EQ(s.line.openHandleCount(), 0);
    EXPECT_TRUE(s.view.CloseByOperator());
}

// A second close while mice are being written asks first, names the half-written slots and
// stops them only when the operator says so; afterwards it lists the slots it aborted.
TEST(StationWindowModel, ASecondCloseAsksBeforeAbortingAndNamesTheSlots) {
    Station s("slots=2,mice=20", 0);
    s.gate.hold();
    s.model->Start();
    ASSERT_TRUE(s.BothChecking());
    EXPECT_FALSE(s.view.CloseByOperator());
    EXPECT_TRUE(s.view.questions.empty());
    EXPECT_FALSE(s.view.CloseByOperator());  // asked, and declined: the writes go on
    ASSERT_EQ(s.view.questions.size(), 1u);
    EXPECT_TRUE(Contains(s.view.questions[0], "slots 1, 2")) << s.view.questions[0];
    EXPECT_TRUE(Contains(s.view.questions[0], "half written"));
    EXPECT_FALSE(StartsWith(s.view.totals.status, "Aborting"));
    s.view.answer = true;
    EXPECT_FALSE(s.view.CloseByOperator());
    EXPECT_EQ(s.view.questions.size(), 2u);
    EXPECT_EQ(s.view.totals.status, "Aborting: slots 1, 2");
    EXPECT_FALSE(s.view.CloseByOperator());  // aborting already: no further question
    EXPECT_EQ(s.view.questions.size(), 2u);
    s.gate.release();
    ASSERT_TRUE(s.Ended());
    EXPECT_FALSE(s.view.closed);
    EXPECT_TRUE(Contains(s.view.messages, "aborted: slots 1, 2")) << s.view.messages;
    EXPECT_TRUE(Contains(s.view.totals.status, "2 aborted")) << s.view.totals.status;
    EXPECT_EQ(s.Tile(1).text, "Fail");
    EXPECT_EQ(s.view.totals.passes, 0);
    EXPECT_EQ(s.line.openHandleCount(), 0);
}

// SIGTERM (a service stopped) is a close: the mice in progress end, then the window goes
// without waiting for the operator, and the program's exit code says so.
TEST(StationWindowModel, SigtermIsACloseThatEndsTheProgramWhenTheMiceEnded) {
    Station s("slots=2,mice=20", 0);
    InterruptFlag flag;
    s.model->WatchSignals(flag);
    s.gate.hold();
    s.model->Start();
    ASSERT_TRUE(s.view.RunUntil([&] { return s.view.tiles[1].text == "Checking mouse"; }));
    std::raise(SIGTERM);
    ASSERT_TRUE(s.view.RunUntil([&] { return StartsWith(s.view.totals.status, "Stopping"); }));
    EXPECT_FALSE(s.view.closed);
    s.gate.release();
    ASSERT_TRUE(s.view.RunUntil([&] { return s.view.closed; }));
    EXPECT_FALSE(s.model->Running());
    EXPECT_EQ(s.model->ExitCode(), exitcode::Terminated);
    // The mouse that was being written was finished, not cut.
    EXPECT_EQ(s.Tile(1).text, "Pass");
}

// The window closed while the runner works (the program ends): the model aborts the run and
// waits for it, and what the runner posted before is dropped, not run on a model gone.
TEST(StationWindowModel, AModelGoneWhileRunningDropsWhatWasPostedToIt) {
    Station s("slots=2,mice=20", 0);
    s.model->Start();
    ASSERT_TRUE(s.view.RunUntil([&] { return s.view.totals.mice >= 1; }));
    s.model.reset();
    const std::size_t tiles = s.view.tiles.size();
    const window::StationTotals totals = s.view.totals;
    s.view.RunPosted(std::chrono::milliseconds(0));
    EXPECT_EQ(s.view.tiles.size(), tiles);
    EXPECT_EQ(s.view.totals.mice, totals.mice);
    EXPECT_EQ(s.view.events, nullptr);
    EXPECT_EQ(s.line.openHandleCount(), 0);
}

TEST(StationWindowModel, TileTitlesNameThePortOnce) {
    struct Row {
        const char* port;
        const char* title;
    };
    for (const Row& row :
         {Row{"", "Slot 3"}, Row{"port3", "Slot 3   port3"}, Row{"1-2.3", "Slot 3   port 1-2.3"}}) {
        EXPECT_EQ(window::SlotTileTitle({.slot = 3, .port = row.port}), row.title);
    }
}

}  // namespace
}  // namespace bw::test
