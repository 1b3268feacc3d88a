#include "winapp/main_window.h"

#include <commctrl.h>

#include <exception>
#include <utility>

#include "production/error_box_message.h"
#include "winapp/field_frames.h"
#include "winapp/file_dialogs.h"
#include "winapp/loading_window.h"
#include "winapp/owned_window.h"
#include "winapp/pass_dialog.h"
#include "winapp/resource_ids.h"
#include "winapp/win_text.h"
#include "window/running_copy.h"

namespace bw::winapp {

namespace {

using window::Control;
using window::ControlKind;
using window::Event;

constexpr wchar_t kClassName[] = L"BinwrightMainWindow";
constexpr UINT_PTR kDevTimerId = 1;
constexpr int kFirstControlId = 1000;
constexpr int kCornerRadius = 13;

int IdOf(Control control) {
    return kFirstControlId + static_cast<int>(control);
}

bool IsField(ControlKind kind) {
    return kind == ControlKind::HexField || kind == ControlKind::IntField ||
           kind == ControlKind::TextField;
}

void RegisterClassOnce(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (GetClassInfoExW(instance, kClassName, &wc)) return;
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcW;  // replaced on creation
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
}

}  // namespace

TForm1::TForm1(HINSTANCE instance) {
    RegisterClassOnce(instance);
    // Centred by its outer size, which is the design size: the title bar and frame are
    // the window's own. Division truncates toward zero, so a screen one pixel too small
    // gives 0.
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kDesignWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kDesignHeight) / 2;
    window_ = CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, kClassName,
                              Wide(window::kMainWindowTitle).c_str(),
                              WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left, top,
                              kDesignWidth, kDesignHeight, nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TForm1::Procedure));
    // Rounded top corners, square bottom ones.
    HRGN shape = CreateRoundRectRgn(0, 0, kDesignWidth + 1, kDesignHeight + 1, 2 * kCornerRadius,
                                    2 * kCornerRadius);
    HRGN bottom = CreateRectRgn(0, kCornerRadius, kDesignWidth, kDesignHeight);
    CombineRgn(shape, shape, bottom, RGN_OR);
    DeleteObject(bottom);
    SetWindowRgn(window_, shape, FALSE);  // the window owns the region now

    CreateControls(instance);
    SetKeyboardOrder();
    CreateToolTips();
}

TForm1::~TForm1() {
    if (window_ != nullptr) {
        closing_ = true;
        DestroyWindow(window_);
    }
}

void TForm1::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

HWND TForm1::ControlWindow(Control control) const {
    return SlotOf(control).window;
}

void TForm1::CreateControls(HINSTANCE instance) {
    for (ControlDesign& design : MainWindowDesign()) {
        Slot& slot = SlotOf(design.control);
        slot.design = std::move(design);
        CreateControl(instance, slot);
    }
    SlotOf(Control::DevTimer).visible = false;
}

