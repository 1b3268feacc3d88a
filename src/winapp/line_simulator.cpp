#include "winapp/line_simulator.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <exception>
#include <string>

#include "image/ic_types.h"
#include "winapp/owned_window.h"
#include "winapp/win_text.h"
#include "window/window_placement.h"

namespace bw::winapp {

namespace {

using window::SimControl;
using window::SimEvent;

constexpr wchar_t kClassName[] = L"BinwrightLineSimulator";
constexpr UINT_PTR kTickTimer = 1;
constexpr int kFirstId = 2000;
constexpr int kClientWidth = 470;
constexpr int kMargin = 10;
constexpr int kRow = 28;
constexpr int kBodyPixels = 12;

const window::SimSpinRange* RangeOf(SimControl control) {
    for (const window::SimSpinRange& range : window::kSimSpinRanges) {
        if (range.control == control) return &range;
    }
    return nullptr;
}

// Details is a push-like toggle: a switch as far as the window is concerned.
bool IsSwitch(SimControl c) {
    return c == SimControl::NackOn || c == SimControl::LosePieceOn ||
           c == SimControl::FailAfterOn || c == SimControl::Details;
}

bool IsButton(SimControl c) {
    return c <= SimControl::PullOther;
}

// The spin field's text: hexadecimal with its prefix, or decimal with the unit.
std::wstring SpinText(SimControl control, int value) {
    wchar_t text[32];
    const window::SimSpinRange* range = RangeOf(control);
    if (range != nullptr && range->base == 16) {
        std::swprintf(text, 32, L"0x%x", static_cast<unsigned>(value));
    } else if (control == SimControl::LatencyUs) {
        std::swprintf(text, 32, L"%d us", value);
    } else {
        std::swprintf(text, 32, L"%d", value);
    }
    return text;
}

// The value typed, or -1 when the text is no number of the field.
long long ParseSpin(SimControl control, std::wstring text) {
    const window::SimSpinRange* range = RangeOf(control);
    const bool hex = range != nullptr && range->base == 16;
    if (hex && text.rfind(L"0x", 0) == 0) text.erase(0, 2);
    if (control == SimControl::LatencyUs && text.size() > 3 && text.ends_with(L" us")) {
        text.resize(text.size() - 3);
    }
    if (text.empty() || text.size() > 9) return -1;
    long long value = 0;
    for (const wchar_t c : text) {
        int digit = -1;
        if (c >= L'0' && c <= L'9') digit = c - L'0';
        if (hex && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
        if (hex && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
        if (digit < 0) return -1;
        value = value * (hex ? 16 : 10) + digit;
    }
    return value;
}

}  // namespace

LineSimulatorWindow::LineSimulatorWindow(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(instance, kClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &OwnedWindowProcedure<LineSimulatorWindow>;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = kClassName;
        RegisterClassExW(&wc);
    }
    window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, kLineSimulatorTitle,
                              WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                              kClientWidth, 400, nullptr, nullptr, instance, this);
    for (const window::SimSpinRange& range : window::kSimSpinRanges) {
        values_[static_cast<std::size_t>(range.control)] = range.low;
    }
    CreateControls(instance);
}

LineSimulatorWindow::~LineSimulatorWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
}

HWND LineSimulatorWindow::ControlWindow(SimControl control) const {
    return controls_[static_cast<std::size_t>(control)];
}

void LineSimulatorWindow::CreateControls(HINSTANCE instance) {
    HFONT font = fonts_.Get({L"Tahoma", kBodyPixels, false});
    bool inDetails = false;  // the faults and the next mouse's status fold away together
    const auto make = [&](const wchar_t* windowClass, const std::wstring& text, DWORD style, int x,
                          int y, int width, int height, int id, DWORD exStyle = 0) {
        HWND child = CreateWindowExW(
            exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height,
            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (inDetails) details_.push_back(child);
        return child;
    };
    const auto id = [](SimControl c) { return kFirstId + static_cast<int>(c); };
    const auto set = [&](SimControl c, HWND child) {
        controls_[static_cast<std::size_t>(c)] = child;
    };
    const int inner = kClientWidth - 2 * kMargin;
    int y = kMargin;

    // Devices: a plug button per IC type, the pulls, the presence line.
    const int devicesTop = y;
    make(L"BUTTON", L"Devices", BS_GROUPBOX, kMargin, y, inner, 3 * kRow + 28, -1);
    y += 20;
    const int buttonWidth = (inner - 2 * 8 - 2 * 6) / 3;
    for (std::size_t ic = 0; ic < kIcTypes.size() && ic < 3; ++ic) {
        const std::string_view row = kIcTypes[ic].rowText;
        const auto control = static_cast<SimControl>(static_cast<int>(SimControl::PlugMouse0) +
                                                     static_cast<int>(ic));
        set(control, make(L"BUTTON", L"Plug " + Wide(row) + L" mouse", BS_PUSHBUTTON | WS_TABSTOP,
                          kMargin + 8 + static_cast<int>(ic) * (buttonWidth + 6), y, buttonWidth,
                          24, id(control)));
    }
    y += kRow;
    const SimControl pulls[] = {SimControl::PullMouse, SimControl::PlugOther,
                                SimControl::PullOther};
    const wchar_t* pullTexts[] = {L"Pull mouse", L"Plug other HID device",
                                  L"Pull other HID device"};
    for (int i = 0; i < 3; ++i) {
        set(pulls[i], make(L"BUTTON", pullTexts[i], BS_PUSHBUTTON | WS_TABSTOP,
                           kMargin + 8 + i * (buttonWidth + 6), y, buttonWidth, 24, id(pulls[i])));
    }
    y += kRow;
    set(SimControl::Presence,
        make(L"STATIC", L"", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, kMargin + 8, y,
             2 * buttonWidth + 6, 24, id(SimControl::Presence)));
    set(SimControl::Details,
        make(L"BUTTON", L"", BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP,
             kMargin + 8 + 2 * (buttonWidth + 6), y, buttonWidth, 24, id(SimControl::Details)));
    y = devicesTop + 3 * kRow + 28 + 8;
    foldedHeight_ = y - 8 + kMargin;
    inDetails = true;

    // A caption on the left, the switch and the value on the right.
    const int labelWidth = 200;
    const int valueLeft = kMargin + 8 + labelWidth;
    const int valueWidth = inner - 16 - labelWidth;
    const auto spin = [&](SimControl control, int left, int width, int top) {
        HWND edit = make(L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, left, top, width,
                         22, id(control));
        HWND arrows = CreateWindowExW(
            0, UPDOWN_CLASSW, nullptr,
            WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0,
            window_, nullptr, instance, nullptr);
        details_.push_back(arrows);
        SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
        const window::SimSpinRange* range = RangeOf(control);
        SendMessageW(arrows, UDM_SETRANGE32, range->low, range->high);
        SetWindowLongPtrW(arrows, GWLP_ID, id(control) + 100);
        set(control, edit);
        ShowValue(control);
    };
    const auto row = [&](const wchar_t* caption, SimControl onSwitch, SimControl value, int top) {
        make(L"STATIC", caption, SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, kMargin + 8, top,
             labelWidth - 4, 22, -1);
        if (onSwitch != value) {
            set(onSwitch, make(L"BUTTON", L"on", BS_AUTOCHECKBOX | WS_TABSTOP, valueLeft, top, 48,
                               22, id(onSwitch)));
            spin(value, valueLeft + 52, valueWidth - 52, top);
        } else {
            spin(value, valueLeft, valueWidth, top);
        }
    };
    const int faultsTop = y;
    make(L"BUTTON", L"Faults", BS_GROUPBOX, kMargin, y, inner, 5 * kRow + 28, -1);
    y += 22;
    row(L"Never acknowledge command", SimControl::NackOn, SimControl::NackCommand, y);
    row(L"Acknowledge on poll", SimControl::AckAfter, SimControl::AckAfter, y += kRow);
    row(L"Lose read piece", SimControl::LosePieceOn, SimControl::LosePiece, y += kRow);
    row(L"Fail transfers after (from now)", SimControl::FailAfterOn, SimControl::FailAfter,
        y += kRow);
    row(L"Latency per transfer", SimControl::LatencyUs, SimControl::LatencyUs, y += kRow);
    y = faultsTop + 5 * kRow + 28 + 8;

    const int statusTop = y;
    make(L"BUTTON", L"Status reply of the next mouse", BS_GROUPBOX, kMargin, y, inner,
         3 * kRow + 28, -1);
    y += 22;
    row(L"Status byte 1", SimControl::Status1, SimControl::Status1, y);
    row(L"Status byte 2", SimControl::Status2, SimControl::Status2, y += kRow);
    row(L"Chip code", SimControl::Chip, SimControl::Chip, y += kRow);
    wholeHeight_ = statusTop + 3 * kRow + 28 + kMargin;
    values_[static_cast<std::size_t>(SimControl::Details)] = 1;
    SendMessageW(ControlWindow(SimControl::Details), BM_SETCHECK, BST_CHECKED, 0);
    Fit();
}

SIZE LineSimulatorWindow::OuterSize(bool whole) const {
    // The client area as high as the groups shown need.
    RECT outer{0, 0, kClientWidth, whole ? wholeHeight_ : foldedHeight_};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
    return {outer.right - outer.left, outer.bottom - outer.top};
}

void LineSimulatorWindow::Fit() {
    const bool whole = values_[static_cast<std::size_t>(SimControl::Details)] != 0;
    for (HWND child : details_) ShowWindow(child, whole ? SW_SHOWNA : SW_HIDE);
    const SIZE size = OuterSize(whole);
    SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void LineSimulatorWindow::ShowBeside(HWND mainWindow, int keep) {
    RECT outer{};
    GetWindowRect(mainWindow, &outer);
    const window::Rect main{outer.left, outer.top, outer.right - outer.left,
                            outer.bottom - outer.top};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(mainWindow, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const window::Rect available{work.left, work.top, work.right - work.left,
                                 work.bottom - work.top};
    // The behaviour folds the details away where the whole window finds no place.
    const SIZE whole = OuterSize(true);
    if (events_ != nullptr)
        events_->OnPlaced(window::SimulatorFits(main, whole.cx, whole.cy, available, keep));
    RECT own{};
    GetWindowRect(window_, &own);
    const window::Point at =
        window::SimulatorOrigin(main, own.right - own.left, own.bottom - own.top, available, keep);
    SetWindowPos(window_, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
}

void LineSimulatorWindow::ShowValue(SimControl control) {
    settingText_ = true;
    SetWindowTextW(ControlWindow(control),
                   SpinText(control, values_[static_cast<std::size_t>(control)]).c_str());
    settingText_ = false;
}

void LineSimulatorWindow::SetValue(SimControl control, int value) {
    if (IsSwitch(control)) {
        values_[static_cast<std::size_t>(control)] = value != 0 ? 1 : 0;
        SendMessageW(ControlWindow(control), BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED,
                     0);
        if (control == SimControl::Details) Fit();
        return;
    }
    const window::SimSpinRange* range = RangeOf(control);
    if (range == nullptr) return;
    values_[static_cast<std::size_t>(control)] = std::clamp(value, range->low, range->high);
    ShowValue(control);
}

int LineSimulatorWindow::Value(SimControl control) const {
    if (IsSwitch(control)) {
        return SendMessageW(ControlWindow(control), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    }
    return values_[static_cast<std::size_t>(control)];
}

void LineSimulatorWindow::SetText(SimControl control, std::string_view text) {
    SetWindowTextW(ControlWindow(control), Wide(text).c_str());
}

void LineSimulatorWindow::StartTicks(int periodMs) {
    SetTimer(window_, kTickTimer, static_cast<UINT>(periodMs), nullptr);
}

void LineSimulatorWindow::StopTicks() {
    KillTimer(window_, kTickTimer);
}

void LineSimulatorWindow::Report(SimControl control, SimEvent event) {
    if (events_ == nullptr) return;
    events_->OnSimEvent(control, event);
}

LRESULT LineSimulatorWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND: {
            const int index = LOWORD(wParam) - kFirstId;
            if (index < 0 || index >= window::kSimControlCount || lParam == 0) break;
            const auto control = static_cast<SimControl>(index);
            const int code = HIWORD(wParam);
            if (IsButton(control) && code == BN_CLICKED) {
                Report(control, SimEvent::Click);
            } else if (IsSwitch(control) && code == BN_CLICKED) {
                Report(control, SimEvent::Change);
            } else if (RangeOf(control) != nullptr && code == EN_CHANGE && !settingText_) {
                // A number typed in range takes effect at once; anything else waits.
                const long long typed = ParseSpin(control, WindowText(ControlWindow(control)));
                const window::SimSpinRange* range = RangeOf(control);
                if (typed >= range->low && typed <= range->high) {
                    values_[static_cast<std::size_t>(control)] = static_cast<int>(typed);
                    Report(control, SimEvent::Change);
                }
            } else if (RangeOf(control) != nullptr && code == EN_KILLFOCUS) {
                ShowValue(control);
            }
            return 0;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code != UDN_DELTAPOS) break;
            const int index = static_cast<int>(header->idFrom) - kFirstId - 100;
            if (index < 0 || index >= window::kSimControlCount) break;
            const auto control = static_cast<SimControl>(index);
            const window::SimSpinRange* range = RangeOf(control);
            if (range == nullptr) break;
            const auto* delta = reinterpret_cast<NMUPDOWN*>(lParam);
            int& value = values_[static_cast<std::size_t>(control)];
            const int next = std::clamp(value + delta->iDelta, range->low, range->high);
            if (next != value) {
                value = next;
                ShowValue(control);
                Report(control, SimEvent::Change);
            }
            return TRUE;  // the arrows keep no position of their own
        }
        case WM_CTLCOLORSTATIC: {
            // Labels and switches on the window's own face.
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_TIMER:
            if (wParam == kTickTimer) Report(SimControl::Presence, SimEvent::Tick);
            return 0;
        case WM_CLOSE:
            // Hidden; it goes with the main window.
            ShowWindow(window_, SW_HIDE);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            window_ = nullptr;
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace bw::winapp
