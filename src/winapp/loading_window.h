#pragma once
// The loading window FormLoadingUI: a borderless, top-most busy animation shown over the
// main window while device work runs. Black is its transparent colour (a layered window
// with a colour key), so only the animation's other pixels are seen. It takes no input, is
// hidden between operations and lives until the program ends.

#include <windows.h>

#include <memory>
#include <vector>

#include "winapp/gdi_resources.h"

namespace bw::winapp {

class TFormLoadingUI {
  public:
    static constexpr SIZE kClientSize{206, 196};
    static constexpr SIZE kAnimationSize{200, 192};

    // Hidden after construction.
    explicit TFormLoadingUI(HINSTANCE instance);
    ~TFormLoadingUI();
    TFormLoadingUI(const TFormLoadingUI&) = delete;
    TFormLoadingUI& operator=(const TFormLoadingUI&) = delete;

    HWND Handle() const { return window_; }
    int FrameCount() const { return static_cast<int>(delays_.size()); }
    // How long a frame shows, as the animation says (50 ms where it says nothing).
    UINT FrameDelayMs(int frame) const { return delays_[static_cast<std::size_t>(frame)]; }

    // Centred over the main window's frame, 40 pixels lower: the place at start-up.
    void PlaceAtCreation(HWND mainWindow);
    // Centred over the main window's frame where it is now: before every showing.
    void PlaceOver(HWND mainWindow);
    // Places, shows (without taking the focus) and paints the window; the animation runs
    // while it shows.
    void ShowOver(HWND mainWindow);
    void Hide();

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc);
    void NextFrame();

    HWND window_ = nullptr;
    std::unique_ptr<Picture> animation_;
    std::vector<UINT> delays_;  // milliseconds per frame
    GUID dimension_{};
    std::size_t frame_ = 0;
};

}  // namespace bw::winapp
