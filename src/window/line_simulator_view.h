#pragma once
// What the Line simulator's behaviour asks of its window: the buttons that plug and pull
// devices, the fault switches and values, the status reply of the next mouse, the presence
// line. Each control by its name; values are plain integers.

#include <array>
#include <cstdint>
#include <string_view>

namespace bw::window {

enum class SimControl : std::uint8_t {
    PlugMouse0,  // one plug button per IC type row, in the table's order
    PlugMouse1,
    PlugMouse2,
    PullMouse,
    PlugOther,
    PullOther,
    Presence,  // the presence line (text)
    // Faults.
    NackOn,
    NackCommand,
    AckAfter,
    LosePieceOn,
    LosePiece,
    FailAfterOn,
    FailAfter,
    LatencyUs,
    // Status reply of the next mouse (shown in hexadecimal).
    Status1,
    Status2,
    Chip,
    // Folds the fault and next-mouse controls away and back (a toggle: 1 shown); its text
    // says what a click does.
    Details,
};

inline constexpr int kSimControlCount = static_cast<int>(SimControl::Details) + 1;

// Value range of each spin field.
struct SimSpinRange {
    SimControl control;
    int low;
    int high;
    int base;  // 10 or 16
};

inline constexpr std::array<SimSpinRange, 8> kSimSpinRanges{{
    {SimControl::NackCommand, 0, 255, 10},
    {SimControl::AckAfter, 1, 100, 10},
    {SimControl::LosePiece, 1, 300, 10},
    {SimControl::FailAfter, 0, 1000000, 10},
    {SimControl::LatencyUs, 0, 100000, 10},
    {SimControl::Status1, 0, 255, 16},
    {SimControl::Status2, 0, 255, 16},
    {SimControl::Chip, 0, 255, 16},
}};

enum class SimEvent : std::uint8_t {
    Click,   // a button
    Change,  // a switch toggled or a value changed
    Tick,    // the refresh tick, while started
};

class LineSimulatorEvents {
  public:
    virtual ~LineSimulatorEvents() = default;
    virtual void OnSimEvent(SimControl control, SimEvent event) = 0;
    // The window was placed by the main window: whether it finds a place there whole, with
    // its fault and next-mouse controls shown.
    virtual void OnPlaced(bool wholeFits) = 0;
};

class LineSimulatorView {
  public:
    virtual ~LineSimulatorView() = default;
    virtual void SetEvents(LineSimulatorEvents* events) = 0;
    // Spin fields: the value (held in its range); switches and Details: 0 or 1 (Details
    // shows or folds away the fault and next-mouse controls). Raises no event.
    virtual void SetValue(SimControl control, int value) = 0;
    virtual int Value(SimControl control) const = 0;
    // The presence line, the Details button's caption.
    virtual void SetText(SimControl control, std::string_view text) = 0;
    virtual void StartTicks(int periodMs) = 0;
    virtual void StopTicks() = 0;
};

}  // namespace bw::window
