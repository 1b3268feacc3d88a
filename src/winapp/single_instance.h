#pragma once
// One running copy: a later start looks for the running copy's window by its title, of
// any window class, restores it (also from minimised), brings it to the front and ends.

#include <windows.h>

namespace bw::winapp {

// The window of a running copy: its main window, or its gang station window; null when
// none runs.
HWND FindRunningCopy();

// Restores `window` to its normal size and place and brings it to the foreground.
void BringToFront(HWND window);

}  // namespace bw::winapp