void TForm1::CreateControl(HINSTANCE instance, Slot& slot) {
    const ControlDesign& d = slot.design;
    const ControlKind kind = window::KindOf(d.control);
    slot.visible = d.visible;
    slot.enabled = d.enabled;
    slot.colour = d.colour;
    slot.wordWrap = d.wordWrap;
    slot.font = {Wide(d.font.face), d.font.pixels, d.font.bold};
    slot.text = Wide(d.text);

    const wchar_t* windowClass = nullptr;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    int height = d.place.height;
    switch (kind) {
        case ControlKind::Image: {
            int resource = BW_RES_LOGO;
            if (d.control == Control::Img_Find) resource = BW_RES_FIND;
            if (d.control == Control::Img_NoFind) resource = BW_RES_NOFIND;
            slot.picture = std::make_unique<Picture>(resource);
            return;
        }
        case ControlKind::Group:
        case ControlKind::Frame:
        case ControlKind::Timer:
            return;
        case ControlKind::Label:
            windowClass = L"STATIC";
            style |= SS_OWNERDRAW | SS_NOTIFY;
            break;
        case ControlKind::Button:
            windowClass = L"BUTTON";
            style |= BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP;
            break;
        case ControlKind::CheckBox:
            windowClass = L"BUTTON";
            style |= BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP;
            break;
        case ControlKind::RadioButton:
            windowClass = L"BUTTON";
            style |= BS_AUTORADIOBUTTON;
            if (d.control == Control::rb_CmdByte2K) style |= WS_GROUP | WS_TABSTOP;
            break;
        case ControlKind::HexField:
        case ControlKind::IntField:
            windowClass = L"EDIT";
            style |= ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP | WS_GROUP;
            break;
        case ControlKind::TextField:
            windowClass = L"EDIT";
            style |= ES_AUTOHSCROLL | ES_LEFT | ES_READONLY;
            break;
        case ControlKind::List:
            windowClass = L"COMBOBOX";
            style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_TABSTOP | WS_GROUP;
            // A scroll bar only where the open list cannot show every row.
            if (static_cast<int>(d.rows.size()) > d.visibleRows) style |= WS_VSCROLL;
            // The height given is the open list's; the closed box is set below.
            height = d.place.height + d.visibleRows * (d.font.pixels + 4) + 4;
            break;
    }
    if (d.visible) style |= WS_VISIBLE;
    if (!d.enabled && d.control != Control::edt_BinFile) style |= WS_DISABLED;

    HWND child = CreateWindowExW(
        0, windowClass, slot.text.c_str(), style, d.place.x, d.place.y, d.place.width, height,
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdOf(d.control))), instance, nullptr);
    slot.window = child;
    if (IsField(kind)) FrameField(child);
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(slot.font)), FALSE);

    switch (kind) {
        case ControlKind::HexField:
            slot.field = std::make_unique<THexEdit>(child);
            break;
        case ControlKind::IntField:
            slot.field = std::make_unique<TIntEdit>(child);
            break;
        case ControlKind::TextField:
            ShowOnly(child);
            break;
        case ControlKind::List:
            for (const std::string& row : d.rows) {
                SendMessageW(child, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(row).c_str()));
            }
            SendMessageW(child, CB_SETCURSEL, 0, 0);
            SendMessageW(child, CB_SETMINVISIBLE, static_cast<WPARAM>(d.visibleRows), 0);
            // The closed box as high as its place (the frame takes 6 pixels).
            SendMessageW(child, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), d.place.height - 6);
            FrameList(child);
            break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            SendMessageW(child, BM_SETCHECK, d.checked ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        default:
            break;
    }
    if (IsField(kind)) {
        if (d.maxLength > 0) SendMessageW(child, EM_SETLIMITTEXT, d.maxLength, 0);
        SendMessageW(child, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
    }
}

