#pragma once
// The Line simulator's behaviour: a trainer plugs mice of each IC type (with the status reply
// set for the next mouse) and unrelated HID devices into the simulated line and pulls them,
// switches the simulated controller's faults on and off, and reads how many devices are
// present. The window's controls are its view's; the line is the simulated platform.

#include <string>

#include "window/line_simulator_view.h"

namespace bw {
class SimulatedPlatform;
}

namespace bw::window {

inline constexpr int kSimulatorRefreshMs = 500;

class LineSimulatorModel final : public LineSimulatorEvents {
  public:
    // Starts the view from the line's faults and the default status reply, with every
    // control shown, and starts its refresh ticks (the automatic line plugs and pulls by
    // itself).
    LineSimulatorModel(SimulatedPlatform& line, LineSimulatorView& view);
    ~LineSimulatorModel() override;
    LineSimulatorModel(const LineSimulatorModel&) = delete;
    LineSimulatorModel& operator=(const LineSimulatorModel&) = delete;

    // Plugs a mouse of an IC type (0..2) with the status bytes the view shows; its device id.
    int PlugMouse(int icType);
    // Pulls the mouse plugged last that is still present; false when none is.
    bool PullMouse();
    int PlugOther();
    // Pulls the unrelated device plugged last that is still present.
    bool PullOther();
    // Copies the fault controls into the simulated line.
    void ApplyFaults();
    void RefreshPresence();
    // The fault and next-mouse controls shown or folded away.
    void ShowDetails(bool shown);
    bool DetailsShown() const { return detailsShown_; }

    // LineSimulatorEvents.
    void OnSimEvent(SimControl control, SimEvent event) override;
    // Where the whole window does not fit by the main window, it folds its details away,
    // unless the operator folded or unfolded them.
    void OnPlaced(bool wholeFits) override;

  private:
    bool PullLast(bool mouse);

    SimulatedPlatform& line_;
    LineSimulatorView& view_;
    bool detailsShown_ = true;
    bool detailsChosen_ = false;
};

// "Present: 1 mouse/mice, 0 other device(s)".
std::string PresenceText(int mice, int others);

}  // namespace bw::window
