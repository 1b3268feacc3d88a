// The main window's behaviour without a line: its starting state, captions, the logo's lock,
// the block count, the handler guard's recovery and the close rules.

#include <stdexcept>

#include "winapp/main_window_design.h"
#include "window/main_window_captions.h"
#include "window/main_window_fixture.h"

namespace bw::test {
namespace {

using window::Event;

class ModelTest : public MainWindowTest {
  protected:
    void SetUp() override { Start(); }
    void DoubleClicks(int n) {
        for (int i = 0; i < n; ++i) view.Raise(Control::Img_MIRQLog, Event::DoubleClick);
    }
    bool IdentityEnabled() { return AllEnabled(kIdentity); }

    const std::vector<Control> kIdentity{Control::lbl_VID, Control::edt_VID, Control::lbl_PID,
                                         Control::edt_PID};
};

TEST_F(ModelTest, WhatTheWindowKnowsOfEachControlIsItsDesignStateAndCaptions) {
    for (const winapp::ControlDesign& design : winapp::MainWindowDesign()) {
        const char* name = window::NameOf(design.control).data();
        EXPECT_EQ(model->Enabled(design.control), design.enabled) << name;
        EXPECT_EQ(model->Shown(design.control), design.visible) << name;
        EXPECT_EQ(view(design.control).isEnabled(), design.enabled) << name;
    }
    // Created: the captions of the language, the pass count 0, nothing loaded, no polling.
    EXPECT_EQ(model->UiLanguage, 0);
    EXPECT_EQ(form(Control::lbl_DevStatus).text(), "No Find Mouse");
    EXPECT_EQ(form(Control::btn_Write).text(), "Write");
    EXPECT_EQ(form(Control::gbResult).text(), "Result:");
    EXPECT_EQ(form(Control::lbl_PassCnt).text(), "0");
    EXPECT_EQ(view.StateOf(Control::lbl_ICType).fontFace, "MS Sans Serif");
    EXPECT_FALSE(model->station.ImageLoaded);
    EXPECT_FALSE(view.TimerRunning());
}

TEST_F(ModelTest, CaptionLanguageChangesTheCaptionsAndTheFaceOnly) {
    model->SelectUiLanguage(2052);
    EXPECT_EQ(model->UiLanguage, 2);
    EXPECT_EQ(form(Control::lbl_ICType).text(), "MIRQ IC Type");
    for (const Control c : window::kFacedControls) {
        EXPECT_EQ(view.StateOf(c).fontFace, "Microsoft JhengHei") << window::NameOf(c).data();
    }
    // Controls outside the 37 keep their design face; size and weight stay.
    EXPECT_EQ(view.StateOf(Control::edt_AllCnt).fontFace, "MS Sans Serif");
    EXPECT_EQ(view.StateOf(Control::cb_Factory).fontFace, "Tahoma");
    EXPECT_EQ(view.StateOf(Control::lbl_DevStatus).fontPixels, 21);
    model->SelectUiLanguage(1033);
    EXPECT_EQ(form(Control::lbl_ICType).text(), "MIRQ IC Type:");
    EXPECT_EQ(form(Control::cb_AutoRun).text(), "Auto Write");
}

TEST_F(ModelTest, FifthDoubleClickAsksAndTheRightPasswordUnlocks) {
    for (const Control c : kIdentity) view.Apply(c, {.enabled = false});
    view.passwords = {"GlimmerQX", "GlimmerQX"};
    DoubleClicks(4);
    EXPECT_TRUE(view.passwordPrefills.empty());
    DoubleClicks(1);
    EXPECT_EQ(view.passwordPrefills.size(), 1u);
    EXPECT_TRUE(IdentityEnabled());
    EXPECT_TRUE(boxes.empty());

    // The next double-click locks again, says so, and is not counted.
    DoubleClicks(1);
    EXPECT_FALSE(IdentityEnabled());
    EXPECT_EQ(boxes, std::vector<std::string>{"Locked"});
    DoubleClicks(4);
    EXPECT_EQ(view.passwordPrefills.size(), 1u);
    DoubleClicks(1);
    // The dialog opens with the entry confirmed last.
    EXPECT_EQ(view.passwordPrefills, (std::vector<std::string>{"", "GlimmerQX"}));
}

TEST_F(ModelTest, WrongPasswordOrCancelChangesNothing) {
    for (const Control c : kIdentity) view.Apply(c, {.enabled = false});
    view.passwords = {"glimmerqx", std::nullopt};
    DoubleClicks(5);
    EXPECT_FALSE(IdentityEnabled());
    DoubleClicks(5);
    EXPECT_EQ(view.passwordPrefills, (std::vector<std::string>{"", "glimmerqx"}));
    EXPECT_FALSE(IdentityEnabled());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ModelTest, BlockCountIsHeldBetweenOneAndEight) {
    struct Row {
        const char* typed;
        const char* held;
    };
    for (const Row row : {Row{"", "1"}, Row{"0", "1"}, Row{"12", "8"}, Row{"5", "5"}}) {
        form(Control::edt_Write256Count).setText(row.typed);
        EXPECT_EQ(form(Control::edt_Write256Count).text(), row.held) << row.typed;
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ModelTest, FieldThatDoesNotConvertEndsTheHandlerWithTheErrorBox) {
    form(Control::edt_Write256Count).setText("1x");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front(), "'01x' is not a valid integer value.");
    EXPECT_EQ(form(Control::edt_Write256Count).text(), "1x");
}

TEST_F(ModelTest, FailedHandlerLeavesPollingRunningForALoadedImage) {
    model->station.ImageLoaded = true;
    view.Apply(Control::btn_Load, {.enabled = false});
    EXPECT_FALSE(model->RunHandler([this] {
        model->station.PollBusy = true;
        view.StopTimer();
        throw std::runtime_error("Bad file");
    }));
    EXPECT_EQ(boxes, std::vector<std::string>{"Bad file."});
    EXPECT_FALSE(model->station.PollBusy);
    EXPECT_TRUE(view.TimerRunning());
    EXPECT_TRUE(form(Control::btn_Load).isEnabled());
    // No device open: the operation buttons stay as they were.
    EXPECT_TRUE(ButtonsDisabled());
}

TEST_F(ModelTest, CloseWithoutOperationClosesAtOnce) {
    view.StartTimer();
    EXPECT_TRUE(view.CloseByOperator());
    EXPECT_FALSE(view.TimerRunning());
    EXPECT_FALSE(model->state.link.AnyDeviceOpen());
}

TEST_F(ModelTest, CloseDuringAnOperationWaitsForItsEnd) {
    {
        MainWindowModel::OperationGuard outer(*model);
        {
            MainWindowModel::OperationGuard inner(*model);
            EXPECT_FALSE(view.CloseByOperator());
            EXPECT_EQ(form(Control::lbl_DevStatus).text(), "Closing when this operation ends");
        }
        view.RunPosted();
        EXPECT_FALSE(view.closed);  // the outer operation still runs
        EXPECT_TRUE(model->CloseRequested());
        // The status keeps saying so.
        model->DevTimerTimer();
        EXPECT_EQ(form(Control::lbl_DevStatus).text(), "Closing when this operation ends");
    }
    EXPECT_FALSE(model->OperationRunning());
    EXPECT_FALSE(view.closed);  // once the handler that ended it has returned
    view.RunPosted();
    EXPECT_TRUE(view.closed);
}

TEST_F(ModelTest, FailingOperationStillCarriesOutTheDeferredClose) {
    const bool ok = model->RunHandler([this] {
        model->BeginOperation();  // never ended: the handler fails first
        view.CloseByOperator();
        throw std::runtime_error("device gone");
    });
    EXPECT_FALSE(ok);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.front(), "device gone.");
    EXPECT_FALSE(model->OperationRunning());
    EXPECT_TRUE(view.closed);
}

// The busy lock: while a device operation runs the controls that start one or change its
// parameters stay off, and take the state wanted meanwhile when it ends.
TEST_F(ModelTest, ControlsSwitchedDuringAnOperationTakeTheirStateWhenItEnds) {
    const std::vector<Control> locked{Control::btn_Load,       Control::cb_ICType,
                                      Control::cb_WriteID,     Control::edt_sleepTime,
                                      Control::edt_FactoryNum, Control::cb_FactoryStation};
    {
        MainWindowModel::OperationGuard operation(*model);
        EXPECT_TRUE(AllDisabled(locked));
        EXPECT_TRUE(AllDisabled(kParameterControls));
        // The logo's unlock is refused meanwhile; "Auto Write" stays usable.
        DoubleClicks(5);
        EXPECT_TRUE(view.passwordPrefills.empty());
        EXPECT_TRUE(form(Control::cb_AutoRun).isEnabled());
    }
    EXPECT_TRUE(AllEnabled(locked));
    EXPECT_TRUE(AllEnabled(kParameterControls));
    EXPECT_TRUE(ButtonsDisabled());  // as before the operation
}

}  // namespace
}  // namespace bw::test
