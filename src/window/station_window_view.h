#pragma once
// What the gang station's behaviour asks of its window (binwright-gui --gang IMAGE): the
// settings on top, one tile per slot drawn from a plain state, the totals, the messages.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "production/result_text.h"

namespace bw::window {

// One slot's tile as it is to be drawn.
struct SlotTileState {
    int slot = 0;        // 1-based
    std::string port{};  // empty: not known yet; the title is SlotTileTitle's
    std::string text{};  // "No mouse", a phase ("Writing 2048 bytes"), "Pass", "Fail", ...
    Rgb colour{128, 128, 128};
    bool large = false;    // a result fills the tile; a phase's longer text is smaller
    std::string detail{};  // why it failed, what to do
    std::string serial{};  // "SN 1A1", "SN -"
    int progressDone = 0;
    int progressTotal = 0;                   // 0: an empty bar
    std::optional<double> elapsedSeconds{};  // none: nothing shown
};

// A tile's title: "Slot 3", "Slot 3   port 1-2", or "Slot 3   port3" where the port's name
// says port already (the simulated line's).
std::string SlotTileTitle(const SlotTileState& tile);

// How the tiles are laid out: four to a row; a station of more slots than two such rows
// takes six to a row of smaller tiles (a smaller "Pass"), so sixteen fit a 1024 x 768 screen.
struct TileGrid {
    int columns = 4;
    int tileWidth = 220;    // the least width of a tile, pixels
    int resultPoints = 30;  // "Pass" and "Fail"; a phase's text stays at kPhasePoints
};
inline constexpr int kPhasePoints = 13;
TileGrid TileGridFor(int slots);

// A caption's value and, where there is more to say, its tooltip.
struct ValueWithTip {
    std::string value{};
    std::string tip{};
};

struct StationHeader {
    ValueWithTip image{};   // file name; the whole path as the tip
    ValueWithTip sha256{};  // the first 12 digits; all 64 as the tip
    std::string icType{};
    std::string vidPid{};  // "3A5C:0C21"
    ValueWithTip nextSerial{};
};

struct StationTotals {
    int mice = 0;
    int passes = 0;
    int fails = 0;
    std::string yield{};   // "87.5 %", "-"
    std::string status{};  // "Not started", "Running", "Stopping: ...", "Finished"
};

class StationWindowEvents {
  public:
    virtual ~StationWindowEvents() = default;
    // The operator asks to close the window: true lets it close now.
    virtual bool OnCloseQuery() = 0;
    // The elapsed-time tick, while started (StartTicks).
    virtual void OnTick() = 0;
};

class StationWindowView {
  public:
    virtual ~StationWindowView() = default;
    virtual void SetEvents(StationWindowEvents* events) = 0;
    virtual void SetHeader(const StationHeader& header) = 0;
    // Draws a slot's tile; a slot without one gets it, in slot order, four to a row.
    virtual void SetTile(const SlotTileState& tile) = 0;
    virtual void SetTotals(const StationTotals& totals) = 0;
    // Adds lines to the message list (the last 200 are kept).
    virtual void AppendMessage(std::string_view lines) = 0;
    // A question to the operator, answered yes (true) or no.
    virtual bool AskQuestion(const std::string& question) = 0;
    virtual void StartTicks(int periodMs) = 0;
    virtual void StopTicks() = 0;
    // Runs `work` on the window's thread; callable from any thread (the runner's).
    virtual void Post(std::function<void()> work) = 0;
    // Closes the window for good (no close query).
    virtual void Close() = 0;
};

}  // namespace bw::window
