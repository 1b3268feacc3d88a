#pragma once
// One running copy of each window: a later start looks for its window by the title, of any
// window class, restores it (also from minimised) and brings it to the front.

#include <windows.h>

namespace bw::winapp {

// The window titled `title` (UTF-8) of a running copy; null when none runs.
HWND FindRunningCopy(const char* title);

// Restores `window` to its normal size and place and brings it to the foreground.
void BringToFront(HWND window);

}  // namespace bw::winapp