void TForm1::SetKeyboardOrder() {
    // The keyboard goes from child to child in their stacking order.
    HWND after = HWND_TOP;
    for (Control control : KeyboardOrder()) {
        HWND child = SlotOf(control).window;
        SetWindowPos(child, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = child;
    }
    // The identity lies over the path field.
    SetWindowPos(SlotOf(Control::lbl_BinIdentity).window, HWND_TOP, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TForm1::CreateToolTips() {
    toolTips_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, nullptr, nullptr);
    SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, 600);
    for (int i = 0; i < window::kControlCount; ++i) {
        const Slot& slot = slots_[static_cast<std::size_t>(i)];
        if (slot.design.place.width == 0) continue;
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = window_;
        tool.uFlags = TTF_SUBCLASS;
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        if (slot.window != nullptr) {
            tool.uFlags |= TTF_IDISHWND;
            tool.uId = reinterpret_cast<UINT_PTR>(slot.window);
        } else {
            tool.uId = static_cast<UINT_PTR>(i);
            const Place& p = slot.design.place;
            tool.rect = {p.x, p.y, p.x + p.width, p.y + p.height};
        }
        SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

TForm1::Slot* TForm1::SlotOfWindow(HWND child) {
    // A list's own edit field and open list belong to the list.
    for (HWND w = child; w != nullptr && w != window_; w = GetParent(w)) {
        for (Slot& slot : slots_) {
            if (slot.window == w) return &slot;
        }
    }
    return nullptr;
}

void TForm1::Redraw(const Slot& slot) {
    if (slot.window != nullptr) {
        InvalidateRect(slot.window, nullptr, TRUE);
        return;
    }
    const Place& p = slot.design.place;
    RECT area{p.x, p.y, p.x + p.width, p.y + p.height};
    InvalidateRect(window_, &area, FALSE);
}

void TForm1::Report(Control control, Event event) {
    if (events_ == nullptr) return;
    // Nothing may unwind through the system's frames: what a handler lets escape is shown
    // as any failure is.
    try {
        events_->OnEvent(control, event);
    } catch (const std::exception& error) {
        ShowError(error.what());
    }
}

void TForm1::Apply(Control control, const window::ControlChange& change) {
    Slot& slot = SlotOf(control);
    const ControlKind kind = window::KindOf(control);
    if (kind == ControlKind::Timer) return;
    HWND child = slot.window;
    bool redraw = false;

    if (change.text) {
        const std::wstring text = Wide(*change.text);
        if (child == nullptr) {
            slot.text = text;
            redraw = true;
        } else if (kind == ControlKind::List) {
            // The row of that text chosen, or none when it is no row; then the text.
            int row = -1;
            const int count = static_cast<int>(SendMessageW(child, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count && row < 0; ++i) {
                std::wstring item(
                    static_cast<std::size_t>(SendMessageW(child, CB_GETLBTEXTLEN, i, 0)), L'\0');
                SendMessageW(child, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
                if (item == text) row = i;
            }
            SendMessageW(child, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
            SetWindowTextW(child, text.c_str());
        } else {
            SetWindowTextW(child, text.c_str());
            redraw = kind == ControlKind::Label;
        }
    }
    if (change.selectedRow && kind == ControlKind::List) {
        SendMessageW(child, CB_SETCURSEL, static_cast<WPARAM>(*change.selectedRow), 0);
    }
    if (change.enabled) {
        slot.enabled = *change.enabled;
        // The path stays legible: it is never typed into either way.
        if (child != nullptr && control != Control::edt_BinFile) {
            EnableWindow(child, slot.enabled ? TRUE : FALSE);
        }
        redraw = true;
    }
    if (change.visible) {
        slot.visible = *change.visible;
        if (child != nullptr) {
            ShowWindow(child, slot.visible ? SW_SHOWNA : SW_HIDE);
        } else {
            redraw = true;
        }
        if (control == Control::lbl_BinIdentity) {
            // The path's text stops short of the identity while it shows.
            const int right = slot.visible ? slot.design.place.width + 4 : 1;
            SendMessageW(SlotOf(Control::edt_BinFile).window, EM_SETMARGINS, EC_RIGHTMARGIN,
                         MAKELPARAM(0, right));
        }
    }
    if (change.checked && (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton)) {
        SendMessageW(child, BM_SETCHECK, *change.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        // The radio pair is exclusive.
        if (kind == ControlKind::RadioButton && *change.checked) {
            const Control other =
                control == Control::rb_CmdByte2K ? Control::rb_CmdByte256 : Control::rb_CmdByte2K;
            SendMessageW(SlotOf(other).window, BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }
    if (change.readOnly && IsField(kind)) {
        slot.readOnly = *change.readOnly;
        SendMessageW(child, EM_SETREADONLY, slot.readOnly ? TRUE : FALSE, 0);
        redraw = true;
    }
    if (change.textColour) {
        slot.colour = *change.textColour;
        redraw = true;
    }
    if (change.fontFace || change.fontPixels || change.fontPoints || change.bold) {
        if (change.fontFace) slot.font.face = Wide(*change.fontFace);
        if (change.fontPixels) slot.font.pixels = *change.fontPixels;
        if (change.fontPoints) slot.font.pixels = PointsToPixels(*change.fontPoints);
        if (change.bold) slot.font.bold = *change.bold;
        if (child != nullptr) {
            SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.Get(slot.font)), TRUE);
        }
        redraw = true;
    }
    if (change.wordWrap) {
        slot.wordWrap = *change.wordWrap;
        redraw = true;
    }
    if (change.toolTip) slot.toolTip = Wide(*change.toolTip);
    if (change.maxLength && child != nullptr && IsField(kind)) {
        SendMessageW(child, EM_SETLIMITTEXT, static_cast<WPARAM>(*change.maxLength), 0);
    }
    if (redraw) Redraw(slot);
}

std::string TForm1::Text(Control control) const {
    const Slot& slot = SlotOf(control);
    return Utf8(slot.window != nullptr ? WindowText(slot.window) : slot.text);
}

int TForm1::SelectedRow(Control control) const {
    const Slot& slot = SlotOf(control);
    if (window::KindOf(control) != ControlKind::List) return -1;
    const std::wstring text = WindowText(slot.window);
    const int count = static_cast<int>(SendMessageW(slot.window, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring item(
            static_cast<std::size_t>(SendMessageW(slot.window, CB_GETLBTEXTLEN, i, 0)), L'\0');
        SendMessageW(slot.window, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        if (item == text) return i;
    }
    return -1;
}

bool TForm1::Checked(Control control) const {
    const Slot& slot = SlotOf(control);
    if (slot.window == nullptr) return false;
    return SendMessageW(slot.window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::int32_t TForm1::GetValue(Control field) const {
    const Slot& slot = SlotOf(field);
    if (!slot.field) return 0;
    return slot.field->GetValue();
}

void TForm1::SetValue(Control field, std::int32_t value) {
    Slot& slot = SlotOf(field);
    if (slot.field) slot.field->SetValue(value);
}

void TForm1::StartTimer() {
    SetTimer(window_, kDevTimerId, 1000, nullptr);
    timerRunning_ = true;
}

void TForm1::StopTimer() {
    KillTimer(window_, kDevTimerId);
    timerRunning_ = false;
}

std::optional<std::string> TForm1::ChooseOpenFile() {
    const std::optional<std::wstring> chosen = RunFileDialog(window_, FileDialogKind::Open);
    if (!chosen) return std::nullopt;
    return Utf8(*chosen);
}

std::optional<std::string> TForm1::ChooseSaveFile() {
    const std::optional<std::wstring> chosen = RunFileDialog(window_, FileDialogKind::Save);
    if (!chosen) return std::nullopt;
    return Utf8(*chosen);
}

void TForm1::ShowMessage(std::string_view text) {
    MessageBoxW(window_, Wide(text).c_str(), kApplicationTitle, MB_OK);
}

void TForm1::ShowError(std::string_view message) {
    MessageBoxW(window_, Wide(ErrorBoxMessage(message)).c_str(), kApplicationTitle,
                MB_OK | MB_ICONERROR);
}

std::optional<std::string> TForm1::AskPassword(std::string_view lastEntry) {
    TPassDialog dialog;
    dialog.ValueText = Wide(lastEntry);
    if (dialog.Execute(window_) != IDOK) return std::nullopt;
    return Utf8(dialog.ValueText);
}

void TForm1::ShowLoading() {
    if (loading_ == nullptr) return;
    loading_->ShowOver(window_);
    // Pending messages run once, so that both windows paint before the device work.
    ProcessEvents();
}

void TForm1::HideLoading() {
    if (loading_ != nullptr) loading_->Hide();
}

void TForm1::ProcessEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the message loop, which ends on it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void TForm1::Post(std::function<void()> work) {
    PostWork(window_, std::move(work));
}

void TForm1::Close() {
    if (window_ == nullptr) return;
    closing_ = true;
    DestroyWindow(window_);
}

bool TForm1::PreTranslate(MSG& message) {
    if (window_ == nullptr) return false;
    // Tab and the arrows between the controls; Enter and Escape have no default here.
    if (message.message == WM_KEYDOWN &&
        (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        return false;
    }
    return IsDialogMessageW(window_, &message) != FALSE;
}

LRESULT CALLBACK TForm1::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    try {
        return self->Handle(message, wParam, lParam);
    } catch (const std::exception& error) {
        self->ShowError(error.what());
        return 0;
    }
}

LRESULT TForm1::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCHITTEST:
            return HitTest(lParam);
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window_, &ps);
            Paint(dc);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_DRAWITEM:
            DrawLabel(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(
                ControlColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == TTN_GETDISPINFOW) {
                auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
                const Slot* slot = (info->uFlags & TTF_IDISHWND) != 0
                                       ? SlotOfWindow(reinterpret_cast<HWND>(header->idFrom))
                                       : &slots_[header->idFrom % slots_.size()];
                info->lpszText = slot != nullptr && slot->visible
                                     ? const_cast<wchar_t*>(slot->toolTip.c_str())
                                     : const_cast<wchar_t*>(L"");
                return 0;
            }
            break;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam) - kFirstControlId;
            if (id < 0 || id >= window::kControlCount || lParam == 0) break;
            const auto control = static_cast<Control>(id);
            const int code = HIWORD(wParam);
            switch (window::KindOf(control)) {
                case ControlKind::Button:
                case ControlKind::CheckBox:
                case ControlKind::RadioButton:
                    if (code == BN_CLICKED) Report(control, Event::Click);
                    break;
                case ControlKind::HexField:
                case ControlKind::IntField:
                case ControlKind::TextField:
                    if (code == EN_CHANGE) Report(control, Event::Change);
                    break;
                case ControlKind::List:
                    if (code == CBN_SELCHANGE) {
                        // The box's text follows the row only after this notice: set it
                        // first, so that the handler reads the row chosen.
                        HWND list = SlotOf(control).window;
                        const LRESULT row = SendMessageW(list, CB_GETCURSEL, 0, 0);
                        if (row >= 0) {
                            std::wstring item(static_cast<std::size_t>(
                                                  SendMessageW(list, CB_GETLBTEXTLEN, row, 0)),
                                              L'\0');
                            SendMessageW(list, CB_GETLBTEXT, row,
                                         reinterpret_cast<LPARAM>(item.data()));
                            SetWindowTextW(list, item.c_str());
                        }
                        Report(control, Event::Change);
                    } else if (code == CBN_EDITCHANGE) {
                        Report(control, Event::Change);
                    }
                    break;
                default:
                    break;
            }
            return 0;
        }
        case WM_TIMER:
            if (wParam == kDevTimerId) Report(Control::DevTimer, Event::Tick);
            return 0;
        case WM_LBUTTONDBLCLK: {
            const Slot& logo = SlotOf(Control::Img_MIRQLog);
            if (logo.visible && logo.design.place.Contains(static_cast<short>(LOWORD(lParam)),
                                                           static_cast<short>(HIWORD(lParam)))) {
                Report(Control::Img_MIRQLog, Event::DoubleClick);
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
            OnMouseDown(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_LBUTTONUP:
            OnMouseUp(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case kPostedWork:
            RunPostedWork(lParam);
            return 0;
        case WM_CLOSE:
            if (!closing_ && events_ != nullptr && !events_->OnCloseQuery()) return 0;
            closing_ = true;
            DestroyWindow(window_);
            return 0;
        case WM_DESTROY:
            KillTimer(window_, kDevTimerId);
            timerRunning_ = false;
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
            // Work still posted is dropped with the window.
            DropPostedWork(window_);
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            window_ = nullptr;
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace bw::winapp
