// Polling and automatic mode of the window on the simulated line, with the
// timer stepped by the test.

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/fault_campaign.h"
#include "window/main_window_fixture.h"

namespace bw::test {
namespace {

// Adds an extra interface to chosen enumerations, so that pairs of counts disagree.
class FlickeringPlatform : public HidPlatform {
  public:
    explicit FlickeringPlatform(SimulatedPlatform& line) : line_(line) {}
    std::deque<bool> extra;  // one entry per enumeration; true: one interface more

    std::vector<HidInterfaceInfo> enumerate() override {
        std::vector<HidInterfaceInfo> list = line_.enumerate();
        if (!extra.empty()) {
            if (extra.front()) list.push_back({"flicker", 1, 2, 3, 0, true, std::nullopt, {}});
            extra.pop_front();
        }
        return list;
    }
    HidHandle open(const std::string& path, std::string* error) override {
        return path == "flicker" ? kFlickerHandle : line_.open(path, error);
    }
    int setFeature(HidHandle h, const std::uint8_t* d, std::size_t n) override {
        return line_.setFeature(h, d, n);
    }
    int getFeature(HidHandle h, std::uint8_t* d, std::size_t n) override {
        return line_.getFeature(h, d, n);
    }
    void close(HidHandle h) override {
        if (h != kFlickerHandle) line_.close(h);
    }
    void endOperation() override { line_.endOperation(); }

  private:
    static constexpr HidHandle kFlickerHandle = 1 << 20;
    SimulatedPlatform& line_;
};

class PollingTest : public MainWindowTest {};

class AutomaticCycleTest : public PollingTest, public ::testing::WithParamInterface<int> {};

TEST_P(AutomaticCycleTest, ThreeMiceAreWrittenWithConsecutiveProductNumbers) {
    Scenario scenario;
    scenario.ic = GetParam();
    scenario.mice = 3;
    Start(scenario);
    form(Control::cb_WriteID).setChecked(true);
    form(Control::cb_AutoRun).setChecked(true);
    Load();
    for (int tick = 0; tick < 20 && line->miceDone() < 3; ++tick) ASSERT_TRUE(Tick());

    ASSERT_EQ(line->miceDone(), 3);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(model->station.PassCount, 3);
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "3");
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
    EXPECT_TRUE(ButtonsDisabled());
    for (int id = 1; id <= 3; ++id) {
        const Image& memory = line->mouse(id)->memory();
        if (GetParam() == 0) {
            // The record carries the product number of its turn, big-endian.
            EXPECT_EQ(memory[166], 0) << id;
            EXPECT_EQ(memory[167], 0) << id;
            EXPECT_EQ(memory[168], id) << id;
            EXPECT_TRUE(std::equal(memory.begin(), memory.begin() + 160, image.begin()));
        } else {
            EXPECT_EQ(memory, image) << id;
        }
    }
    // The pull of the last mouse is seen: the display is back to "No Find Mouse".
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(Missing());
    EXPECT_TRUE(form(Control::btn_Load).isEnabled());
}

INSTANTIATE_TEST_SUITE_P(EachIcType, AutomaticCycleTest, ::testing::Values(0, 1, 2));

// Any other device going out changes the count: the display says no mouse and the handles
// are forgotten, though the target is still there. Devices coming in re-open it, but the
// mouse stays written until it is itself pulled out: no second write, no number advanced.
TEST_F(PollingTest, AWrittenMouseIsNotWrittenAgainWhenOtherDevicesComeAndGo) {
    Scenario scenario;
    scenario.others = 1;
    Start(scenario);
    form(Control::cb_WriteID).setChecked(true);
    form(Control::cb_AutoRun).setChecked(true);
    Load();
    ASSERT_TRUE(Tick());
    ASSERT_TRUE(Found());
    ASSERT_EQ(model->station.PassCount, 1);
    const int written = line->devices().back();
    ASSERT_NE(line->mouse(written), nullptr);

    const int other = line->devices().front();
    ASSERT_EQ(line->mouse(other), nullptr);
    line->unplug(other);
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(Missing());
    EXPECT_FALSE(model->state.link.AnyDeviceOpen());
    EXPECT_TRUE(ButtonsDisabled());
    EXPECT_TRUE(ParametersDisabled());
    EXPECT_FALSE(form(Control::cb_AutoRun).isEnabled());
    EXPECT_TRUE(form(Control::btn_Load).isEnabled());
    EXPECT_TRUE(form(Control::lbl_CtrlResult).isHidden());

    const long transfers = line->transferCount();
    line->plugOther();
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(Found());
    EXPECT_TRUE(model->state.link.AnyDeviceOpen());
    line->plugMouse(1);  // a mouse of another IC type
    ASSERT_TRUE(Tick());
    EXPECT_EQ(model->station.PassCount, 1);
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "1");
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "000001");  // as typed: never advanced
    EXPECT_EQ(line->transferCount(), transfers);

    // The written mouse out, a fresh one in: written with the next number.
    line->unplug(written);
    ASSERT_TRUE(Tick());
    line->plugMouse(0);
    ASSERT_TRUE(Tick());
    EXPECT_EQ(model->station.PassCount, 2);
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "2");
}

