#pragma once
// The gang station window (binwright-gui --gang IMAGE): the settings on top, one tile per
// slot, the totals and first-pass yield below. The gang runner works on a thread of its
// own; what it says reaches the window as queued calls (app/station_observer.h). Closing
// the window asks the runner to finish (the mice in progress end, no further one starts);
// the window stays with their results and a summary of what ended how, and the next close
// closes it. A close while mice are still being written asks before it aborts them and
// names the slots it aborted. SIGTERM and Ctrl-C (WatchSignals) close as the first close
// does, and the window then goes by itself once the mice ended.

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/stop_switch.h"
#include "device/hid_platform.h"
#include "station/gang_runner.h"
#include "ui/slot_tile.h"

namespace bw {

class GangStation;
class InterruptFlag;
class StationObserver;

inline constexpr char kStationWindowTitle[] = "MIRQ Binwright gang station";

class StationWindow : public QWidget {
    Q_OBJECT
  public:
    using Clock = std::chrono::steady_clock;

    // station: loaded (GangStation::load); it and the platform outlive the window. waits:
    // null, the real clock; else a test's virtual clock for every worker.
    StationWindow(HidPlatform& platform, GangStation& station, OperationHost* waits = nullptr,
                  QWidget* parent = nullptr);
    // A runner still running is asked to abort and waited for.
    ~StationWindow() override;

    // Starts the runner's thread.
    void Start();
    // SIGTERM or Ctrl-C caught by `flag` (it outlives the window): a close that lets the mice
    // in progress end and then closes the window; a second Ctrl-C within 3 s aborts them.
    // The exit code is then 143 or 130.
    void WatchSignals(InterruptFlag& flag);
    bool Running() const { return thread_.joinable(); }
    // The exit code of the run (as `binwright run --gang`); 0 before it ended.
    int ExitCode() const { return exitCode_; }
    // The tile of a slot (1-based); null when the slot has none yet.
    SlotTile* Tile(int slot) const;

    QLabel* imageName;
    QLabel* imageSha;
    QLabel* icType;
    QLabel* vidPid;
    QLabel* nextSerial;
    QLabel* totalMice;
    QLabel* totalPasses;
    QLabel* totalFails;
    QLabel* yield;
    QLabel* status;
    QPlainTextEdit* messages;

    // On the GUI thread, from what the observer posts.
    void SlotAssigned(int slot, const QString& port);
    void MousePlugged(int slot, Clock::time_point at);
    // The slot's mouse already holds its number from an interrupted run: not written.
    void MouseHeld(int slot, std::int32_t number, const std::string& said);
    void MouseStarted(int slot, std::optional<std::int32_t> number);
    void Phase(int slot, const QString& label, int bytes);
    void Progress(int slot, int done, int total);
    void MouseFinished(const station::GangResult& result, const std::string& said);
    void Say(const std::string& lines);
    void NumberingStarted();
    void RunEnded(int exitCode, const std::string& said);

  signals:
    void finished();  // the runner's thread ended
    void closed();    // the window closed for good

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateHeader(QWidget* header);
    SlotTile& EnsureTile(int slot);
    void ShowTotals();
    void ShowNextSerial();
    void ShowElapsed();
    void Work();
    // The first close (or a signal): no further mouse, the mice in progress end.
    void Finish(bool bySignal);
    // Slots whose mouse is being written now, as "1, 2".
    QString BusySlots() const;
    // What ended how since the close, for the status and the messages.
    void ShowStopped();

    HidPlatform& platform_;
    GangStation& station_;
    OperationHost* waits_;
    StopSwitch stop_;
    std::unique_ptr<StationObserver> observer_;
    std::thread thread_;
    int exitCode_ = 0;
    bool numberingDone_ = false;
    bool closeAsked_ = false;      // a close or a signal asked the runner to finish
    bool closeWhenEnded_ = false;  // a signal: the window goes once the mice ended
    bool aborting_ = false;
    InterruptFlag* signals_ = nullptr;
    QTimer signalTimer_;
    // Since the close: the mice that ended, passed and were aborted (the slots cut by it).
    int miceAfterClose_ = 0;
    int passesAfterClose_ = 0;
    std::vector<int> abortedSlots_;

    QGridLayout* tiles_;
    int columns_ = 4;
    bool compactTiles_ = false;
    std::map<int, SlotTile*> tileOf_;
    std::map<int, Clock::time_point> busySince_;  // slots writing now, from the plug
    QTimer elapsedTimer_;
    int mice_ = 0;
    int passes_ = 0;
};

}  // namespace bw
