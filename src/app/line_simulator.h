#pragma once
// The "Line simulator" window beside the main window on the simulated line: a
// trainer plugs and pulls mice of each IC type and unrelated HID devices, and
// switches the faults of the simulated controller on and off.

#include <QCheckBox>
#include <QLabel>
#include <QList>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QSpinBox>
#include <QWidget>

#include "window/window_placement.h"

namespace bw {

class SimulatedPlatform;

// Gap between the main window and the Line simulator beside it.
using window::kSimulatorGap;

// Top-left of a window of outer size `own` beside the main window's frame `main`,
// wholly inside `available` (the screen less its panels): to the right of the main
// window where there is room, else to its left, else slid over the main window's
// right edge just as far as the screen needs; top-aligned with the main window.
QPoint SimulatorOrigin(const QRect& main, const QSize& own, const QRect& available);

class LineSimulator : public QWidget {
    Q_OBJECT
  public:
    explicit LineSimulator(SimulatedPlatform& line, QWidget* parent = nullptr);

    // Plugs a mouse of an IC type (0..2) with the status bytes set below; its device id.
    int PlugMouse(int icType);
    // Pulls the mouse plugged last that is still present; false when none is.
    bool PullMouse();
    int PlugOther();
    // Pulls the unrelated device plugged last that is still present.
    bool PullOther();
    // Copies the fault controls into the simulated line.
    void ApplyFaults();
    void RefreshPresence();

    // Places the window beside `main` on its screen, and again whenever the window
    // manager's frame of either window becomes known.
    void FollowBeside(QWidget& main);
    void PlaceBeside(const QWidget& main);

    QList<QPushButton*> plugMouseButtons;  // one per IC type, in table order
    QPushButton* pullMouseButton;
    QPushButton* plugOtherButton;
    QPushButton* pullOtherButton;

    QCheckBox* nackOn;
    QSpinBox* nackCommand;
    QSpinBox* ackAfter;
    QCheckBox* losePieceOn;
    QSpinBox* losePiece;
    QCheckBox* failAfterOn;
    QSpinBox* failAfter;
    QSpinBox* latencyUs;
    // Status reply of the next mouse plugged.
    QSpinBox* status1;
    QSpinBox* status2;
    QSpinBox* chip;

    QLabel* presence;

  private:
    SimulatedPlatform& line_;
};

}  // namespace bw
