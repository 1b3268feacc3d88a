#include "app/line_simulator.h"

#include <gtest/gtest.h>

#include <QScreen>

#include "sim/sim_platform.h"

namespace bw {
namespace {

TEST(LineSimulator, PlugsAndPullsMiceAndOtherDevices) {
    SimulatedPlatform line;
    LineSimulator window(line);
    ASSERT_EQ(line.devices().size(), 1u);

    window.status1->setValue(0xAB);
    window.chip->setValue(0x75);
    window.plugMouseButtons[2]->click();
    ASSERT_EQ(line.devices().size(), 2u);
    SimulatedMouse* plugged = line.currentMouse();
    ASSERT_NE(plugged, nullptr);
    EXPECT_EQ(plugged->icType(), 2);
    EXPECT_EQ(plugged->status().status1, 0xAB);
    EXPECT_EQ(plugged->status().chip, 0x75);

    window.plugOtherButton->click();
    const int other = line.devices().back();
    EXPECT_EQ(line.mouse(other), nullptr);
    // Pulling a mouse takes the one plugged last, never the other device.
    window.pullMouseButton->click();
    EXPECT_EQ(line.devices().size(), 2u);
    EXPECT_NE(line.currentMouse(), plugged);
    window.pullOtherButton->click();
    EXPECT_EQ(line.devices().size(), 1u);
    EXPECT_FALSE(window.PullOther());
    EXPECT_TRUE(window.PullMouse());
    EXPECT_FALSE(window.PullMouse());
    EXPECT_TRUE(window.presence->text().contains(QStringLiteral("0 mouse")));
}

TEST(LineSimulator, FaultControlsSwitchTheLinesFaults) {
    SimulatedPlatform line;
    LineSimulator window(line);
    window.nackCommand->setValue(3);
    EXPECT_EQ(line.faults().nack, -1);
    window.nackOn->setChecked(true);
    EXPECT_EQ(line.faults().nack, 3);
    window.losePieceOn->setChecked(true);
    window.losePiece->setValue(4);
    EXPECT_EQ(line.faults().losePiece, 4);
    window.latencyUs->setValue(250);
    EXPECT_EQ(line.faults().latencyUs, 250);
    window.failAfter->setValue(10);
    window.failAfterOn->setChecked(true);
    EXPECT_EQ(line.faults().failAfter, line.transferCount() + 10);

    window.nackOn->setChecked(false);
    window.losePieceOn->setChecked(false);
    window.failAfterOn->setChecked(false);
    EXPECT_EQ(line.faults().nack, -1);
    EXPECT_EQ(line.faults().losePiece, 0);
    EXPECT_EQ(line.faults().failAfter, -1);
}

// Beside the main window where there is room, else below it, else over its lower part; never
// over the status and the result (the first `keep` pixels of the main window), never past the
// screen's edge.
TEST(LineSimulator, OpensOnTheScreenWithoutHidingTheStatusOrTheResult) {
    const QSize full(480, 468);
    const QSize compact(480, 150);
    constexpr int kKeep = 545;
    struct Case {
        QRect available, main;
        QSize own;
        QPoint origin;
    };
    for (const Case& c : {
             Case{{0, 0, 1920, 1080}, {646, 189, 627, 701}, full, {1285, 189}},  // right of it
             Case{{0, 0, 1920, 1080}, {1200, 100, 627, 701}, full, {708, 100}},  // left of it
             Case{{1920, 0, 2560, 1440}, {2566, 369, 627, 701}, full, {3205, 369}},
             // 1280 x 1024: no room beside; the compact simulator goes below.
             Case{{0, 0, 1280, 1024}, {326, 161, 627, 701}, compact, {326, 874}},
             // 1024 x 768: no room beside or below; over the main window's factory band.
             Case{{0, 0, 1024, 768}, {198, 33, 627, 701}, compact, {345, 618}},
             // A panel at the top, the main window partly above the screen.
             Case{{0, 28, 1024, 740}, {200, -10, 627, 701}, compact, {347, 618}},
         }) {
        const QPoint origin = SimulatorOrigin(c.main, c.own, c.available, kKeep);
        EXPECT_EQ(origin, c.origin);
        const QRect placed(origin, c.own);
        EXPECT_TRUE(c.available.contains(placed)) << origin.x() << "," << origin.y();
        const QRect kept(c.main.topLeft(), QSize(c.main.width(), kKeep));
        EXPECT_FALSE(placed.intersects(kept)) << origin.x() << "," << origin.y();
    }
    // Where the whole simulator would cover them, it opens compact.
    EXPECT_FALSE(SimulatorFits({326, 161, 627, 701}, full, {0, 0, 1280, 1024}, kKeep));
    EXPECT_TRUE(SimulatorFits({326, 161, 627, 701}, compact, {0, 0, 1280, 1024}, kKeep));
    EXPECT_TRUE(SimulatorFits({646, 189, 627, 701}, full, {0, 0, 1920, 1080}, kKeep));

    // The window itself, placed by the main window on the main window's screen.
    SimulatedPlatform line;
    LineSimulator window(line);
    QWidget main;
    main.resize(625, 680);
    window.FollowBeside(main, 500);
    EXPECT_TRUE(main.screen()->availableGeometry().contains(window.frameGeometry()));
}

}  // namespace
}  // namespace bw
