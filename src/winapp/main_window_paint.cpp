// The main window's own drawing: the title bar and frame (the window has no system
// ones), the group frames, the pictures, the labels, and the colours of the controls.

#include <string>

#include "winapp/main_window.h"
#include "winapp/win_text.h"

namespace bw::winapp {

namespace {

using window::Control;
using window::ControlKind;

constexpr int kTitleFontPixels = 15;
constexpr int kTitleButtonWidth = 24;
// "微软雅黑", the title bar's face.
constexpr wchar_t kTitleFace[] = L"\u5fae\u8f6f\u96c5\u9ed1";

}  // namespace

RECT TForm1::CloseButton() const {
    const int top = kFrameWidth;
    const int right = kDesignWidth - kFrameWidth - 2;
    return {right - kTitleButtonWidth, top, right, kTitleBarHeight - 3};
}

RECT TForm1::MinimiseButton() const {
    RECT close = CloseButton();
    return {close.left - kTitleButtonWidth - 2, close.top, close.left - 2, close.bottom};
}

LRESULT TForm1::HitTest(LPARAM lParam) {
    POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ScreenToClient(window_, &p);
    if (p.y >= kTitleBarHeight) return HTCLIENT;
    const RECT close = CloseButton();
    const RECT minimise = MinimiseButton();
    if (PtInRect(&close, p) || PtInRect(&minimise, p)) return HTCLIENT;
    return HTCAPTION;
}

void TForm1::OnMouseDown(int x, int y) {
    const POINT p{x, y};
    const RECT close = CloseButton();
    const RECT minimise = MinimiseButton();
    pressedButton_ = PtInRect(&minimise, p) ? 1 : PtInRect(&close, p) ? 2 : 0;
    if (pressedButton_ != 0) {
        SetCapture(window_);
        RECT bar{0, 0, kDesignWidth, kTitleBarHeight};
        InvalidateRect(window_, &bar, FALSE);
    }
}

void TForm1::OnMouseUp(int x, int y) {
    if (pressedButton_ == 0) return;
    const int pressed = pressedButton_;
    pressedButton_ = 0;
    ReleaseCapture();
    RECT bar{0, 0, kDesignWidth, kTitleBarHeight};
    InvalidateRect(window_, &bar, FALSE);
    const POINT p{x, y};
    const RECT target = pressed == 1 ? MinimiseButton() : CloseButton();
    if (!PtInRect(&target, p)) return;
    SendMessageW(window_, WM_SYSCOMMAND, pressed == 1 ? SC_MINIMIZE : SC_CLOSE, 0);
}

void TForm1::PaintTitleBar(HDC dc) {
    HBRUSH frame = brushes_.Get(ColourRef(kFrameColour));
    RECT bar{0, 0, kDesignWidth, kTitleBarHeight};
    FillRect(dc, &bar, frame);
    RECT left{0, 0, kFrameWidth, kDesignHeight};
    RECT right{kDesignWidth - kFrameWidth, 0, kDesignWidth, kDesignHeight};
    RECT bottom{0, kDesignHeight - kFrameWidth, kDesignWidth, kDesignHeight};
    FillRect(dc, &left, frame);
    FillRect(dc, &right, frame);
    FillRect(dc, &bottom, frame);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, fonts_.Get({kTitleFace, kTitleFontPixels, true}));
    const std::wstring title = WindowText(window_);
    RECT text{kFrameWidth, 0, kDesignWidth - kFrameWidth, kTitleBarHeight};
    DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

    // Minimise and close, drawn in white lines.
    HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    const auto button = [&](RECT r, bool pressed) {
        if (pressed) FillRect(dc, &r, brushes_.Get(RGB(0, 30, 140)));
        const int cx = (r.left + r.right) / 2;
        const int cy = (r.top + r.bottom) / 2;
        return POINT{cx, cy};
    };
    const POINT minimise = button(MinimiseButton(), pressedButton_ == 1);
    MoveToEx(dc, minimise.x - 5, minimise.y + 4, nullptr);
    LineTo(dc, minimise.x + 5, minimise.y + 4);
    const POINT close = button(CloseButton(), pressedButton_ == 2);
    MoveToEx(dc, close.x - 5, close.y - 5, nullptr);
    LineTo(dc, close.x + 5, close.y + 5);
    MoveToEx(dc, close.x + 5, close.y - 5, nullptr);
    LineTo(dc, close.x - 5, close.y + 5);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SelectObject(dc, old);
}

