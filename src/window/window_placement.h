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

// Top-left of a window of outer size `width` x `height` beside the main window's frame
// `main`, wholly inside `available` (the screen less its panels): to the right of the main
// window where there is room, else to its left, else slid over the main window's right
// edge just as far as the screen needs; top-aligned with the main window.
Point SimulatorOrigin(const Rect& main, int width, int height, const Rect& available);

}  // namespace bw::window
