#pragma once
// One slot of the gang station window: its number and port, a large result ("Pass",
// "Fail", or the phase of the write in progress), the serial number written, the running
// phase's progress and how long the current or last mouse took.

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QString>

namespace bw {

class SlotTile : public QFrame {
    Q_OBJECT
  public:
    explicit SlotTile(int slot, QWidget* parent = nullptr);

    int slot() const { return slot_; }
    // The port after the slot's number: "port 1-2.3", or as it is where the name says port
    // already ("port1" on the simulated line).
    void setPort(const QString& port);
    // Smaller type and width, for a station of many slots on a small screen.
    void setCompact(bool compact);
    // No mouse written on the slot yet.
    void showEmpty();
    // A phase of the write in progress, in the phase colour; the bar counts its bytes.
    void showPhase(const QString& phase, int bytes);
    void showProgress(int done, int total);
    // The result in its colour; detail: what else the operator needs (why it failed).
    void showResult(const QString& result, const QColor& colour, const QString& detail);
    void showSerial(const QString& serial);
    void showDetail(const QString& detail);
    void showElapsed(double seconds);

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
