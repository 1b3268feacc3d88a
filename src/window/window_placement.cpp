#include "window/window_placement.h"

#include <algorithm>

namespace bw::window {

namespace {

// The nearest position from `wanted` that keeps `length` inside [low, high).
int Clamp(int wanted, int length, int low, int high) {
    return std::max(low, std::min(wanted, high - length));
}

struct Placement {
    Point origin;
    bool fits = false;
};

bool Contains(const Rect& outer, const Rect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

bool Intersects(const Rect& a, const Rect& b) {
    return a.width > 0 && a.height > 0 && b.width > 0 && b.height > 0 && a.x < b.x + b.width &&
           b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

Placement Place(const Rect& main, int width, int height, const Rect& available, int keep) {
    const int availableEnd = available.x + available.width;
    const int availableBottom = available.y + available.height;
    const Rect kept{main.x, main.y, main.width, std::min(keep, main.height)};
    const int top = Clamp(main.y, height, available.y, availableBottom);
    const int overX = Clamp(main.x + main.width - width, width, available.x, availableEnd);
    const Point candidates[] = {
        {main.x + main.width + kSimulatorGap, top},
        {main.x - kSimulatorGap - width, top},
        {Clamp(main.x, width, available.x, availableEnd), main.y + main.height + kSimulatorGap},
        {overX, availableBottom - height},
    };
    for (const Point& at : candidates) {
        const Rect placed{at.x, at.y, width, height};
        if (Contains(available, placed) && !Intersects(placed, kept)) return {at, true};
    }
    return {{overX, Clamp(main.y + keep, height, available.y, availableBottom)}, false};
}

}  // namespace

Point SimulatorOrigin(const Rect& main, int width, int height, const Rect& available, int keep) {
    return Place(main, width, height, available, keep).origin;
}

bool SimulatorFits(const Rect& main, int width, int height, const Rect& available, int keep) {
    return Place(main, width, height, available, keep).fits;
}

}  // namespace bw::window
