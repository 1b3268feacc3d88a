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
    void setPort(const QString& port);
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

    int slot_;
};

}  // namespace bw
