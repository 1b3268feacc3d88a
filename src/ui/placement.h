#pragma once
// Where a secondary window goes over the main window. Integer division truncates
// toward zero, so a window larger than the main window sits symmetrically over it.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace bw {

// Extra downward offset of the loading window when it is first created.
inline constexpr int kCreationOffsetY = 40;

// Top-left that centres a window of size `own` over `main` (frame geometry).
inline QPoint CentredOver(const QRect& main, const QSize& own) {
    return {main.left() + (main.width() - own.width()) / 2,
            main.top() + (main.height() - own.height()) / 2};
}

// The same, 40 pixels lower: the loading window's place when it is created.
inline QPoint CentredOverAtCreation(const QRect& main, const QSize& own) {
    return CentredOver(main, own) + QPoint(0, kCreationOffsetY);
}

}  // namespace bw
