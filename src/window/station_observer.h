#pragma once
// What the gang runner says, carried to the station window: called on the runner's and
// the workers' threads (one call at a time), each call is posted through the view to the
// model, which takes it on the window's thread. Progress is posted only when a slot's bar
// moves by a percent, so eight writers do not flood the window's queue.

#include <map>

#include "station/gang_runner.h"

namespace bw {
class GangStation;
}  // namespace bw

namespace bw::window {

class StationWindowModel;

class StationObserver : public station::GangObserver {
  public:
    StationObserver(StationWindowModel& model, GangStation& station)
        : model_(model), station_(station) {}

    // The runner while it runs (null after): a lost log line asks it to take no further
    // mouse.
    void attach(station::GangRunner* runner) { runner_ = runner; }

    void slotAssigned(int slot, const std::string& port) override;
    void portIgnored(const std::string& port) override;
    void mouseHeld(int slot, const station::HeldMouse& mouse) override;
    void mousePlugged(int slot) override;
    void mouseStarted(int slot, const std::string& devicePath,
                      std::optional<std::int32_t> number) override;
    void phase(int slot, const std::string& label, int bytes) override;
    void progress(int slot, int done, int total) override;
    void mouseFinished(const station::GangResult& result) override;
    void stoppedTaking(const std::string& why) override;

  private:
    StationWindowModel& model_;
    GangStation& station_;
    station::GangRunner* runner_ = nullptr;
    std::map<int, int> shownPercent_;  // per slot
};

}  // namespace bw::window
