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
    // Smaller type and width, for a station of many slots on a small screen.
    void setCompact(bool compact);
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
    int resultPoints() const;

    int slot_;
    bool compact_ = false;
};

}  // namespace bw
