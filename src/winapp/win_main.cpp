// Entry of the Windows window: the options, the single-instance rule, the main window (or
// the gang station window) and the loading window, then the message loop.

#include <windows.h>
// clang-format off
#include <commctrl.h>
#include <objbase.h>
// clang-format on

#include <cstdio>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "frontend/window_options.h"
#include "os/utf8_args.h"
#include "production/production_log.h"
#include "sim/sim_platform.h"
#include "winapp/gdi_resources.h"
#include "winapp/gui_options.h"
#include "winapp/line_simulator.h"
#include "winapp/loading_window.h"
#include "winapp/main_window.h"
#include "winapp/main_window_design.h"
#include "winapp/single_instance.h"
#include "winapp/station_main.h"
#include "winapp/win_text.h"
#include "window/line_simulator_model.h"
#include "window/main_window_model.h"
#include "window/running_copy.h"

namespace {

using namespace bw::winapp;

// Help, the version and option errors go to the console the window was started from;
// started from Explorer there is none, and a box says it.
void Say(const std::string& text, bool error) {
    if (text.empty()) return;
    AttachConsole(ATTACH_PARENT_PROCESS);
    HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return;
    }
    MessageBoxW(nullptr, Wide(text).c_str(), kApplicationTitle,
                MB_OK | (error ? MB_ICONERROR : MB_ICONINFORMATION));
}

// The bottom of the result group, from the main window's frame top: the Line simulator
// keeps off the status and the result above it.
int ResultBottom() {
    for (const bw::winapp::ControlDesign& d : bw::winapp::MainWindowDesign())
        if (d.control == bw::window::Control::gbResult) return d.place.y + d.place.height;
    return 0;
}

int RunMessageLoop(TForm1* form) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form != nullptr && form->PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    bw::Utf8Arguments utf8(0, nullptr);
    const std::vector<std::string> args(utf8.argv() + (utf8.argc() > 0 ? 1 : 0),
                                        utf8.argv() + utf8.argc());
    const ParsedGuiOptions parsed = ParseGuiOptions(args);
    if (parsed.exitCode) {
        Say(parsed.said, *parsed.exitCode != 0);
        return *parsed.exitCode;
    }
    const GuiOptions& options = parsed.options;

    // A copy of this window already runs: it comes to the front, and this start ends as the
    // rule for a second start says.
    const bool ganged = options.gang;
    if (HWND running = FindRunningCopy(bw::window::RunningCopyTitle(ganged))) {
        BringToFront(running);
        const bw::window::SecondStart second = bw::window::SecondStartOutcome(ganged);
        Say(second.message, true);
        return second.exitCode;
    }

    // The main window's log, ledger and line (the simulated one, or the machine's HID
    // devices), as the Linux window starts them: before the window shows.
    std::optional<bw::WindowLine> line;
    if (!options.gang) {
        std::ostringstream problem;
        line = bw::StartWindowLine(options.window, problem);
        if (!line) {
            Say(problem.str(), true);
            return 2;
        }
    }

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    GdiplusSession gdiplus;
    int exitCode = 0;
    if (options.gang) {
        // The gang station's behaviour, the same as the Linux window's.
        exitCode = RunGangStation(instance, showCommand, options, Say);
    } else {
        TForm1 form(instance);
        TFormLoadingUI loading(instance);
        loading.PlaceAtCreation(form.Handle());
        form.SetLoadingWindow(&loading);
        // The window's behaviour, the same as the Linux window's.
        bw::window::MainWindowModel model(line->platform->platform(), form);
        model.FormCreate(static_cast<std::uint32_t>(GetThreadLocale()));
        if (!options.window.logFile.empty())
            model.productionLog = bw::ProductionLog(options.window.logFile);
        model.approvedSha256 = options.window.approvedSha256;
        model.UseLedger(line->ledger.get());
        form.Show(showCommand);
        // On the simulated line a second window plugs and pulls the devices, beside the
        // main window; the Line simulator's behaviour drives it.
        std::unique_ptr<LineSimulatorWindow> lineSimulator;
        std::unique_ptr<bw::window::LineSimulatorModel> lineSimulatorModel;
        if (bw::SimulatedPlatform* simulated = line->platform->simulated()) {
            lineSimulator = std::make_unique<LineSimulatorWindow>(instance);
            lineSimulatorModel =
                std::make_unique<bw::window::LineSimulatorModel>(*simulated, *lineSimulator);
            lineSimulator->ShowBeside(form.Handle(), ResultBottom() + 8);
        }
        RunMessageLoop(&form);
    }
    if (line) {
        std::ostringstream ending;
        bw::FinishWindowLine(*line, ending);
        Say(ending.str(), true);
    }
    CoUninitialize();
    return exitCode;
}
