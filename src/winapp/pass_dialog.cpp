#include "winapp/pass_dialog.h"

#include <commctrl.h>

#include <vector>

#include "winapp/win_text.h"
#include "window/window_placement.h"

namespace bw::winapp {

namespace {

constexpr int kValueId = 100;
constexpr int kMarginX = (TPassDialog::kClientSize.cx - TPassDialog::kEditWidth) / 2;
constexpr int kPromptTop = 34;
constexpr int kEditTop = 58;
constexpr int kEditHeight = 21;
constexpr int kButtonTop = 120;

// The hand (link) cursor over the buttons.
LRESULT CALLBACK HandCursor(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    if (message == WM_SETCURSOR) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

HWND Child(HWND dialog, const wchar_t* windowClass, const std::wstring& text, DWORD style,
           RECT place, int id, HFONT font) {
    HWND child =
        CreateWindowExW(0, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, place.left,
                        place.top, place.right - place.left, place.bottom - place.top, dialog,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

}  // namespace

int TPassDialog::Execute(HWND mainWindow) {
    owner_ = mainWindow;
    // Body font: "MS Sans Serif", 11 pixels.
    bodyFont_ = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                            L"MS Sans Serif");
    // An empty template in memory: fixed dialog border with a title and a close button;
    // the controls are made in pixels when it opens.
    std::vector<WORD> memory(64, 0);
    auto* shape = reinterpret_cast<DLGTEMPLATE*>(memory.data());
    shape->style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    shape->cdit = 0;
    // Menu, class and title follow as empty words.
    const int result = static_cast<int>(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), shape,
                                                                mainWindow, &TPassDialog::Procedure,
                                                                reinterpret_cast<LPARAM>(this)));
    DeleteObject(bodyFont_);
    bodyFont_ = nullptr;
    return result == IDOK ? IDOK : IDCANCEL;
}

void TPassDialog::Build(HWND dialog) {
    SetWindowTextW(dialog, Caption.c_str());
    // The client area in pixels, centred frame over frame on the main window.
    RECT outer{0, 0, kClientSize.cx, kClientSize.cy};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    RECT main{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (owner_ != nullptr) GetWindowRect(owner_, &main);
    const window::Point at = window::CentredOver(
        {main.left, main.top, main.right - main.left, main.bottom - main.top}, width, height);
    SetWindowPos(dialog, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    Child(dialog, L"STATIC", PromptText, SS_LEFT | SS_NOPREFIX,
          {kMarginX, kPromptTop, kMarginX + kEditWidth, kPromptTop + 16}, -1, bodyFont_);
    HWND value = Child(
        dialog, L"EDIT", ValueText, WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL,
        {kMarginX, kEditTop, kMarginX + kEditWidth, kEditTop + kEditHeight}, kValueId, bodyFont_);
    SendMessageW(value, EM_SETPASSWORDCHAR, PasswordChar, 0);
    // The buttons symmetric about the middle: OK's left edge at W/2 - its width - 8,
    // Cancel's at W/2 + 8.
    const int middle = kClientSize.cx / 2;
    const int okLeft = middle - kButtonSize.cx - 8;
    const int cancelLeft = middle + 8;
    HWND ok = Child(dialog, L"BUTTON", ButtonOKCaption, WS_TABSTOP | BS_DEFPUSHBUTTON,
                    {okLeft, kButtonTop, okLeft + kButtonSize.cx, kButtonTop + kButtonSize.cy},
                    IDOK, bodyFont_);
    HWND cancel =
        Child(dialog, L"BUTTON", ButtonCancelCaption, WS_TABSTOP | BS_PUSHBUTTON,
              {cancelLeft, kButtonTop, cancelLeft + kButtonSize.cx, kButtonTop + kButtonSize.cy},
              IDCANCEL, bodyFont_);
    SetWindowSubclass(ok, &HandCursor, 1, 0);
    SetWindowSubclass(cancel, &HandCursor, 1, 0);
    SendMessageW(value, EM_SETSEL, 0, -1);
    SetFocus(value);
}

INT_PTR CALLBACK TPassDialog::Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            reinterpret_cast<TPassDialog*>(lParam)->Build(dialog);
            return FALSE;  // the focus is set
        }
        case WM_COMMAND: {
            auto* self = reinterpret_cast<TPassDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
            // Escape and the close button come as IDCANCEL, Enter as IDOK.
            if (LOWORD(wParam) == IDOK) {
                self->ValueText = WindowText(GetDlgItem(dialog, kValueId));
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace bw::winapp
