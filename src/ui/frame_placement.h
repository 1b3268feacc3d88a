#pragma once
// Placement by the window manager's frame. A top-level window's frame (title bar and
// border) is only known once the window manager has taken the window on, after it is
// shown; until then the frame is the client area. This watcher runs a placement again
// each time the frame becomes known or changes, so a window can be centred by its
// outer size; moves by the operator leave the frame alone and are kept.

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <functional>

class QWidget;

namespace bw {

// Space the frame adds around the client area of a top-level window; none until known.
QMargins FrameMargins(const QWidget& window);

// Moves a top-level window so that its frame, of margins `frame`, starts at `origin`.
// Also right while the toolkit does not know the frame yet and moves the client area.
void MoveFrameTo(QWidget& window, const QPoint& origin, const QMargins& frame);

class FramePlacement : public QObject {
    Q_OBJECT
  public:
    // `place` runs whenever the frame of `watched` becomes known or changes. The watcher belongs to
    // `owner`, the window being placed, which need not be `watched` (null: `watched` itself).
    FramePlacement(QWidget& watched, std::function<void()> place, QObject* owner = nullptr);

  protected:
    bool eventFilter(QObject* object, QEvent* event) override;

  private:
    QWidget& watched_;
    std::function<void()> place_;
    QMargins margins_;
};

}  // namespace bw
