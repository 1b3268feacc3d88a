#include "winapp/field_frames.h"

#include <commctrl.h>

#include "winapp/main_window_design.h"
#include "winapp/win_text.h"

namespace bw::winapp {

namespace {

// edt_BinFile is shown, never typed into or focused: clicks and its menu are dropped.
LRESULT CALLBACK ShowOnlyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
        case WM_CONTEXTMENU:
        case WM_MOUSEACTIVATE:
            return message == WM_MOUSEACTIVATE ? MA_NOACTIVATE : 0;
        default:
            return DefSubclassProc(window, message, wParam, lParam);
    }
}

int FontHeight(HWND window) {
    HDC dc = GetDC(window);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return metrics.tmHeight;
}

// The brush the window colours a control with (its WM_CTLCOLOR* answer), the text and
// background colours set on `dc` as for the control's own drawing.
HBRUSH ColourBrush(HWND control, HDC dc, bool editable) {
    return reinterpret_cast<HBRUSH>(
        SendMessageW(GetParent(control), editable ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                     reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control)));
}

// Draws `outer`'s frame: one pixel black, or two of the window's blue with the focus.
void DrawFrame(HDC dc, RECT outer, bool focused) {
    HBRUSH frame = CreateSolidBrush(focused ? ColourRef(kFrameColour) : RGB(0, 0, 0));
    FrameRect(dc, &outer, frame);
    if (focused) {
        InflateRect(&outer, -1, -1);
        FrameRect(dc, &outer, frame);
    }
    DeleteObject(frame);
}

// The edit fields as the Qt window draws them: a one-pixel black frame, two pixels of the
// window's blue while the field has the focus, and the text in the middle of the field's
// height (a single-line edit field draws it at the top: the space above and below it is
// made part of the frame and painted in the field's background). A list's own edit field
// (data 0) keeps the middle text and leaves the frame to the list.
LRESULT CALLBACK FramedFieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR /*id*/, DWORD_PTR framed) {
    switch (message) {
        case WM_NCCALCSIZE: {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            RECT* client = wParam != 0 ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                       : reinterpret_cast<RECT*>(lParam);
            if (framed != 0) InflateRect(client, -2, -1);
            const int room = (client->bottom - client->top) - FontHeight(window);
            if (room > 1) {
                client->top += room / 2;
                client->bottom -= room - room / 2;
            }
            return result;
        }
        case WM_NCPAINT: {
            RECT outer{};
            GetWindowRect(window, &outer);
            RECT inner{};
            GetClientRect(window, &inner);
            MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&inner), 2);
            OffsetRect(&inner, -outer.left, -outer.top);
            OffsetRect(&outer, -outer.left, -outer.top);
            HDC dc = GetWindowDC(window);
            const bool editable = IsWindowEnabled(window) &&
                                  (GetWindowLongPtrW(window, GWL_STYLE) & ES_READONLY) == 0;
            if (HBRUSH brush = ColourBrush(window, dc, editable)) {
                ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
                FillRect(dc, &outer, brush);
            }
            if (framed != 0) DrawFrame(dc, outer, GetFocus() == window);
            ReleaseDC(window, dc);
            return 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
            return result;
        }
        case WM_SETFONT: {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            SetWindowPos(
                window, nullptr, 0, 0, 0, 0,
                SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
            return result;
        }
        default:
            return DefSubclassProc(window, message, wParam, lParam);
    }
}

// The lists as the Qt window draws them, whatever the system's look for a combo box: the
// fields' frame around the whole list, its text in the middle of its height, and the open
// button a light grey strip behind a black line with a black arrow. The system's own frame
// and button (a grey frame and a white button) make an enabled list look disabled beside
// the fields.
LRESULT CALLBACK FramedListProcedure(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(list, &ps);
            PaintListFrame(list, dc);
            EndPaint(list, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            PaintListFrame(list, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_COMMAND:
            // The list's edit field taking or losing the focus changes the frame.
            if (HIWORD(wParam) == EN_SETFOCUS || HIWORD(wParam) == EN_KILLFOCUS) {
                InvalidateRect(list, nullptr, FALSE);
            }
            return DefSubclassProc(list, message, wParam, lParam);
        case WM_ENABLE:
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            const LRESULT result = DefSubclassProc(list, message, wParam, lParam);
            InvalidateRect(list, nullptr, FALSE);
            return result;
        }
        default:
            return DefSubclassProc(list, message, wParam, lParam);
    }
}

}  // namespace

void PaintListFrame(HWND list, HDC dc) {
    RECT outer{};
    GetClientRect(list, &outer);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    GetComboBoxInfo(list, &info);
    const bool enabled = IsWindowEnabled(list) != FALSE;
    // The edit field paints itself; everything around it is the list's.
    const int saved = SaveDC(dc);
    if (info.hwndItem != nullptr) {
        RECT item{};
        GetWindowRect(info.hwndItem, &item);
        MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&item), 2);
        ExcludeClipRect(dc, item.left, item.top, item.right, item.bottom);
    }
    HWND edit = info.hwndItem != nullptr ? info.hwndItem : list;
    if (HBRUSH brush = ColourBrush(edit, dc, enabled)) FillRect(dc, &outer, brush);

    RECT button{outer.right - kListButtonWidth - 1, outer.top + 1, outer.right - 1,
                outer.bottom - 1};
    HBRUSH grey = CreateSolidBrush(RGB(231, 231, 231));
    FillRect(dc, &button, grey);
    DeleteObject(grey);
    RECT line{button.left, button.top, button.left + 1, button.bottom};
    FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    // The arrow: nine pixels wide at the top, one at the tip, five rows.
    const int cx = (button.left + 1 + button.right) / 2;
    const int top = (button.top + button.bottom) / 2 - 2;
    for (int row = 0; row < 5; ++row) {
        RECT stroke{cx - 4 + row, top + row, cx + 5 - row, top + row + 1};
        FillRect(dc, &stroke, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    const HWND focus = GetFocus();
    DrawFrame(dc, outer, focus != nullptr && (focus == list || focus == info.hwndItem));
    RestoreDC(dc, saved);
}

void FrameField(HWND edit) {
    SetWindowSubclass(edit, &FramedFieldProcedure, 2, 1);
}

void FrameList(HWND list) {
    SetWindowSubclass(list, &FramedListProcedure, 3, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(list, &info) && info.hwndItem != nullptr) {
        SetWindowSubclass(info.hwndItem, &FramedFieldProcedure, 2, 0);
        SetWindowPos(info.hwndItem, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

void ShowOnly(HWND edit) {
    SetWindowSubclass(edit, &ShowOnlyProcedure, 1, 0);
}

}  // namespace bw::winapp