TEST_F(PollingTest, CountsUnstableInFourOfFivePairsAreNotAccepted) {
    FlickeringPlatform* flicker = nullptr;
    Start({}, [&flicker](SimulatedPlatform& line) {
        auto platform = std::make_unique<FlickeringPlatform>(line);
        flicker = platform.get();
        return platform;
    });
    Load();
    // Pairs 1 to 4 disagree, pair 5 agrees.
    flicker->extra = {false, true, false, true, false, true, false, true, false, false};
    ASSERT_TRUE(Tick());
    EXPECT_FALSE(Found());
    EXPECT_EQ(model->station.LastDeviceCount, 0);
    EXPECT_FALSE(model->state.link.AnyDeviceOpen());

    // Two pairs agreeing are enough.
    flicker->extra = {false, true, false, true, false, true, false, false, false, false};
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(Found());
    EXPECT_EQ(model->station.LastDeviceCount, 1);
}

TEST_F(PollingTest, ArrivalWithoutImageOnlyShowsTheMouse) {
    Start();
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(Found());
    EXPECT_FALSE(form(Control::cb_ICType).isEnabled());
    EXPECT_FALSE(form(Control::cb_AutoRun).isEnabled());
    EXPECT_TRUE(ButtonsDisabled());
    EXPECT_TRUE(form(Control::btn_Load).isEnabled());
    EXPECT_EQ(model->station.PassCount, 0);
}

TEST_F(PollingTest, ManualArrivalUnlocksAndDisablesLoad) {
    Start();
    Load();
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(Found());
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(ParametersEnabled());
    EXPECT_TRUE(form(Control::cb_AutoRun).isEnabled());
    EXPECT_FALSE(form(Control::btn_Load).isEnabled());
    EXPECT_EQ(model->station.PassCount, 0);
}

TEST_F(PollingTest, AutoRunCheckedWithoutADeviceChangesNothing) {
    Start();
    Load();
    line->clearTransfers();
    form(Control::cb_AutoRun).setChecked(true);
    ASSERT_TRUE(Run(&MainWindowModel::cb_AutoRunClick));
    EXPECT_TRUE(line->transfers().empty());
    EXPECT_TRUE(ParametersEnabled());
    EXPECT_FALSE(ResultShown());

    // The next arrival is written at once.
    ASSERT_TRUE(Tick());
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
}

