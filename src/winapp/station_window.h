#pragma once
// The gang station window (binwright-gui --gang IMAGE) on the Windows API: the settings
// on top, one tile per slot (four to a row, painted from its plain state), the totals and
// first-pass yield below, then the station's messages. The window does nothing by itself:
// window::StationWindowModel drives it through StationWindowView.

#include <windows.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "winapp/gdi_resources.h"
#include "winapp/owned_window.h"
#include "window/station_window_view.h"

namespace bw::winapp {

class StationWindow final : public window::StationWindowView {
  public:
    // Hidden after construction, sized for `slots` tiles (at least one row).
    StationWindow(HINSTANCE instance, int slots);
    ~StationWindow() override;
    StationWindow(const StationWindow&) = delete;
    StationWindow& operator=(const StationWindow&) = delete;

    HWND Handle() const { return window_; }
    void Show(int showCommand);
    int TileCount() const { return static_cast<int>(tiles_.size()); }
    // Where a slot's tile is drawn: four to a row in slot order, the rows sharing the height.
    RECT TileRect(int slot) const;

    // StationWindowView.
    void SetEvents(window::StationWindowEvents* events) override { events_ = events; }
    void SetHeader(const window::StationHeader& header) override;
    void SetTile(const window::SlotTileState& tile) override;
    void SetTotals(const window::StationTotals& totals) override;
    void AppendMessage(std::string_view lines) override;
    bool AskQuestion(const std::string& question) override;
    void StartTicks(int periodMs) override;
    void StopTicks() override;
    void Post(std::function<void()> work) override;
    void Close() override;

  private:
    template <class Owner>
    friend LRESULT CALLBACK OwnedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    void Paint(HDC dc);
    // A row of caption and value pairs from the left of `area`; the values' places are
    // kept for their tooltips.
    void PaintPairs(HDC dc, RECT area,
                    const std::vector<std::pair<std::wstring, std::wstring>>& pairs, int firstTool);
    void PaintGroup(HDC dc, const RECT& frame, const wchar_t* title);
    void PaintTile(HDC dc, const RECT& area, const window::SlotTileState& tile);
    void SetToolRect(int tool, const RECT& rect);

    window::TileGrid grid_;  // for the slots known at the start
    HWND window_ = nullptr;
    HWND messages_ = nullptr;
    HWND toolTips_ = nullptr;
    window::StationWindowEvents* events_ = nullptr;
    bool closing_ = false;

    window::StationHeader header_;
    window::StationTotals totals_;
    std::map<int, window::SlotTileState> tiles_;
    std::deque<std::wstring> lines_;
    std::vector<std::wstring> tips_;  // the header values' tooltips, by tool

    RECT headerFrame_{};
    RECT tilesArea_{};
    RECT totalsFrame_{};
    FontCache fonts_;
    BrushCache brushes_;
};

}  // namespace bw::winapp
