#include "window/window_placement.h"

#include <algorithm>

namespace bw::window {

namespace {

// The nearest position from `wanted` that keeps `length` inside [low, high).
int Clamp(int wanted, int length, int low, int high) {
    return std::max(low, std::min(wanted, high - length));
}

}  // namespace

Point SimulatorOrigin(const Rect& main, int width, int height, const Rect& available) {
    const int right = main.x + main.width + kSimulatorGap;
    const int left = main.x - kSimulatorGap - width;
    const int availableEnd = available.x + available.width;
    int x = right;
    if (right + width > availableEnd && left >= available.x) x = left;
    return {Clamp(x, width, available.x, availableEnd),
            Clamp(main.y, height, available.y, available.y + available.height)};
}

}  // namespace bw::window