TEST_F(PollingTest, AutoRunCheckedWithAnOpenDeviceWritesItAndKeepsButtonsOff) {
    Start();
    Load();
    ASSERT_TRUE(Tick());
    form(Control::cb_AutoRun).setChecked(true);
    ASSERT_TRUE(Run(&MainWindowModel::cb_AutoRunClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "1");
    EXPECT_TRUE(ButtonsDisabled());
    EXPECT_TRUE(ParametersDisabled());
    EXPECT_TRUE(form(Control::cb_AutoRun).isEnabled());
    EXPECT_TRUE(view.TimerRunning());

    form(Control::cb_AutoRun).setChecked(false);
    ASSERT_TRUE(Run(&MainWindowModel::cb_AutoRunClick));
    EXPECT_TRUE(ButtonsEnabled());
    EXPECT_TRUE(ParametersEnabled());
}

TEST_F(PollingTest, CloseDuringAnAutomaticWriteWaitsForTheWrite) {
    Start();
    form(Control::cb_AutoRun).setChecked(true);
    Load();
    // Delivered while the tick lets pending messages run.
    view.Post([this] { view.CloseByOperator(); });
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(model->CloseRequested());
    // Heard in the settle wait; the write that followed still says so.
    EXPECT_EQ(form(Control::lbl_DevStatus).text(), "Closing when this write ends");
    EXPECT_EQ(line->currentMouse()->memory(), image);
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
    view.RunPosted();
    EXPECT_TRUE(view.closed);
}

// During the automatic write Load is off (its dialog would stall the write), and a close
// request says it was heard until the write ends; then Load is back and the window closes.
TEST_F(PollingTest, AutomaticWriteKeepsLoadOffAndShowsAHeardClose) {
    CampaignScenario fault;
    fault.arrivalAt = 300;
    bool loadDuringWrite = true;
    FaultPlatform* faulty = nullptr;
    Start({}, [&](SimulatedPlatform& sim) {
        auto wrapper = std::make_unique<FaultPlatform>(sim, fault, sim.devices().front());
        faulty = wrapper.get();
        return std::unique_ptr<HidPlatform>(std::move(wrapper));
    });
    faulty->onArrival = [&] {
        loadDuringWrite = form(Control::btn_Load).isEnabled();
        view.CloseByOperator();
    };
    faulty->arm();
    form(Control::cb_AutoRun).setChecked(true);
    Load();
    ASSERT_TRUE(Tick());
    EXPECT_FALSE(loadDuringWrite);
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
    EXPECT_EQ(form(Control::lbl_DevStatus).text(), "Closing when this write ends");
    EXPECT_TRUE(form(Control::btn_Load).isEnabled());
    view.RunPosted();
    EXPECT_TRUE(view.closed);
}

// Runs `act` once, at the n-th wait of the operation in progress (the window keeps pumping
// events there, so the operator's clicks arrive in the middle of it).
class MidOperationClock : public RecordingHost {
  public:
    void sleepMs(int ms) override {
        RecordingHost::sleepMs(ms);
        if (sleeps == at && act) {
            auto once = std::move(act);
            act = {};
            once();
        }
    }
    int at = 0;  // counted in RecordingHost::sleeps
    std::function<void()> act;
};

// While an operation runs, no control that starts one or changes its parameters is usable,
// whatever the operator clicks; a change of "Auto Write" takes effect when it has ended.
TEST_F(PollingTest, NothingElseStartsWhileAnOperationRuns) {
    struct Row {
        bool automatic;  // the write was started by checking "Auto Write"; else by Write
    };
    for (const Row row : {Row{true}, Row{false}}) {
        SCOPED_TRACE(row.automatic ? "automatic write" : "manual write");
        Start();
        MidOperationClock mid;
        model->SetClock(&mid);
        Load();
        ASSERT_TRUE(Tick());
        ASSERT_TRUE(ButtonsEnabled());
        bool usableDuring = true;
        mid.act = [&] {
            // The box is switched (to manual, or to automatic), then every control clicked.
            form(Control::cb_AutoRun).click();
            usableDuring = !AllDisabled(kOperationButtons) || !AllDisabled(kParameterControls) ||
                           !AllDisabled({Control::btn_Load, Control::cb_ICType});
            // Clicked whatever their state: nothing may start.
            view.Raise(Control::btn_Verify, window::Event::Click);
            view.Raise(Control::btn_Write, window::Event::Click);
            view.Raise(Control::btn_Save, window::Event::Click);
            view.Raise(Control::btnReadFactory, window::Event::Click);
        };
        view.saveFiles.push_back(dir.filePath("never"));
        mid.at = mid.sleeps + 40;
        if (row.automatic) {
            form(Control::cb_AutoRun).setChecked(true);
            ASSERT_TRUE(Run(&MainWindowModel::cb_AutoRunClick));
        } else {
            ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
        }
        view.RunPosted();  // what the end of the operation queued

        EXPECT_FALSE(mid.act) << "the write ended before the clicks";
        EXPECT_FALSE(usableDuring);
        EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Write Pass");
        EXPECT_EQ(model->station.PassCount, 1);
        EXPECT_FALSE(std::filesystem::exists(dir.filePath("never.bin")));
        // The box's new state holds now: manual after the automatic write, automatic after
        // the manual one (the mouse already written is not written again).
        EXPECT_EQ(form(Control::cb_AutoRun).isChecked(), !row.automatic);
        EXPECT_EQ(ButtonsEnabled(), row.automatic);
        EXPECT_EQ(ParametersEnabled(), row.automatic);
        EXPECT_EQ(ButtonsDisabled(), !row.automatic);
        EXPECT_FALSE(model->OperationRunning());
        model->SetClock(&clock);
    }
}

// After FFFFFF the field shows 1000000; that number does not fit the record, so the next
// mouse gets an error box and is not touched, instead of a second 000000.
TEST_F(PollingTest, ANumberPastTheRecordIsRefusedBeforeTheMouseIsTouched) {
    Scenario scenario;
    scenario.mice = 2;
    Start(scenario);
    form(Control::cb_WriteID).setChecked(true);
    form(Control::edt_FactoryNum).setText("FFFFFF");
    form(Control::cb_AutoRun).setChecked(true);
    Load();
    for (int tick = 0; tick < 20 && boxes.empty(); ++tick) Tick();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(StartsWith(
        boxes.front(), "product number 1000000 does not fit the factory record (6 hex digits)"));
    EXPECT_EQ(form(Control::edt_FactoryNum).text(), "1000000");
    EXPECT_EQ(line->miceDone(), 1);
    ASSERT_NE(line->currentMouse(), nullptr);
    EXPECT_FALSE(line->currentMouse()->written());
    EXPECT_EQ(model->station.PassCount, 1);
}

TEST_F(PollingTest, FailingTickDoesNotStopPolling) {
    Start();
    Load();
    form(Control::edt_VID).setText("zz");
    EXPECT_FALSE(Tick());
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_FALSE(model->station.PollBusy);
    EXPECT_TRUE(view.TimerRunning());
    EXPECT_FALSE(Found());

    // Fixed, the next device change finds the mouse.
    form(Control::edt_VID).setText("3A5C");
    line->plugOther();
    ASSERT_TRUE(Tick());
    EXPECT_TRUE(Found());
}

TEST_F(PollingTest, ProductionLogGetsOneLinePerOperation) {
    Start();
    const std::string log = dir.filePath("line.csv");
    model->productionLog = ProductionLog(log);
    form(Control::cb_WriteID).setChecked(true);
    Load();
    ASSERT_TRUE(Tick());
    ASSERT_TRUE(Run(&MainWindowModel::btn_WriteClick));
    ASSERT_TRUE(Run(&MainWindowModel::btn_VerifyClick));
    std::ifstream file(log);
    ASSERT_TRUE(file);
    std::vector<std::string> lines;
    for (std::string text; std::getline(file, text);)
        if (!text.empty()) lines.push_back(text);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], kLogHeader);
    EXPECT_NE(lines[1].find(",KVDE31X,3A5C:0C21,write,000001,Write Pass,"), std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find(",verify,,Verify Pass,"), std::string::npos) << lines[2];

    // A log that can no longer be written is said; the result stays as shown.
    file.close();
    ASSERT_TRUE(std::filesystem::remove(log));
#ifdef _WIN32
    ASSERT_TRUE(std::filesystem::create_directory(log));
#else
    ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
#endif
    EXPECT_FALSE(Run(&MainWindowModel::btn_VerifyClick));
    EXPECT_EQ(form(Control::lbl_CtrlResult).text(), "Verify Pass");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(StartsWith(boxes.front(), "Done, but not logged: \"" + log));
    EXPECT_TRUE(view.TimerRunning());  // polling goes on once the box is seen
}

}  // namespace
}  // namespace bw::test
