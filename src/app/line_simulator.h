#pragma once
// The "Line simulator" window beside the main window on the simulated line: a
// trainer plugs and pulls mice of each IC type and unrelated HID devices, and
// switches the faults of the simulated controller on and off.

#include <QCheckBox>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

namespace bw {

class SimulatedPlatform;

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
