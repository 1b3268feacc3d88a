#pragma once
// The password dialog dlgPass: a masked entry with OK and Cancel, modal over the main
// window. Only its settings and the last entry confirmed live between showings; the dialog
// window exists only while it is shown.

#include <windows.h>

#include <string>

namespace bw::winapp {

class TPassDialog {
  public:
    static constexpr SIZE kClientSize{254, 177};
    static constexpr SIZE kButtonSize{73, 25};
    static constexpr int kEditWidth = 201;

    std::wstring Caption = L"MIRQ Binwright ";
    std::wstring PromptText = L"PASSWORD:";
    wchar_t PasswordChar = L'*';
    std::wstring ButtonOKCaption = L"OK";
    std::wstring ButtonCancelCaption = L"Cancel";
    // The text last confirmed with OK; the entry starts with it.
    std::wstring ValueText;

    // Shows the dialog modally, centred over `mainWindow`. OK (or Enter) copies the entry
    // into ValueText; Cancel, Escape and the close button keep it. IDOK or IDCANCEL.
    int Execute(HWND mainWindow);

  private:
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void Build(HWND dialog);

    HWND owner_ = nullptr;
    HFONT bodyFont_ = nullptr;
};

}  // namespace bw::winapp
