#include "window/window_placement.h"

#include <gtest/gtest.h>

namespace bw::window {
namespace {

bool Inside(const Rect& outer, Point at, int width, int height) {
    return at.x >= outer.x && at.y >= outer.y && at.x + width <= outer.x + outer.width &&
           at.y + height <= outer.y + outer.height;
}

TEST(SimulatorOrigin, BesideTheMainWindowWhereThereIsRoomAndAlwaysOnTheScreen) {
    const int width = 480;
    const int height = 468;
    struct Case {
        Rect available, main;
        Point origin;
    };
    const Case cases[] = {
        // 1280 x 1024: no room on either side, slid over the main window's right edge.
        {{0, 0, 1280, 1024}, {326, 161, 627, 701}, {800, 161}},
        {{0, 0, 1920, 1080}, {646, 189, 627, 701}, {1285, 189}},  // right of it
        {{0, 0, 1920, 1080}, {1200, 100, 627, 701}, {708, 100}},  // left of it
        // A panel at the top, the main window partly above the screen.
        {{0, 28, 1024, 740}, {200, -10, 627, 701}, {544, 28}},
        {{1920, 0, 1280, 1024}, {2246, 161, 627, 701}, {2720, 161}},  // second screen
        // The Windows window is 625 x 680 outside, on a screen of the same height.
        {{0, 0, 1280, 680}, {327, 0, 625, 680}, {800, 0}},
    };
    for (const Case& c : cases) {
        const Point origin = SimulatorOrigin(c.main, width, height, c.available);
        EXPECT_EQ(origin, c.origin) << origin.x << "," << origin.y;
        EXPECT_TRUE(Inside(c.available, origin, width, height));
    }
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
