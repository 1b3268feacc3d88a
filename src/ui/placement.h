#pragma once
// Where a secondary window goes over the main window. Integer division truncates
// toward zero, so a window larger than the main window sits symmetrically over it.

#include <QPoint>
#include <QRect>
#include <QSize>

#include "window/window_placement.h"

namespace bw {

// Extra downward offset of the loading window when it is first created.
using window::kCreationOffsetY;

// Top-left that centres a window of size `own` over `main` (frame geometry).
inline QPoint CentredOver(const QRect& main, const QSize& own) {
    const window::Point at = window::CentredOver({main.x(), main.y(), main.width(), main.height()},
                                                 own.width(), own.height());
    return {at.x, at.y};
}

// The same, 40 pixels lower: the loading window's place when it is created.
inline QPoint CentredOverAtCreation(const QRect& main, const QSize& own) {
    return CentredOver(main, own) + QPoint(0, kCreationOffsetY);
}

}  // namespace bw