void TForm1::PaintGroup(HDC dc, const Slot& slot) {
    const Place& p = slot.design.place;
    HPEN pen = CreatePen(PS_SOLID, 1, ColourRef(kGroupFrameColour));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const bool captioned = window::KindOf(slot.design.control) == ControlKind::Group;
    // A captioned group's frame starts half a title lower; the title sits on its line.
    const int top = captioned ? p.y + 10 : p.y;
    Rectangle(dc, p.x, top, p.x + p.width, p.y + p.height);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    if (!captioned || slot.text.empty()) return;

    HGDIOBJ oldFont = SelectObject(dc, fonts_.Get(slot.font));
    SIZE extent{};
    GetTextExtentPoint32W(dc, slot.text.c_str(), static_cast<int>(slot.text.size()), &extent);
    RECT title{p.x + 8, top - extent.cy / 2, p.x + 8 + extent.cx + 6,
               top - extent.cy / 2 + extent.cy};
    FillRect(dc, &title, brushes_.Get(ColourRef(kWindowBackground)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, slot.enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT));
    DrawTextW(dc, slot.text.c_str(), static_cast<int>(slot.text.size()), &title,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

void TForm1::Paint(HDC dc) {
    RECT body{kFrameWidth, kTitleBarHeight, kDesignWidth - kFrameWidth,
              kDesignHeight - kFrameWidth};
    FillRect(dc, &body, brushes_.Get(ColourRef(kWindowBackground)));
    PaintTitleBar(dc);
    for (const Slot& slot : slots_) {
        const ControlKind kind = window::KindOf(slot.design.control);
        if (!slot.visible) continue;
        if (kind == ControlKind::Group || kind == ControlKind::Frame) PaintGroup(dc, slot);
        if (kind == ControlKind::Image && slot.picture && slot.picture->Bitmap() != nullptr) {
            Gdiplus::Graphics graphics(dc);
            const Place& p = slot.design.place;
            graphics.DrawImage(slot.picture->Bitmap(), p.x, p.y, p.width, p.height);
        }
    }
}

void TForm1::DrawLabel(const DRAWITEMSTRUCT& item) {
    Slot* slot = SlotOfWindow(item.hwndItem);
    if (slot == nullptr) return;
    HDC dc = item.hDC;
    RECT area = item.rcItem;
    FillRect(dc, &area, brushes_.Get(ColourRef(slot->design.background)));
    const std::wstring text = WindowText(item.hwndItem);
    if (text.empty()) return;
    HGDIOBJ old = SelectObject(dc, fonts_.Get(slot->font));
    SetBkMode(dc, TRANSPARENT);
    COLORREF colour = slot->colour ? ColourRef(*slot->colour) : RGB(0, 0, 0);
    if (!slot->enabled) colour = GetSysColor(COLOR_GRAYTEXT);
    SetTextColor(dc, colour);
    UINT format = DT_NOPREFIX;
    switch (slot->design.align) {
        case Align::Left:
            format |= DT_LEFT;
            break;
        case Align::Centre:
            format |= DT_CENTER;
            break;
        case Align::Right:
            format |= DT_RIGHT;
            break;
    }
    if (slot->wordWrap) {
        // Centred vertically as a block of lines.
        RECT measured = area;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
                  format | DT_WORDBREAK | DT_CALCRECT);
        const int height = measured.bottom - measured.top;
        RECT lines = area;
        lines.top += std::max(0L, ((area.bottom - area.top) - height) / 2);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &lines, format | DT_WORDBREAK);
    } else {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                  format | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    }
    SelectObject(dc, old);
}

HBRUSH TForm1::ControlColours(HDC dc, HWND child) {
    Rgb background = kWindowBackground;
    COLORREF text = RGB(0, 0, 0);
    if (const Slot* slot = SlotOfWindow(child)) {
        background = slot->design.background;
        // The product number while a ledger gives it: shown like the path, not typed.
        if (slot->readOnly && slot->design.control == Control::edt_FactoryNum) {
            background = kPathBackground;
        }
        if (slot->colour) text = ColourRef(*slot->colour);
    }
    SetTextColor(dc, text);
    SetBkColor(dc, ColourRef(background));
    return brushes_.Get(ColourRef(background));
}

}  // namespace bw::winapp
