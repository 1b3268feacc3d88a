#include "winapp/single_instance.h"

#include "winapp/main_window.h"
#include "winapp/station_window.h"

namespace bw::winapp {

HWND FindRunningCopy() {
    // The gang station and the main window drive the same mice: either one running
    // is the running copy.
    for (const wchar_t* title : {kMainWindowTitle, kStationWindowTitle}) {
        if (HWND found = FindWindowW(nullptr, title)) return found;
    }
    return nullptr;
}

void BringToFront(HWND window) {
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
}

}  // namespace bw::winapp
