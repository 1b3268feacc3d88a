#pragma once
// The "Line simulator" window beside the main window on the simulated line: buttons that
// plug and pull mice of each IC type and unrelated HID devices, the faults of the simulated
// controller, the status reply of the next mouse, the presence line. What they do is the
// Line simulator's behaviour (window::LineSimulatorModel), which drives it as its view.

#include <QCheckBox>
#include <QLabel>
#include <QList>
#include <QPoint>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

#include "window/line_simulator_view.h"
#include "window/window_placement.h"

namespace bw {

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

class LineSimulator : public QWidget, public window::LineSimulatorView {
    Q_OBJECT
  public:
    explicit LineSimulator(QWidget* parent = nullptr);

    // Places the window by `main` on its screen, off its first `keep` pixels of client area
    // (the status and the result), and again whenever the window manager's frame of either
    // window becomes known. Tells the behaviour whether the whole window finds such a place
    // (where it does not, the fault controls open folded away).
    void FollowBeside(QWidget& main, int keep);
    void PlaceBeside(const QWidget& main);

    // LineSimulatorView.
    void SetEvents(window::LineSimulatorEvents* events) override { events_ = events; }
    void SetValue(window::SimControl control, int value) override;
    int Value(window::SimControl control) const override;
    void SetText(window::SimControl control, std::string_view text) override;
    void StartTicks(int periodMs) override;
    void StopTicks() override;

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
    void Report(window::SimControl control, window::SimEvent event);
    QSpinBox* Spin(window::SimControl control) const;
    QCheckBox* Switch(window::SimControl control) const;

    window::LineSimulatorEvents* events_ = nullptr;
    QTimer ticks_;
    bool setting_ = false;  // a value set by the behaviour raises no event
    int keep_ = 0;
};

}  // namespace bw
