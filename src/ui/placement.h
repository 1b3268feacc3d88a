#pragma once
// Where a secondary window goes over the main window. Integer division truncates
// toward zero, so a window larger than the main window sits symmetrically over it.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <algorithm>

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

// CentredOver, moved just as far as it takes to lie wholly inside `screen` (the available
// area): a dialog over a window partly off the screen still opens where it can be used.
inline QPoint CentredOverInside(const QRect& main, const QSize& own, const QRect& screen) {
    const QPoint centred = CentredOver(main, own);
    const auto inside = [](int wanted, int length, int low, int extent) {
        return std::max(low, std::min(wanted, low + extent - length));
    };
    return {inside(centred.x(), own.width(), screen.left(), screen.width()),
            inside(centred.y(), own.height(), screen.top(), screen.height())};
}

// The same, 40 pixels lower: the loading window's place when it is created.
inline QPoint CentredOverAtCreation(const QRect& main, const QSize& own) {
    return CentredOver(main, own) + QPoint(0, kCreationOffsetY);
}

}  // namespace bw
