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

// Top-left of a window of outer size `own` by the main window's frame `main`, wholly inside
// `available` (the screen less its panels) and off the main window's first `keep` pixels
// (its status and result): right of the main window where there is room, else left of it
// (top-aligned with it), else below it, else over its lower part at the screen's bottom,
// right-aligned with it. Where none of these fits, over its lower part as far up as the
// screen needs.
QPoint SimulatorOrigin(const QRect& main, const QSize& own, const QRect& available, int keep);
// Whether one of those places fits a window of that size.
bool SimulatorFits(const QRect& main, const QSize& own, const QRect& available, int keep);

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

    // Places the window by `main` on its screen, off its first `keep` pixels of client area
    // (the status and the result), and again whenever the window manager's frame of either
    // window becomes known. Where the whole simulator finds no such place, it opens with
    // its fault controls folded away (the operator unfolds them).
    void FollowBeside(QWidget& main, int keep);
    void PlaceBeside(const QWidget& main);
    // The fault and next-mouse controls shown or folded away.
    void ShowDetails(bool shown);

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
    QPushButton* detailsButton;  // folds the fault and next-mouse controls away and back
    QWidget* details;

  private:
    SimulatedPlatform& line_;
    int keep_ = 0;
    bool detailsChosen_ = false;  // the operator folded or unfolded them
};

}  // namespace bw
