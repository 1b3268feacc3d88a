#pragma once
// How the main window's edit fields look and take input beyond what an edit control does
// by itself.

#include <windows.h>

namespace bw::winapp {

// A one-pixel black frame (two pixels of the window's blue while it has the focus) and the
// text in the middle of the field's height, as the Qt window draws its fields. Set before
// the field's font.
void FrameField(HWND edit);

// The open button's width in a framed list.
inline constexpr int kListButtonWidth = 16;

// The lists framed as the fields are, their text in the middle of their height, and the
// open button drawn as the Qt window draws it.
void FrameList(HWND list);
// What FrameList paints around a list's edit field, into `dc` (the list's client area).
void PaintListFrame(HWND list, HDC dc);

// Shown, never typed into or focused: clicks and the context menu are dropped (the path).
void ShowOnly(HWND edit);

}  // namespace bw::winapp
