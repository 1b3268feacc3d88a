#pragma once
// The gang station window (binwright-gui --gang IMAGE): the settings on top, one tile per
// slot, the totals and first-pass yield below. The gang runner works on a thread of its
// own; what it says reaches the window as queued calls (app/station_observer.h). Closing
// the window asks the runner to finish (the mice in progress end, no further one starts)
// and closes once its thread ended; a second close asks it to abort.

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

#include "app/stop_switch.h"
#include "device/hid_platform.h"
#include "station/gang_runner.h"
#include "ui/slot_tile.h"

namespace bw {

class GangStation;
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

    HidPlatform& platform_;
    GangStation& station_;
    OperationHost* waits_;
    StopSwitch stop_;
    std::unique_ptr<StationObserver> observer_;
    std::thread thread_;
    int exitCode_ = 0;
    bool numberingDone_ = false;
    bool closeWhenEnded_ = false;

    QGridLayout* tiles_;
    std::map<int, SlotTile*> tileOf_;
    std::map<int, Clock::time_point> busySince_;  // slots writing now, from the plug
    QTimer elapsedTimer_;
    int mice_ = 0;
    int passes_ = 0;
};

}  // namespace bw
