#pragma once
// The gang station window's behaviour (binwright-gui --gang IMAGE), toolkit-free: the gang
// runner works on a thread of its own; what it says reaches the window's thread through the
// view's Post and becomes tiles, totals, yield, status and messages. Closing the window asks
// the runner to finish (the mice in progress end, no further one starts); the window stays
// with their results and a summary of what ended how, and the next close closes it. A close
// while mice are still being written asks before it aborts them and names the slots it
// aborted. SIGTERM and Ctrl-C (WatchSignals) close as the first close does, and the window
// then goes by itself once the mice ended.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/hid_platform.h"
#include "station/gang_runner.h"
#include "window/station_window_view.h"
#include "window/stop_switch.h"

namespace bw {
class GangStation;
class InterruptFlag;
}  // namespace bw

namespace bw::window {

class StationObserver;

inline constexpr char kStationWindowTitle[] = "MIRQ Binwright gang station";

class StationWindowModel final : public StationWindowEvents {
  public:
    using Clock = std::chrono::steady_clock;
    // The tick: the running mice's time and the signals' check.
    static constexpr int kTickMs = 100;

    // station: loaded (GangStation::load); it, the platform and the view outlive the model.
    // waits: null, the real clock; else a test's virtual clock for every worker. Shows the
    // header, a tile for each slot known from the start, the totals.
    StationWindowModel(HidPlatform& platform, GangStation& station, StationWindowView& view,
                       OperationHost* waits = nullptr);
    // A runner still running is asked to abort and waited for.
    ~StationWindowModel() override;
    StationWindowModel(const StationWindowModel&) = delete;
    StationWindowModel& operator=(const StationWindowModel&) = delete;

    // The slots known before the first mouse: --slots N, or the ports named.
    static int KnownSlots(const station::GangSettings& settings);

    // Starts the runner's thread.
    void Start();
    // SIGTERM or Ctrl-C caught by `flag` (it outlives the model): a close that lets the mice
    // in progress end and then closes the window; a second Ctrl-C within 3 s aborts them.
    // The exit code is then 143 or 130.
    void WatchSignals(InterruptFlag& flag);
    bool Running() const { return thread_.joinable(); }
    // The exit code of the run (as `binwright run --gang`); 0 before it ended.
    int ExitCode() const { return exitCode_; }
    // What the view was last told.
    const SlotTileState* Tile(int slot) const;
    const StationHeader& Header() const { return header_; }
    const StationTotals& Totals() const { return totals_; }

    // StationWindowEvents.
    bool OnCloseQuery() override;
    void OnTick() override;

  private:
    friend class StationObserver;

    // On the window's thread, from what the observer posts.
    void SlotAssigned(int slot, const std::string& port);
    void MousePlugged(int slot, Clock::time_point at);
    // The slot's mouse already holds its number from an interrupted run: not written.
    void MouseHeld(int slot, std::int32_t number, const std::string& said);
    void MouseStarted(int slot, std::optional<std::int32_t> number);
    void Phase(int slot, const std::string& label, int bytes);
    void Progress(int slot, int done, int total);
    void MouseFinished(const station::GangResult& result, const std::string& said);
    void Say(const std::string& lines);
    void NumberingStarted();
    void RunEnded(int exitCode, const std::string& said);
    // Runs `work` on the window's thread unless the model is gone by then.
    void Post(std::function<void()> work);

    SlotTileState& EnsureTile(int slot);
    void ShowTile(int slot);
    void ShowResult(int slot, const std::string& text, const Rgb& colour,
                    const std::string& detail);
    void ShowTotals();
    void SetStatus(const std::string& status);
    void ShowNextSerial();
    void ShowElapsed();
    void CheckSignals();
    void Work();
    // The first close (or a signal): no further mouse, the mice in progress end.
    void Finish(bool bySignal);
    void Abort(const std::string& status);
    // Slots whose mouse is being written now, as "1, 2".
    std::string BusySlots() const;
    // What ended how since the close, for the status and the messages.
    void ShowStopped();

    HidPlatform& platform_;
    GangStation& station_;
    StationWindowView& view_;
    OperationHost* waits_;
    StopSwitch stop_;
    std::unique_ptr<StationObserver> observer_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // what posted work checks
    std::thread thread_;
    int exitCode_ = 0;
    bool numberingDone_ = false;
    bool closeAsked_ = false;      // a close or a signal asked the runner to finish
    bool closeWhenEnded_ = false;  // a signal: the window goes once the mice ended
    bool aborting_ = false;
    bool ticking_ = false;
    InterruptFlag* signals_ = nullptr;
    // Since the close: the mice that ended, passed and were aborted (the slots cut by it).
    int miceAfterClose_ = 0;
    int passesAfterClose_ = 0;
    std::vector<int> abortedSlots_;

    StationHeader header_;
    StationTotals totals_;
    std::map<int, SlotTileState> tiles_;
    std::map<int, Clock::time_point> busySince_;  // slots writing now, from the plug
    int mice_ = 0;
    int passes_ = 0;
};

}  // namespace bw::window
