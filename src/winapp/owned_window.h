#pragma once
// What the program's own windows share at the Windows API: the window procedure of a window
// that belongs to an object, and work posted to the window's thread.

#include <windows.h>

#include <exception>
#include <functional>

namespace bw::winapp {

// The window procedure of a window class whose windows each belong to an `Owner`:
// CreateWindowExW's last parameter names the owner, which keeps the window in `window_` and
// answers every later message in `Handle`. Nothing unwinds through the system's frames: an
// exception ends the message's handling. The owner befriends this function.
template <class Owner>
LRESULT CALLBACK OwnedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* owner =
            static_cast<Owner*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        owner->window_ = window;
    }
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return owner->Handle(message, wParam, lParam);
    } catch (const std::exception&) {
        return 0;
    }
}

// Work for a window's thread, from any thread: it runs when the window's message loop takes
// kPostedWork (RunPostedWork), or is dropped with the window (DropPostedWork).
inline constexpr UINT kPostedWork = WM_APP + 1;

// Posts `work` to `window`; dropped when there is no window or its queue is full.
void PostWork(HWND window, std::function<void()> work);
// Runs the work a kPostedWork message carries (its lParam).
void RunPostedWork(LPARAM lParam);
// Frees the work still queued for `window`, which is going.
void DropPostedWork(HWND window);

}  // namespace bw::winapp
