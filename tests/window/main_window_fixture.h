#pragma once
// The main window's behaviour on the simulated line, with a virtual clock, the timer stepped
// by the test and a view without a toolkit.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_platform.h"
#include "support/recording_host.h"
#include "window/fake_main_window_view.h"
#include "window/main_window_model.h"

namespace bw::test {

using window::Control;
using window::MainWindowModel;

// The control sets the window switches together.
inline const std::vector<Control> kOperationButtons{Control::btn_Write, Control::btnReadFactory,
                                                    Control::btn_Verify, Control::btn_Save};
inline const std::vector<Control> kParameterControls{
    Control::edt_AllCnt,    Control::edt_RetryCnt,      Control::rb_CmdByte2K,
    Control::rb_CmdByte256, Control::edt_Write256Count, Control::lbl_VID,
    Control::edt_VID,       Control::lbl_PID,           Control::edt_PID};
inline const std::vector<Control> kResultLabels{Control::lbl_Result, Control::lbl_BINDevError,
                                                Control::lbl_BINICTypeError,
                                                Control::lbl_CtrlResult, Control::lbl_ResultReason};

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
inline bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// A folder of the test's own, removed at its end.
class TestFolder {
  public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;
    std::string filePath(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

class MainWindowTest : public ::testing::Test {
  protected:
    // Builds the line and the window; the list row follows the scenario's IC type.
    // `wrap` may put a platform in front of the line.
    using Wrap = std::function<std::unique_ptr<HidPlatform>(SimulatedPlatform&)>;
    void Start(const Scenario& scenario = {}, const Wrap& wrap = {});

    std::string WriteFile(const std::string& name, const Image& bytes, std::size_t size = 2048);
    // Loads `image` as image.bin.
    void Load();

    // A handler as the window's events run it: through the one recovery place.
    bool Run(void (MainWindowModel::*handler)()) {
        return model->RunHandler([this, handler] { ((*model).*handler)(); });
    }
    bool Tick() { return Run(&MainWindowModel::DevTimerTimer); }

    FakeControl form(Control control) { return view(control); }
    bool AllEnabled(const std::vector<Control>& controls) {
        for (const Control c : controls)
            if (!view(c).isEnabled()) return false;
        return true;
    }
    bool AllDisabled(const std::vector<Control>& controls) {
        for (const Control c : controls)
            if (view(c).isEnabled()) return false;
        return true;
    }
    bool ButtonsEnabled() { return AllEnabled(kOperationButtons); }
    bool ButtonsDisabled() { return AllDisabled(kOperationButtons); }
    bool ParametersEnabled() { return AllEnabled(kParameterControls); }
    bool ParametersDisabled() { return AllDisabled(kParameterControls); }
    std::optional<Rgb> ResultColour() { return view(Control::lbl_CtrlResult).colour(); }
    bool ResultShown() { return !view(Control::lbl_CtrlResult).isHidden(); }
    const std::string& Result() { return view(Control::lbl_CtrlResult).text(); }
    bool Found() {
        return !view(Control::Img_Find).isHidden() &&
               view(Control::lbl_DevStatus).text() == "Mouse Ready";
    }
    bool Missing() {
        return view(Control::Img_Find).isHidden() &&
               view(Control::lbl_DevStatus).text() == "No Find Mouse";
    }

    TestFolder dir;
    RecordingHost clock;
    std::unique_ptr<SimulatedPlatform> line;
    std::unique_ptr<HidPlatform> front;
    FakeMainWindowView view;
    std::unique_ptr<MainWindowModel> model;
    Image image{};
    std::vector<std::string>& boxes = view.boxes;
};

}  // namespace bw::test
