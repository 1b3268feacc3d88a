#include "view_gallery.h"

#include <memory>
#include <string>

#include "sim/sim_platform.h"
#include "winapp/line_simulator.h"
#include "winapp/loading_window.h"
#include "winapp/main_window.h"
#include "winapp/main_window_design.h"
#include "winapp/startup_stand_in.h"
#include "window/line_simulator_model.h"
#include "window/main_window_model.h"

namespace bw::winapp {

namespace {

using window::Control;
using window::SimControl;

int Loop(TForm1* form) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form != nullptr && form->PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// A mouse found with an image loaded, in manual mode.
void ShowLoaded(TForm1& form) {
    form.Apply(Control::Img_Find, {.visible = true});
    form.Apply(Control::Img_NoFind, {.visible = false});
    form.Apply(Control::lbl_DevStatus, {.text = "Mouse Ready"});
    form.Apply(Control::cb_ICType, {.enabled = false});
    form.Apply(Control::btn_Load, {.enabled = false});
    for (Control c :
         {Control::btn_Write, Control::btn_Verify, Control::btn_Save, Control::btnReadFactory}) {
        form.Apply(c, {.enabled = true});
    }
    form.Apply(Control::edt_BinFile, {.text = "C:\\users\\line\\镜像\\demo.bin"});
    form.Apply(Control::lbl_BinIdentity, {.text = "sha256 e18cd0e1  crc32 0070D7CC",
                                          .visible = true,
                                          .toolTip = "SHA-256 e18cd0e14aee..."});
}

void ShowWritePass(TForm1& form) {
    form.Apply(
        Control::lbl_CtrlResult,
        {.text = "Write Pass", .visible = true, .textColour = Rgb{0, 255, 0}, .fontPoints = 36});
    form.Apply(Control::lbl_PassCnt, {.text = "1"});
}

}  // namespace

int ShowGallery(const char* name) {
    const std::string view = name;
    if (view != "main-loaded" && view != "write-pass" && view != "line-simulator" &&
        view != "loading" && view != "password" && view != "file-open" && view != "file-save") {
        return 2;
    }
    HINSTANCE instance = GetModuleHandleW(nullptr);
    TForm1 form(instance);
    TFormLoadingUI loading(instance);
    loading.PlaceAtCreation(form.Handle());
    form.SetLoadingWindow(&loading);
    // The start-up state as the window's behaviour gives it; then the states photographed.
    SimulatedPlatform line;
    window::MainWindowModel model(line, form);
    model.FormCreate(static_cast<std::uint32_t>(GetThreadLocale()));
    StandInEvents events;
    form.SetEvents(&events);
    const bool dialog = view == "password" || view == "file-open" || view == "file-save";
    if (view != "loading" && !dialog) ShowLoaded(form);
    if (view == "write-pass" || view == "line-simulator") ShowWritePass(form);
    form.Show(SW_SHOWNORMAL);
    std::unique_ptr<LineSimulatorWindow> simulator;
    std::unique_ptr<window::LineSimulatorModel> simulatorModel;
    if (view == "line-simulator") {
        simulator = std::make_unique<LineSimulatorWindow>(instance);
        line.faults().latencyUs = 4000;
        simulatorModel = std::make_unique<window::LineSimulatorModel>(line, *simulator);
        // Off the status and the result, as the program places it.
        int keep = 0;
        for (const ControlDesign& d : MainWindowDesign())
            if (d.control == Control::gbResult) keep = d.place.y + d.place.height + 8;
        simulator->ShowBeside(form.Handle(), keep);
    }
    if (view == "loading") form.ShowLoading();
    // Modal: the loop is the dialog's until it is closed.
    if (view == "password") form.AskPassword("");
    if (view == "file-open") form.ChooseOpenFile();
    if (view == "file-save") form.ChooseSaveFile();
    if (dialog) return 0;
    return Loop(&form);
}

}  // namespace bw::winapp
