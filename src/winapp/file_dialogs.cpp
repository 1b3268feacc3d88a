#include "winapp/file_dialogs.h"

#include <commdlg.h>

#include <vector>

namespace bw::winapp {

std::wstring DialogFilter(const std::wstring& barred) {
    std::wstring filter = barred;
    for (wchar_t& c : filter) {
        if (c == L'|') c = L'\0';
    }
    filter.push_back(L'\0');
    filter.push_back(L'\0');
    return filter;
}

std::optional<std::wstring> RunFileDialog(HWND owner, FileDialogKind kind) {
    const bool open = kind == FileDialogKind::Open;
    const std::wstring filter =
        DialogFilter(open ? L"LoadFile(*.bin)|*.bin" : L"SaveFile(*.bin)|*.bin");
    // Long names: the longest path the system takes.
    std::vector<wchar_t> name(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.Flags = OFN_EXPLORER | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (open) {
        dialog.Flags |= OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        if (!GetOpenFileNameW(&dialog)) return std::nullopt;
    } else {
        dialog.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
        dialog.FlagsEx = OFN_EX_NOPLACESBAR;
        if (!GetSaveFileNameW(&dialog)) return std::nullopt;
    }
    return std::wstring(name.data());
}

}  // namespace bw::winapp
