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

// The edit fields as the Qt window draws them: a one-pixel black frame, two pixels of the
// window's blue while the field has the focus, and the text in the middle of the field's
// height (a single-line edit field draws it at the top: the space above and below it is
// made part of the frame and painted in the field's background).
LRESULT CALLBACK FramedFieldProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR /*id*/, DWORD_PTR /*data*/) {
    switch (message) {
        case WM_NCCALCSIZE: {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            RECT* client = wParam != 0 ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                                       : reinterpret_cast<RECT*>(lParam);
            InflateRect(client, -2, -1);
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
            auto* brush = reinterpret_cast<HBRUSH>(
                SendMessageW(GetParent(window), editable ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC,
                             reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
            if (brush != nullptr) {
                ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
                FillRect(dc, &outer, brush);
            }
            const bool focused = GetFocus() == window;
            HBRUSH frame = CreateSolidBrush(focused ? ColourRef(kFrameColour) : RGB(0, 0, 0));
            FrameRect(dc, &outer, frame);
            if (focused) {
                InflateRect(&outer, -1, -1);
                FrameRect(dc, &outer, frame);
            }
            DeleteObject(frame);
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

}  // namespace

void FrameField(HWND edit) {
    SetWindowSubclass(edit, &FramedFieldProcedure, 2, 0);
}

void ShowOnly(HWND edit) {
    SetWindowSubclass(edit, &ShowOnlyProcedure, 1, 0);
}

}  // namespace bw::winapp
