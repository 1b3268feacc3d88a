// The device side of both report protocols, driven with raw frames.

#include "sim/sim_mouse.h"

#include <gtest/gtest.h>

#include "sim/sim_line.h"
#include "sim/sim_platform.h"

namespace bw {
namespace {

using test::Frame;
using test::MakeFrame;
using test::RawPort;

constexpr int kAck = 0xCC;

// ---- report 4 ----

class Report4Device : public ::testing::Test {
  protected:
    Frame ackedGet() { return port.get(4); }
    // Sends a command and reads its acknowledged reply.
    Frame command(std::initializer_list<int> frame) {
        EXPECT_TRUE(port.set(frame));
        return port.get(4);
    }
    SimulatedPlatform platform{};
    RawPort port{platform, 0};
};

TEST_F(Report4Device, StatusQueryRepliesWithStatusBytesAndChip) {
    EXPECT_EQ(command({4, 0x03}), MakeFrame({4, 0xAA, 0x04, 0x35, 0, 0, 0, kAck}));
    platform.currentMouse()->status().chip = 0x75;
    EXPECT_EQ(command({4, 0x03}), MakeFrame({4, 0xAA, 0x04, 0x75, 0, 0, 0, kAck}));
}

TEST_F(Report4Device, AcknowledgesOnlyTheKnownCommands) {
    for (int cmd : {0x01, 0x02, 0x08}) EXPECT_EQ(command({4, cmd})[7], kAck) << cmd;
    EXPECT_EQ(command({4, 0x09})[7], 0x00);
    EXPECT_EQ(command({4, 0x00})[7], 0x00);
}

TEST_F(Report4Device, NoAnswerBeforeTheFirstSet) {
    EXPECT_EQ(port.get(4), MakeFrame({4}));
}

TEST_F(Report4Device, AckAfterDelaysTheAcknowledgementToTheKthPoll) {
    platform.faults().ackAfter = 3;
    ASSERT_TRUE(port.set({4, 0x03}));
    EXPECT_EQ(port.get(4), MakeFrame({4}));
    EXPECT_EQ(port.get(4), MakeFrame({4}));
    EXPECT_EQ(port.get(4), MakeFrame({4, 0xAA, 0x04, 0x35, 0, 0, 0, kAck}));
    // A new set starts counting again.
    ASSERT_TRUE(port.set({4, 0x01}));
    EXPECT_EQ(port.get(4)[7], 0x00);
}

TEST_F(Report4Device, NackedCommandIsNeverAcknowledgedOthersAre) {
    platform.faults().nack = 0x06;
    ASSERT_TRUE(port.set({4, 0x06, 0xA0, 0x00, 0x06, 0x00}));
    for (int poll = 0; poll < 10; ++poll) EXPECT_EQ(port.get(4)[7], 0x00);
    EXPECT_EQ(command({4, 0x01})[7], kAck);
    // The refused write started nothing: a piece stores no byte.
    EXPECT_EQ(command({4, 0x07, 1, 2, 3, 4, 5, 6})[7], kAck);
    EXPECT_EQ(platform.currentMouse()->memory()[160], 0xFF);
}

TEST_F(Report4Device, BlockWriteThenReadRoundTripWithShortLastPiece) {
    // 10 bytes at 160: a full piece, then a piece of which only 4 bytes count.
    EXPECT_EQ(command({4, 0x06, 0xA0, 0x00, 0x0A, 0x00})[7], kAck);
    EXPECT_EQ(command({4, 0x07, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15})[7], kAck);
    EXPECT_EQ(command({4, 0x07, 0x16, 0x17, 0x18, 0x19, 0x14, 0x15})[7], kAck);
    const Image& memory = platform.currentMouse()->memory();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(memory[160 + i], 0x10 + i) << i;
    EXPECT_EQ(memory[170], 0xFF);
    EXPECT_EQ(memory[171], 0xFF);
    EXPECT_EQ(memory[159], 0xFF);
    EXPECT_TRUE(platform.currentMouse()->written());

    EXPECT_EQ(command({4, 0x04, 0xA0, 0x00, 0x0A, 0x00})[7], kAck);
    EXPECT_EQ(command({4, 0x05}), MakeFrame({4, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, kAck}));
    // Beyond the announced length the reply carries zeros.
    EXPECT_EQ(command({4, 0x05}), MakeFrame({4, 0x16, 0x17, 0x18, 0x19, 0, 0, kAck}));
}

TEST_F(Report4Device, BlockReadReadsSixBytesPerPieceLowByteFirst) {
    Image& memory = platform.currentMouse()->memory();
    for (int i = 0; i < 12; ++i) memory[0x0700 + i] = static_cast<std::uint8_t>(0x80 + i);
    EXPECT_EQ(command({4, 0x04, 0x00, 0x07, 0x00, 0x01})[7], kAck);
    EXPECT_EQ(command({4, 0x05}), MakeFrame({4, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, kAck}));
    EXPECT_EQ(command({4, 0x05}), MakeFrame({4, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, kAck}));
}

TEST_F(Report4Device, ResentPieceBeforeItsAnswerRepeatsTheSamePiece) {
    platform.faults().ackAfter = 9;  // never within the host's polls
    ASSERT_TRUE(port.set({4, 0x06, 0x00, 0x00, 0x0C, 0x00}));
    platform.faults().ackAfter = 1;
    EXPECT_EQ(command({4, 0x06, 0x00, 0x00, 0x0C, 0x00})[7], kAck);
    platform.faults().ackAfter = 9;
    ASSERT_TRUE(port.set({4, 0x07, 1, 2, 3, 4, 5, 6}));
    ASSERT_TRUE(port.set({4, 0x07, 1, 2, 3, 4, 5, 6}));  // a retry, same place
    platform.faults().ackAfter = 1;
    EXPECT_EQ(command({4, 0x07, 1, 2, 3, 4, 5, 6})[7], kAck);
    EXPECT_EQ(command({4, 0x07, 7, 8, 9, 10, 11, 12})[7], kAck);
    const Image& memory = platform.currentMouse()->memory();
    for (int i = 0; i < 12; ++i) EXPECT_EQ(memory[i], i + 1) << i;
    EXPECT_EQ(memory[12], 0xFF);
}

TEST_F(Report4Device, LostPieceIsNeverAcknowledgedAndTheNextFetchGetsTheNextPiece) {
    platform.faults().losePiece = 2;
    Image& memory = platform.currentMouse()->memory();
    for (int i = 0; i < 18; ++i) memory[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(command({4, 0x04, 0x00, 0x00, 0x12, 0x00})[7], kAck);
    EXPECT_EQ(command({4, 0x05}), MakeFrame({4, 0, 1, 2, 3, 4, 5, kAck}));
    for (int send = 0; send < SimulatedMouse::kSendsPerPiece; ++send) {
        ASSERT_TRUE(port.set({4, 0x05}));
        for (int poll = 0; poll < 5; ++poll) EXPECT_EQ(port.get(4)[7], 0x00);
    }
    EXPECT_EQ(command({4, 0x05}), MakeFrame({4, 12, 13, 14, 15, 16, 17, kAck}));
    // Every block read loses its second piece.
    EXPECT_EQ(command({4, 0x04, 0x00, 0x00, 0x12, 0x00})[7], kAck);
    EXPECT_EQ(command({4, 0x05})[7], kAck);
    ASSERT_TRUE(port.set({4, 0x05}));
    EXPECT_EQ(port.get(4)[7], 0x00);
}

TEST_F(Report4Device, AddressesWrapInsideTheMemory) {
    EXPECT_EQ(command({4, 0x06, 0xFE, 0xFF, 0x06, 0x00})[7], kAck);  // 0xFFFE
    EXPECT_EQ(command({4, 0x07, 1, 2, 3, 4, 5, 6})[7], kAck);
    const Image& memory = platform.currentMouse()->memory();
    EXPECT_EQ(memory[0x7FE], 1);
    EXPECT_EQ(memory[0x7FF], 2);
    EXPECT_EQ(memory[0], 3);
    EXPECT_EQ(memory[3], 6);
}

TEST_F(Report4Device, RefusesTheOtherProtocolsReportsAndWrongLengths) {
    EXPECT_FALSE(port.set({0x40, 0x0D}));
    bool ok = true;
    port.get(0x41, &ok);
    EXPECT_FALSE(ok);
    const std::uint8_t nine[9] = {4, 0x01};
    EXPECT_EQ(platform.setFeature(port.handle(), nine, 7), -1);
    EXPECT_EQ(platform.setFeature(port.handle(), nine, 9), -1);
    EXPECT_EQ(platform.setFeature(port.handle(), nine, 8), 8);
}

// ---- reports 0x40 / 0x41 ----

class Report40Device : public ::testing::Test {
  protected:
    SimulatedPlatform platform{ParseScenario("ic=1")};
    RawPort port{platform, 0};
};

TEST_F(Report40Device, BlockWriteThenReadRoundTripHighByteFirst) {
    // 12 bytes at 160: the second piece carries 5 new bytes and two stale ones.
    ASSERT_TRUE(port.set({0x40, 0x07, 0x00, 0xA0, 0x00, 0x0C}));
    ASSERT_TRUE(port.set({0x41, 1, 2, 3, 4, 5, 6, 7}));
    ASSERT_TRUE(port.set({0x41, 8, 9, 10, 11, 12, 6, 7}));
    const Image& memory = platform.currentMouse()->memory();
    for (int i = 0; i < 12; ++i) EXPECT_EQ(memory[160 + i], i + 1) << i;
    EXPECT_EQ(memory[172], 0xFF);
    EXPECT_EQ(memory[173], 0xFF);
    // Further pieces beyond the length are accepted but stored nowhere.
    ASSERT_TRUE(port.set({0x41, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}));
    EXPECT_EQ(memory[172], 0xFF);

    ASSERT_TRUE(port.set({0x40, 0x09, 0x00, 0xA0, 0x00, 0x0C}));
    EXPECT_EQ(port.get(0x41), MakeFrame({0x41, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(port.get(0x41), MakeFrame({0x41, 8, 9, 10, 11, 12, 0, 0}));
}

TEST_F(Report40Device, GetWithoutActiveReadAnswersZeros) {
    bool ok = false;
    EXPECT_EQ(port.get(0x41, &ok), MakeFrame({0x41}));
    EXPECT_TRUE(ok);
}

TEST_F(Report40Device, ProbeIsAcceptedAndChangesNothing) {
    ASSERT_TRUE(port.set({0x40, 0x0D}));
    EXPECT_FALSE(platform.currentMouse()->written());
    EXPECT_FALSE(port.set({4, 0x01}));  // report 4 is not carried
}

TEST_F(Report40Device, LostPieceFailsItsGetAndTheReadMovesOn) {
    platform.faults().losePiece = 2;
    Image& memory = platform.currentMouse()->memory();
    for (int i = 0; i < 21; ++i) memory[0x100 + i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(port.set({0x40, 0x09, 0x01, 0x00, 0x00, 0x15}));
    EXPECT_EQ(port.get(0x41), MakeFrame({0x41, 0, 1, 2, 3, 4, 5, 6}));
    bool ok = true;
    Frame lost = port.get(0x41, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lost, MakeFrame({0x41}));  // the buffer is left as given
    EXPECT_EQ(port.get(0x41), MakeFrame({0x41, 14, 15, 16, 17, 18, 19, 20}));
}

TEST(Report40SplitDevice, EachInterfaceCarriesOnlyItsReport) {
    SimulatedPlatform platform{ParseScenario("ic=2,split=1")};
    ASSERT_EQ(platform.enumerate().size(), 2u);
    RawPort commands{platform, 0};
    RawPort data{platform, 1};
    bool ok = true;
    commands.get(0x41, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(data.set({0x40, 0x0D}));
    EXPECT_TRUE(commands.set({0x40, 0x07, 0x00, 0x10, 0x00, 0x02}));
    EXPECT_FALSE(commands.set({0x41, 0xAB, 0xCD}));
    EXPECT_TRUE(data.set({0x41, 0xAB, 0xCD}));
    EXPECT_EQ(platform.currentMouse()->memory()[0x10], 0xAB);
    EXPECT_EQ(platform.currentMouse()->memory()[0x11], 0xCD);
}

}  // namespace
}  // namespace bw
