#include "winapp/single_instance.h"

#include "winapp/win_text.h"

namespace bw::winapp {

HWND FindRunningCopy(const char* title) {
    return FindWindowW(nullptr, Wide(title).c_str());
}

void BringToFront(HWND window) {
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

}  // namespace bw::winapp
