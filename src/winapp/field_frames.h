#pragma once
// How the main window's edit fields look and take input beyond what an edit control does
// by itself.

#include <windows.h>

namespace bw::winapp {

// A one-pixel black frame (two pixels of the window's blue while it has the focus) and the
// text in the middle of the field's height, as the Qt window draws its fields. Set before
// the field's font.
void FrameField(HWND edit);

// Shown, never typed into or focused: clicks and the context menu are dropped (the path).
void ShowOnly(HWND edit);

}  // namespace bw::winapp
