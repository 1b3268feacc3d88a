#pragma once
// The gang station window (binwright-gui --gang IMAGE) in Qt: the settings on top, one tile
// per slot, the totals and first-pass yield below, then the station's messages. A view of
// window::StationWindowModel, which holds the behaviour (the runner's thread, the close
// rules); the window draws what the model says and hands it the close and the tick.

#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <map>

#include "ui/slot_tile.h"
#include "window/station_window_model.h"
#include "window/station_window_view.h"

namespace bw {

using window::kStationWindowTitle;

class StationWindow : public QWidget, public window::StationWindowView {
    Q_OBJECT
  public:
    // slotCount: the tiles known from the start (StationWindowModel::KnownSlots); more than two
    // rows of four make the tiles smaller, six to a row.
    explicit StationWindow(int slotCount, QWidget* parent = nullptr);

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

  signals:
    void closed();  // the window closed for good

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    SlotTile& EnsureTile(int slot);

    window::StationWindowEvents* events_ = nullptr;
    bool closing_ = false;
    QGridLayout* tiles_;
    window::TileGrid grid_{};
    std::map<int, SlotTile*> tileOf_;
    QTimer ticks_;
};

}  // namespace bw
