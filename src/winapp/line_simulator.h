#pragma once
// The "Line simulator" window beside the main window on the simulated line: buttons that
// plug and pull mice of each IC type and unrelated HID devices, the faults of the simulated
// controller, the status reply of the next mouse, and the presence line. It does nothing
// by itself: the Line simulator's behaviour (window::LineSimulatorModel) drives it through
// LineSimulatorView.

#include <windows.h>

#include <array>
#include <vector>

#include "winapp/gdi_resources.h"
#include "winapp/owned_window.h"
#include "window/line_simulator_view.h"

namespace bw::winapp {

inline constexpr wchar_t kLineSimulatorTitle[] = L"Line simulator";

class LineSimulatorWindow final : public window::LineSimulatorView {
  public:
    // Hidden after construction; every value at the bottom of its range, switches off.
    explicit LineSimulatorWindow(HINSTANCE instance);
    ~LineSimulatorWindow() override;
    LineSimulatorWindow(const LineSimulatorWindow&) = delete;
    LineSimulatorWindow& operator=(const LineSimulatorWindow&) = delete;

    HWND Handle() const { return window_; }
    HWND ControlWindow(window::SimControl control) const;
    // Shows the window by `mainWindow`, wholly on the main window's screen and off its first
    // `keep` pixels (from the frame's top: the status and the result), without taking the
    // focus from it. Tells the behaviour first whether the whole window finds such a place.
    void ShowBeside(HWND mainWindow, int keep);

    // LineSimulatorView.
    void SetEvents(window::LineSimulatorEvents* events) override { events_ = events; }
    void SetValue(window::SimControl control, int value) override;
    int Value(window::SimControl control) const override;
    void SetText(window::SimControl control, std::string_view text) override;
    void StartTicks(int periodMs) override;
    void StopTicks() override;

  private:
    template <class Owner>
    friend LRESULT CALLBACK OwnedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(HINSTANCE instance);
    void ShowValue(window::SimControl control);
    // The outer size with the details shown (whole) or folded away.
    SIZE OuterSize(bool whole) const;
    // Shows or hides the details as Details says, and sizes the window to what it shows.
    void Fit();
    void Report(window::SimControl control, window::SimEvent event);

    HWND window_ = nullptr;
    window::LineSimulatorEvents* events_ = nullptr;
    std::array<HWND, window::kSimControlCount> controls_{};
    std::array<int, window::kSimControlCount> values_{};
    bool settingText_ = false;
    std::vector<HWND> details_;  // the faults and the next mouse's status
    int wholeHeight_ = 0;        // client heights
    int foldedHeight_ = 0;
    FontCache fonts_;
};

}  // namespace bw::winapp
