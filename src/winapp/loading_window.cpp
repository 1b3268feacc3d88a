#include "winapp/loading_window.h"

#include "winapp/resource_ids.h"
#include "window/window_placement.h"

namespace bw::winapp {

namespace {

constexpr wchar_t kClassName[] = L"BinwrightLoading";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kDefaultDelayMs = 50;
constexpr PROPID kFrameDelayTag = 0x5100;  // PropertyTagFrameDelay: hundredths per frame

window::Point CentredOver(HWND main, SIZE own) {
    RECT frame{};
    GetWindowRect(main, &frame);
    return window::CentredOver(
        {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top}, own.cx,
        own.cy);
}

}  // namespace

TFormLoadingUI::TFormLoadingUI(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(instance, kClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &TFormLoadingUI::Procedure;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32514));  // IDC_WAIT
        wc.lpszClassName = kClassName;
        RegisterClassExW(&wc);
    }
    window_ = CreateWindowExW(
        WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT,
        kClassName, L"FormLoadingUI", WS_POPUP, 0, 0, kClientSize.cx, kClientSize.cy, nullptr,
        nullptr, instance, this);
    // Black is see-through; everything else fully opaque.
    SetLayeredWindowAttributes(window_, RGB(0, 0, 0), 255, LWA_COLORKEY | LWA_ALPHA);

    animation_ = std::make_unique<Picture>(BW_RES_WAIT_GIF);
    Gdiplus::Bitmap* gif = animation_->Bitmap();
    UINT count = 1;
    if (gif != nullptr && gif->GetFrameDimensionsCount() > 0) {
        gif->GetFrameDimensionsList(&dimension_, 1);
        count = gif->GetFrameCount(&dimension_);
    }
    delays_.assign(count == 0 ? 1 : count, kDefaultDelayMs);
    if (gif != nullptr) {
        const UINT size = gif->GetPropertyItemSize(kFrameDelayTag);
        if (size >= sizeof(Gdiplus::PropertyItem)) {
            std::vector<BYTE> buffer(size);
            auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buffer.data());
            if (gif->GetPropertyItem(kFrameDelayTag, size, item) == Gdiplus::Ok) {
                const auto* hundredths = static_cast<const LONG*>(item->value);
                const std::size_t known = item->length / sizeof(LONG);
                for (std::size_t i = 0; i < delays_.size() && i < known; ++i) {
                    if (hundredths[i] > 0) delays_[i] = static_cast<UINT>(hundredths[i]) * 10;
                }
            }
        }
    }
}

TFormLoadingUI::~TFormLoadingUI() {
    if (window_ != nullptr) DestroyWindow(window_);
}

void TFormLoadingUI::PlaceAtCreation(HWND mainWindow) {
    const window::Point at = CentredOver(mainWindow, kClientSize);
    SetWindowPos(window_, HWND_TOPMOST, at.x, at.y + window::kCreationOffsetY, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
}

void TFormLoadingUI::PlaceOver(HWND mainWindow) {
    const window::Point at = CentredOver(mainWindow, kClientSize);
    SetWindowPos(window_, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

void TFormLoadingUI::ShowOver(HWND mainWindow) {
    PlaceOver(mainWindow);
    if (!IsWindowVisible(window_)) {
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        SetTimer(window_, kFrameTimer, delays_[frame_], nullptr);
    }
    UpdateWindow(window_);
}

void TFormLoadingUI::Hide() {
    KillTimer(window_, kFrameTimer);
    ShowWindow(window_, SW_HIDE);
}

void TFormLoadingUI::NextFrame() {
    frame_ = (frame_ + 1) % delays_.size();
    SetTimer(window_, kFrameTimer, delays_[frame_], nullptr);
    InvalidateRect(window_, nullptr, FALSE);
}

void TFormLoadingUI::Paint(HDC dc) {
    // Drawn off screen, then copied whole: no half-drawn frame is ever seen.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, kClientSize.cx, kClientSize.cy);
    HGDIOBJ old = SelectObject(memory, canvas);
    RECT all{0, 0, kClientSize.cx, kClientSize.cy};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (Gdiplus::Bitmap* gif = animation_ ? animation_->Bitmap() : nullptr) {
        if (delays_.size() > 1) gif->SelectActiveFrame(&dimension_, static_cast<UINT>(frame_));
        Gdiplus::Graphics graphics(memory);
        // No smoothing: a blended edge would turn black pixels into near-black ones, which
        // the colour key would show.
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        graphics.DrawImage(gif, 0, 0, kAnimationSize.cx, kAnimationSize.cy);
    }
    BitBlt(dc, 0, 0, kClientSize.cx, kClientSize.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
}

LRESULT CALLBACK TFormLoadingUI::Procedure(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TFormLoadingUI*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (self != nullptr) self->Paint(dc);
            EndPaint(window, &ps);
            return 0;
        }
        case WM_TIMER:
            if (self != nullptr && wParam == kFrameTimer) self->NextFrame();
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        case WM_NCDESTROY:
            if (self != nullptr) self->window_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace bw::winapp
