#pragma once
// One slot of the gang station window, drawn from its plain state: its number and port, a
// large result ("Pass", "Fail", or the phase of the write in progress), the serial number
// written, the running phase's progress and how long the current or last mouse took.

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QString>

#include "window/station_window_view.h"

namespace bw {

class SlotTile : public QFrame {
    Q_OBJECT
  public:
    explicit SlotTile(int slot, QWidget* parent = nullptr);

    int slot() const { return slot_; }
    // The least width and the result's type the station's tile grid gives its tiles.
    void setGrid(const window::TileGrid& grid);
    // The tile as the station's behaviour has it: a large result ("Pass", "Fail") fills
    // the tile, a phase's longer label is smaller; detail: why it failed, whole in the tooltip.
    void show(const window::SlotTileState& state);

    QLabel* title;
    QLabel* result;
    QLabel* detail;
    QLabel* serial;
    QLabel* elapsed;
    QProgressBar* progress;

  private:
    void setResultLook(const QColor& colour, int pointSize);

    int slot_;
    window::TileGrid grid_{};
};

}  // namespace bw
