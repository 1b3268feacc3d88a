#include "ui/frame_placement.h"

#include <QEvent>
#include <QWidget>
#include <utility>

namespace bw {

QMargins FrameMargins(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect client = window.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

void MoveFrameTo(QWidget& window, const QPoint& origin, const QMargins& frame) {
    // Before the window exists on screen a move places its frame, whatever it will be.
    if (!window.testAttribute(Qt::WA_WState_Created)) {
        window.move(origin);
        return;
    }
    // Afterwards a move places the frame as far as the toolkit knows it: aim at the
    // client area and take off what the toolkit adds.
    const QPoint client = origin + QPoint(frame.left(), frame.top());
    window.move(client - (window.geometry().topLeft() - window.pos()));
}

FramePlacement::FramePlacement(QWidget& watched, std::function<void()> place, QObject* owner)
    : QObject(owner != nullptr ? owner : &watched), watched_(watched), place_(std::move(place)) {
    watched_.installEventFilter(this);
}

bool FramePlacement::eventFilter(QObject* object, QEvent* event) {
    if (object == &watched_ && (event->type() == QEvent::Move || event->type() == QEvent::Show ||
                                event->type() == QEvent::Resize)) {
        const QMargins margins = FrameMargins(watched_);
        // A window taken off the screen loses its frame for a moment; nothing to place then.
        if (!margins.isNull() && margins != margins_) {
            margins_ = margins;
            place_();
        }
    }
    return QObject::eventFilter(object, event);
}

}  // namespace bw
