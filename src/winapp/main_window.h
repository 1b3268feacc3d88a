#pragma once
// The main window TForm1 on the Windows API: its controls by name, each made from the
// design (main_window_design.h), the window's own title bar and frame, colours and fonts.
// It does nothing by itself: the window's behaviour drives it through MainWindowView and
// hears its events through MainWindowEvents.

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "winapp/gdi_resources.h"
#include "winapp/main_window_design.h"
#include "winapp/number_field.h"
#include "window/main_window_view.h"

namespace bw::winapp {

inline constexpr wchar_t kApplicationTitle[] = L"MIRQ Binwright";

class TFormLoadingUI;

class TForm1 final : public window::MainWindowView {
  public:
    // Creates the window and its controls in their design state, hidden, 625 x 680 and
    // centred on the primary screen.
    explicit TForm1(HINSTANCE instance);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    HWND Handle() const { return window_; }
    void Show(int showCommand);
    // The loading window, made after this one.
    void SetLoadingWindow(TFormLoadingUI* loading) { loading_ = loading; }
    // The child window of a control; null for the ones this window paints itself (the
    // pictures, the group frames) and for DevTimer.
    HWND ControlWindow(window::Control control) const;
    // The message loop's filter: keyboard navigation between the controls. True when the
    // message was used up.
    bool PreTranslate(MSG& message);

    // MainWindowView.
    void SetEvents(window::MainWindowEvents* events) override { events_ = events; }
    void Apply(window::Control control, const window::ControlChange& change) override;
    std::string Text(window::Control control) const override;
    int SelectedRow(window::Control control) const override;
    bool Checked(window::Control control) const override;
    std::int32_t GetValue(window::Control field) const override;
    void SetValue(window::Control field, std::int32_t value) override;
    void StartTimer() override;
    void StopTimer() override;
    bool TimerRunning() const override { return timerRunning_; }
    std::optional<std::string> ChooseOpenFile() override;
    std::optional<std::string> ChooseSaveFile() override;
    void ShowMessage(std::string_view text) override;
    void ShowError(std::string_view message) override;
    std::optional<std::string> AskPassword(std::string_view lastEntry) override;
    void ShowLoading() override;
    void HideLoading() override;
    void ProcessEvents() override;
    void Post(std::function<void()> work) override;
    void Close() override;

  private:
    struct Slot {
        ControlDesign design;
        HWND window = nullptr;
        std::wstring text;  // what the window paints (pictures, groups)
        bool visible = true;
        bool enabled = true;
        bool wordWrap = false;
        std::optional<Rgb> colour;
        FontKey font;
        bool readOnly = false;
        std::wstring toolTip;
        std::unique_ptr<THexEdit> field;
        std::unique_ptr<Picture> picture;
    };

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls(HINSTANCE instance);
    void CreateControl(HINSTANCE instance, Slot& slot);
    void SetKeyboardOrder();
    void CreateToolTips();
    void UpdateToolTip(Slot& slot);

    Slot& SlotOf(window::Control control) { return slots_[static_cast<std::size_t>(control)]; }
    const Slot& SlotOf(window::Control control) const {
        return slots_[static_cast<std::size_t>(control)];
    }
    Slot* SlotOfWindow(HWND child);
    void Report(window::Control control, window::Event event);
    void Redraw(const Slot& slot);

    void Paint(HDC dc);
    void PaintTitleBar(HDC dc);
    void PaintGroup(HDC dc, const Slot& slot);
    void DrawLabel(const DRAWITEMSTRUCT& item);
    HBRUSH ControlColours(HDC dc, HWND child);
    // The title bar's buttons: minimise and close.
    RECT MinimiseButton() const;
    RECT CloseButton() const;
    LRESULT HitTest(LPARAM lParam);
    void OnMouseDown(int x, int y);
    void OnMouseUp(int x, int y);

    HWND window_ = nullptr;
    HWND toolTips_ = nullptr;
    window::MainWindowEvents* events_ = nullptr;
    TFormLoadingUI* loading_ = nullptr;
    std::array<Slot, window::kControlCount> slots_;
    FontCache fonts_;
    BrushCache brushes_;
    bool timerRunning_ = false;
    bool closing_ = false;
    int pressedButton_ = 0;  // 1 minimise, 2 close, while the mouse is held on it
};

}  // namespace bw::winapp
