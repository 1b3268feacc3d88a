#include "winapp/station_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <utility>

#include "winapp/main_window.h"  // kApplicationTitle, the boxes' caption
#include "winapp/owned_window.h"
#include "winapp/win_text.h"
#include "window/station_window_model.h"

namespace bw::winapp {

namespace {

constexpr wchar_t kClassName[] = L"BinwrightStationWindow";
constexpr UINT_PTR kTickTimer = 1;
constexpr int kMargin = 11;
constexpr int kSpacing = 8;
constexpr int kTileHeight = 140;
constexpr int kGroupHeight = 58;
constexpr int kMessageLines = 4;
constexpr int kMessageLineHeight = 15;
constexpr std::size_t kKeptLines = 200;
constexpr int kBodyPixels = 12;
constexpr wchar_t kFace[] = L"Tahoma";

// Points of the tile's texts, as the Qt tile has them (the result's and a phase's are the
// tile grid's).
constexpr int kTitlePoints = 11;
constexpr int kDetailPoints = 9;
constexpr int kBottomPoints = 10;

int RowsFor(int slots, const window::TileGrid& grid) {
    return std::max(1, (slots + grid.columns - 1) / grid.columns);
}

int TilesHeight(int rows) {
    return rows * kTileHeight + (rows - 1) * kSpacing;
}

int MessagesHeight() {
    return kMessageLines * kMessageLineHeight + 10;
}

SIZE ClientSizeFor(int slots, const window::TileGrid& grid) {
    const int width = 2 * kMargin + grid.columns * grid.tileWidth + (grid.columns - 1) * kSpacing;
    const int height = 2 * kMargin + 2 * kGroupHeight + TilesHeight(RowsFor(slots, grid)) +
                       3 * kSpacing + MessagesHeight();
    return {width, height};
}

void PutText(HDC dc, const std::wstring& text, RECT area, UINT format) {
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format | DT_NOPREFIX);
}

}  // namespace

StationWindow::StationWindow(HINSTANCE instance, int slots) : grid_(window::TileGridFor(slots)) {
    WNDCLASSEXW wc{};
    if (!GetClassInfoExW(instance, kClassName, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &OwnedWindowProcedure<StationWindow>;
        wc.hInstance = instance;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpszClassName = kClassName;
        RegisterClassExW(&wc);
    }
    const SIZE client = ClientSizeFor(slots, grid_);
    RECT outer{0, 0, client.cx, client.cy};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    AdjustWindowRectEx(&outer, style, FALSE, 0);
    window_ = CreateWindowExW(0, kClassName, Wide(window::kStationWindowTitle).c_str(), style,
                              CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                              outer.bottom - outer.top, nullptr, nullptr, instance, this);
    messages_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"EDIT", L"",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0, 0,
        0, window_, nullptr, instance, nullptr);
    SendMessageW(messages_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(fonts_.Get({kFace, kBodyPixels, false})), FALSE);
    toolTips_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance, nullptr);
    tips_.resize(5);
    for (UINT_PTR id = 0; id < tips_.size(); ++id) {
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = id;
        tool.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
    // The slots known from the start are empty tiles until their mice come.
    for (int slot = 1; slot <= slots; ++slot) {
        window::SlotTileState empty;
        empty.slot = slot;
        empty.text = "No mouse";
        empty.serial = "SN -";
        tiles_[slot] = empty;
    }
    Layout();
}

StationWindow::~StationWindow() {
    if (window_ != nullptr) {
        closing_ = true;
        DestroyWindow(window_);
    }
}

void StationWindow::Show(int showCommand) {
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
}

void StationWindow::SetHeader(const window::StationHeader& header) {
    header_ = header;
    tips_[0] = Wide(header.image.tip);
    tips_[1] = Wide(header.sha256.tip);
    tips_[4] = Wide(header.nextSerial.tip);
    InvalidateRect(window_, &headerFrame_, FALSE);
}

void StationWindow::SetTile(const window::SlotTileState& tile) {
    const bool added = tiles_.find(tile.slot) == tiles_.end();
    tiles_[tile.slot] = tile;
    if (added) Layout();
    InvalidateRect(window_, &tilesArea_, FALSE);
}

void StationWindow::SetTotals(const window::StationTotals& totals) {
    totals_ = totals;
    InvalidateRect(window_, &totalsFrame_, FALSE);
}

void StationWindow::AppendMessage(std::string_view lines) {
    std::size_t start = 0;
    while (start < lines.size()) {
        std::size_t end = lines.find('\n', start);
        if (end == std::string_view::npos) end = lines.size();
        std::string_view line = lines.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) lines_.push_back(Wide(line));
        start = end + 1;
    }
    while (lines_.size() > kKeptLines) lines_.pop_front();
    std::wstring text;
    for (const std::wstring& line : lines_) {
        if (!text.empty()) text += L"\r\n";
        text += line;
    }
    SetWindowTextW(messages_, text.c_str());
    SendMessageW(messages_, WM_VSCROLL, SB_BOTTOM, 0);
}

