#pragma once
// Where the windows go, in screen pixels, whatever the toolkit: a window centred over
// another, and the Line simulator beside the main window.

namespace bw::window {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Gap between the main window and the Line simulator beside it.
inline constexpr int kSimulatorGap = 12;
// Extra downward offset of the loading window when it is first created.
inline constexpr int kCreationOffsetY = 40;

// Top-left that centres a window of `width` x `height` over `main` (frame over frame).
// Integer division truncates toward zero, so a larger window sits symmetrically over it.
inline Point CentredOver(const Rect& main, int width, int height) {
    return {main.x + (main.width - width) / 2, main.y + (main.height - height) / 2};
}

// Top-left of a window of outer size `width` x `height` by the main window's frame `main`,
// wholly inside `available` (the screen less its panels) and off the main window's first
// `keep` pixels (its status and result): right of the main window where there is room, else
// left of it (top-aligned with it), else below it, else over its lower part at the screen's
// bottom, right-aligned with it. Where none of these fits, over its lower part as far up as
// the screen needs.
Point SimulatorOrigin(const Rect& main, int width, int height, const Rect& available, int keep);
// Whether one of those places fits a window of that size.
bool SimulatorFits(const Rect& main, int width, int height, const Rect& available, int keep);

}  // namespace bw::window
