#include "winapp/number_field.h"

#include <commctrl.h>

#include <string>

#include "winapp/win_text.h"

namespace bw::winapp {

namespace {

constexpr UINT_PTR kFilterId = 0x4845;  // "HE"

// Editing shortcuts an edit control takes as character messages: select all, copy, paste
// (checked when it arrives), cut and undo. They put no character into the field.
bool IsEditingShortcut(WPARAM c) {
    return c == 1 || c == 3 || c == 22 || c == 24 || c == 26;
}

}  // namespace

THexEdit::THexEdit(HWND edit, NumberBase base) : edit_(edit), base_(base) {
    SetWindowSubclass(edit_, &THexEdit::Filter, kFilterId, reinterpret_cast<DWORD_PTR>(this));
}

THexEdit::~THexEdit() {
    if (IsWindow(edit_)) RemoveWindowSubclass(edit_, &THexEdit::Filter, kFilterId);
}

bool THexEdit::Accepts(WPARAM character) const {
    if (!isFilter_) return true;
    return TypedCharacterAccepted(base_, static_cast<char32_t>(character)) ||
           IsEditingShortcut(character);
}

bool THexEdit::ClipboardFits() const {
    if (!isFilter_) return true;
    if (!OpenClipboard(edit_)) return false;
    bool fits = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            fits = IsFieldText(base_, Utf8(text));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return fits;
}

LRESULT CALLBACK THexEdit::Filter(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR /*id*/, DWORD_PTR self) {
    const auto* field = reinterpret_cast<const THexEdit*>(self);
    // A dropped character has no effect at all: the control never sees it.
    if (message == WM_CHAR && !field->Accepts(wParam)) return 0;
    if (message == WM_PASTE && !field->ClipboardFits()) return 0;
    return DefSubclassProc(window, message, wParam, lParam);
}

std::int32_t THexEdit::GetValue() const {
    return FieldTextValue(base_, Utf8(WindowText(edit_)));
}

void THexEdit::SetValue(std::int32_t value) {
    const std::wstring text = Wide(FieldValueText(base_, value));
    const auto limit = static_cast<std::size_t>(SendMessageW(edit_, EM_GETLIMITTEXT, 0, 0));
    if (text.size() > limit) SendMessageW(edit_, EM_SETLIMITTEXT, text.size(), 0);
    SetWindowTextW(edit_, text.c_str());
}

}  // namespace bw::winapp
