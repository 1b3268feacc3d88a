#pragma once
// OpenDialog1 and SaveDialog1: the standard file dialogs with the window's filters.

#include <windows.h>

#include <optional>
#include <string>

namespace bw::winapp {

enum class FileDialogKind {
    Open,  // "LoadFile(*.bin)|*.bin"; an existing file; resizable; no read-only box
    Save,  // "SaveFile(*.bin)|*.bin"; asks before overwriting; resizable; no read-only
           // box; no places bar
};

// The filter "label|pattern|..." as the dialogs take it: each part ended by a null, the
// whole by a second one.
std::wstring DialogFilter(const std::wstring& barred);

// Runs the dialog modally over `owner`: the name chosen as entered (no extension is
// added; the save appends ".bin" itself), none when cancelled. The working folder stays
// where it was, so relative names given on the command line keep their meaning.
std::optional<std::wstring> RunFileDialog(HWND owner, FileDialogKind kind);

}  // namespace bw::winapp
