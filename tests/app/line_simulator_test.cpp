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

}  // namespace
}  // namespace bw