bool StationWindow::AskQuestion(const std::string& question) {
    return MessageBoxW(window_, Wide(question).c_str(), kApplicationTitle,
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void StationWindow::StartTicks(int periodMs) {
    SetTimer(window_, kTickTimer, static_cast<UINT>(periodMs), nullptr);
}

void StationWindow::StopTicks() {
    KillTimer(window_, kTickTimer);
}

void StationWindow::Post(std::function<void()> work) {
    PostWork(window_, std::move(work));
}

void StationWindow::Close() {
    if (window_ == nullptr) return;
    closing_ = true;
    DestroyWindow(window_);
}

void StationWindow::Layout() {
    RECT client{};
    GetClientRect(window_, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    headerFrame_ = {kMargin, kMargin, width - kMargin, kMargin + kGroupHeight};
    const int messagesTop = height - kMargin - MessagesHeight();
    totalsFrame_ = {kMargin, messagesTop - kSpacing - kGroupHeight, width - kMargin,
                    messagesTop - kSpacing};
    tilesArea_ = {kMargin, headerFrame_.bottom + kSpacing, width - kMargin,
                  totalsFrame_.top - kSpacing};
    MoveWindow(messages_, kMargin, messagesTop, width - 2 * kMargin, MessagesHeight(), TRUE);
    InvalidateRect(window_, nullptr, FALSE);
}

void StationWindow::SetToolRect(int tool, const RECT& rect) {
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = window_;
    info.uId = static_cast<UINT_PTR>(tool);
    info.rect = rect;
    SendMessageW(toolTips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
}

void StationWindow::PaintGroup(HDC dc, const RECT& frame, const wchar_t* title) {
    HGDIOBJ old = SelectObject(dc, fonts_.Get({kFace, kBodyPixels, false}));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    PutText(dc, title, {frame.left, frame.top, frame.right, frame.top + 16},
            DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    RECT box{frame.left, frame.top + 18, frame.right, frame.bottom};
    FillRect(dc, &box, brushes_.Get(RGB(232, 232, 232)));
    FrameRect(dc, &box, brushes_.Get(RGB(200, 200, 200)));
    SelectObject(dc, old);
}

void StationWindow::PaintPairs(HDC dc, RECT area,
                               const std::vector<std::pair<std::wstring, std::wstring>>& pairs,
                               int firstTool) {
    int x = area.left;
    int tool = firstTool;
    for (const auto& [caption, value] : pairs) {
        SIZE extent{};
        SelectObject(dc, fonts_.Get({kFace, kBodyPixels, false}));
        GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        PutText(dc, caption, {x, area.top, x + extent.cx, area.bottom},
                DT_LEFT | DT_SINGLELINE | DT_VCENTER);
        x += extent.cx + 6;
        SelectObject(dc, fonts_.Get({kFace, kBodyPixels, true}));
        GetTextExtentPoint32W(dc, value.c_str(), static_cast<int>(value.size()), &extent);
        const RECT place{x, area.top, x + extent.cx, area.bottom};
        PutText(dc, value, place, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
        if (tool >= 0) SetToolRect(tool++, place);
        x += extent.cx + 18;
    }
}

void StationWindow::PaintTile(HDC dc, const RECT& area, const window::SlotTileState& tile) {
    FrameRect(dc, &area, brushes_.Get(RGB(0, 0, 0)));
    const RECT inner{area.left + 8, area.top + 6, area.right - 8, area.bottom - 6};

    const std::wstring title = Wide(window::SlotTileTitle(tile));
    SetTextColor(dc, RGB(0, 0, 0));
    SelectObject(dc, fonts_.Get({kFace, PointsToPixels(kTitlePoints), true}));
    const RECT titleRow{inner.left, inner.top, inner.right,
                        inner.top + PointsToPixels(kTitlePoints) + 4};
    PutText(dc, title, titleRow, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);

    // From the bottom up: serial and elapsed time, the bar, the detail.
    const int bottomHeight = PointsToPixels(kBottomPoints) + 4;
    const RECT bottom{inner.left, inner.bottom - bottomHeight, inner.right, inner.bottom};
    const RECT bar{inner.left, bottom.top - 4 - 12, inner.right, bottom.top - 4};
    const int detailHeight = PointsToPixels(kDetailPoints) + 4;
    const RECT detail{inner.left, bar.top - 4 - detailHeight, inner.right, bar.top - 4};
    const RECT result{inner.left, titleRow.bottom + 2, inner.right, detail.top - 2};

    SelectObject(
        dc,
        fonts_.Get(
            {kFace, PointsToPixels(tile.large ? grid_.resultPoints : window::kPhasePoints), true}));
    SetTextColor(dc, RGB(tile.colour.r, tile.colour.g, tile.colour.b));
    // A long phase ("Reading back block 3/8") takes two lines rather than being cut.
    const std::wstring text = Wide(tile.text);
    RECT measured = result;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
                DT_CENTER | DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    const int textHeight = measured.bottom - measured.top;
    RECT centred = result;
    centred.top += std::max(0L, ((result.bottom - result.top) - textHeight) / 2);
    PutText(dc, text, centred, DT_CENTER | DT_WORDBREAK);

    SetTextColor(dc, RGB(0, 0, 0));
    SelectObject(dc, fonts_.Get({kFace, PointsToPixels(kDetailPoints), false}));
    PutText(dc, Wide(tile.detail), detail,
            DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);

    FillRect(dc, &bar, brushes_.Get(RGB(255, 255, 255)));
    if (tile.progressTotal > 0 && tile.progressDone > 0) {
        const int done = std::min(tile.progressDone, tile.progressTotal);
        RECT filled = bar;
        filled.right = bar.left + MulDiv(bar.right - bar.left, done, tile.progressTotal);
        FillRect(dc, &filled, brushes_.Get(RGB(48, 140, 198)));
    }
    FrameRect(dc, &bar, brushes_.Get(RGB(160, 160, 160)));

    SelectObject(dc, fonts_.Get({kFace, PointsToPixels(kBottomPoints), false}));
    PutText(dc, Wide(tile.serial), bottom, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    if (tile.elapsedSeconds) {
        wchar_t elapsed[32];
        std::swprintf(elapsed, 32, L"%.1f s", *tile.elapsedSeconds);
        PutText(dc, elapsed, bottom, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
    }
}

RECT StationWindow::TileRect(int slot) const {
    const int areaWidth = static_cast<int>(tilesArea_.right - tilesArea_.left);
    const int areaHeight = static_cast<int>(tilesArea_.bottom - tilesArea_.top);
    const int columns = grid_.columns;
    const int columnWidth = (areaWidth - (columns - 1) * kSpacing) / columns;
    const int rows = RowsFor(tiles_.empty() ? 0 : tiles_.rbegin()->first, grid_);
    const int rowHeight = std::max(kTileHeight / 2, (areaHeight - (rows - 1) * kSpacing) / rows);
    const int left = tilesArea_.left + ((slot - 1) % columns) * (columnWidth + kSpacing);
    const int top = tilesArea_.top + ((slot - 1) / columns) * (rowHeight + kSpacing);
    return {left, top, left + columnWidth, top + rowHeight};
}

void StationWindow::Paint(HDC target) {
    RECT client{};
    GetClientRect(window_, &client);
    // Drawn off screen, then copied whole: tiles that change often do not flicker.
    HDC dc = CreateCompatibleDC(target);
    HBITMAP canvas = CreateCompatibleBitmap(target, client.right, client.bottom);
    HGDIOBJ oldBitmap = SelectObject(dc, canvas);
    HGDIOBJ oldFont = SelectObject(dc, fonts_.Get({kFace, kBodyPixels, false}));
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);

    PaintGroup(dc, headerFrame_, L"Settings");
    const RECT headerRow{headerFrame_.left + 10, headerFrame_.top + 18, headerFrame_.right - 10,
                         headerFrame_.bottom};
    PaintPairs(dc, headerRow,
               {{L"Image:", Wide(header_.image.value)},
                {L"SHA-256:", Wide(header_.sha256.value)},
                {L"IC type:", Wide(header_.icType)},
                {L"VID:PID:", Wide(header_.vidPid)},
                {L"Next serial:", Wide(header_.nextSerial.value)}},
               0);

    for (const auto& [slot, tile] : tiles_) PaintTile(dc, TileRect(slot), tile);

    PaintGroup(dc, totalsFrame_, L"Totals");
    const RECT totalsRow{totalsFrame_.left + 10, totalsFrame_.top + 18, totalsFrame_.right - 10,
                         totalsFrame_.bottom};
    PaintPairs(dc, totalsRow,
               {{L"Mice:", std::to_wstring(totals_.mice)},
                {L"Passes:", std::to_wstring(totals_.passes)},
                {L"Fails:", std::to_wstring(totals_.fails)},
                {L"First-pass yield:", Wide(totals_.yield)}},
               -1);
    SelectObject(dc, fonts_.Get({kFace, kBodyPixels, true}));
    PutText(dc, Wide(totals_.status), totalsRow, DT_RIGHT | DT_SINGLELINE | DT_VCENTER);

    BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(canvas);
    DeleteDC(dc);
}

LRESULT StationWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window_, &ps);
            Paint(dc);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_SIZE:
            if (messages_ != nullptr) Layout();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {480, 360};
            return 0;
        }
        case WM_CTLCOLORSTATIC:
            // The read-only message list on white, as a list reads best.
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(brushes_.Get(RGB(255, 255, 255)));
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code == TTN_GETDISPINFOW && header->idFrom < tips_.size()) {
                reinterpret_cast<NMTTDISPINFOW*>(lParam)->lpszText =
                    const_cast<wchar_t*>(tips_[header->idFrom].c_str());
                return 0;
            }
            break;
        }
        case WM_TIMER:
            if (wParam == kTickTimer && events_ != nullptr) events_->OnTick();
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
            KillTimer(window_, kTickTimer);
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY: {
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
