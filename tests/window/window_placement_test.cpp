#include "window/window_placement.h"

#include <gtest/gtest.h>

namespace bw::window {
namespace {

bool Inside(const Rect& outer, Point at, int width, int height) {
    return at.x >= outer.x && at.y >= outer.y && at.x + width <= outer.x + outer.width &&
           at.y + height <= outer.y + outer.height;
}

// Beside the main window where there is room, else below it, else over its lower part; never
// over the status and the result (the first `keep` pixels of the main window), never past the
// screen's edge.
TEST(SimulatorOrigin, OnTheScreenWithoutHidingTheStatusOrTheResult) {
    constexpr int kWidth = 480, kFull = 468, kCompact = 150, kKeep = 545;
    struct Case {
        Rect available, main;
        int height;
        Point origin;
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {646, 189, 627, 701}, kFull, {1285, 189}},  // right of it
        {{0, 0, 1920, 1080}, {1200, 100, 627, 701}, kFull, {708, 100}},  // left of it
        {{1920, 0, 2560, 1440}, {2566, 369, 627, 701}, kFull, {3205, 369}},
        // 1280 x 1024: no room beside; the compact simulator goes below.
        {{0, 0, 1280, 1024}, {326, 161, 627, 701}, kCompact, {326, 874}},
        // 1024 x 768: no room beside or below; over the main window's factory band.
        {{0, 0, 1024, 768}, {198, 33, 627, 701}, kCompact, {345, 618}},
        // A panel at the top, the main window partly above the screen.
        {{0, 28, 1024, 740}, {200, -10, 627, 701}, kCompact, {347, 618}},
    };
    for (const Case& c : cases) {
        const Point origin = SimulatorOrigin(c.main, kWidth, c.height, c.available, kKeep);
        EXPECT_EQ(origin, c.origin) << origin.x << "," << origin.y;
        EXPECT_TRUE(Inside(c.available, origin, kWidth, c.height));
        EXPECT_TRUE(origin.y >= c.main.y + kKeep || origin.y + c.height <= c.main.y ||
                    origin.x >= c.main.x + c.main.width || origin.x + kWidth <= c.main.x)
            << origin.x << "," << origin.y;
    }
    // Where the whole simulator would cover them, it opens compact.
    EXPECT_FALSE(SimulatorFits({326, 161, 627, 701}, kWidth, kFull, {0, 0, 1280, 1024}, kKeep));
    EXPECT_TRUE(SimulatorFits({326, 161, 627, 701}, kWidth, kCompact, {0, 0, 1280, 1024}, kKeep));
    EXPECT_TRUE(SimulatorFits({646, 189, 627, 701}, kWidth, kFull, {0, 0, 1920, 1080}, kKeep));
}

TEST(CentredOver, TruncatesTowardZeroSoALargerWindowSitsSymmetrically) {
    EXPECT_EQ(CentredOver({327, 172, 625, 680}, 206, 196), (Point{536, 414}));
    // One pixel more than the main window: -1 / 2 is 0, not -1.
    EXPECT_EQ(CentredOver({100, 100, 625, 680}, 626, 681), (Point{100, 100}));
    EXPECT_EQ(CentredOver({100, 100, 625, 680}, 627, 682), (Point{99, 99}));
    EXPECT_EQ(CentredOver({-300, 0, 625, 680}, 254, 177), (Point{-115, 251}));
}

}  // namespace
}  // namespace bw::window
