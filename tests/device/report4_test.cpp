#include "device/report4.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/fake_hid.h"
#include "support/recording_host.h"

namespace {

using bw::test::FakeHidPlatform;
using bw::test::FakeReport4Device;
using bw::test::RecordingHost;
using Frame = std::array<std::uint8_t, 8>;

// A link opened on one scripted report-4 mouse.
struct Report4Fixture : ::testing::Test {
    void SetUp() override {
        platform.add("mouse", 0x3A5C, 0x0C21, 0x0104);
        platform.responder = device.responder();
        ASSERT_TRUE(link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104));
        for (int i = 0; i < 2048; ++i) device.memory[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    std::vector<Frame> setsWithCommand(std::uint8_t command) const {
        std::vector<Frame> out;
        for (const auto& f : device.sets) {
            if (f[1] == command) out.push_back(f);
        }
        return out;
    }

    FakeHidPlatform platform;
    FakeReport4Device device;
    bw::Link link{platform};
    RecordingHost host;
};

using Handshake4 = Report4Fixture;

TEST_F(Handshake4, AcknowledgedCommandTakesOneSetOnePollAndTheSendPause) {
    ASSERT_TRUE(bw::SendCommand4(link, host, 0x03, 0x11, 0x22, 0x133, 0x44));
    ASSERT_EQ(device.sets.size(), 1u);
    EXPECT_EQ(device.sets[0], (Frame{0x04, 0x03, 0x11, 0x22, 0x33, 0x44, 0x00, 0x00}));
    EXPECT_EQ(platform.transferCount(false), 1);
    EXPECT_EQ(host.elapsedUs, 10'000);
    EXPECT_EQ(link.Report4Buffer[7], 0xCC);  // the reply stays for the caller
}

TEST_F(Handshake4, LateAcknowledgementPausesAfterEveryEmptyPoll) {
    device.ackOnPoll = 3;
    ASSERT_TRUE(bw::FetchPiece4(link, host));
    EXPECT_EQ(platform.transferCount(false), 3);
    EXPECT_EQ(host.elapsedUs, 5'000 + 2 * 5'000);
    // Bytes 1 to 7 of the reply: six data bytes and the status.
    EXPECT_EQ(link.Piece4[0], device.memory[0]);
    EXPECT_EQ(link.Piece4[6], 0xCC);
}

TEST_F(Handshake4, SilentDeviceExhaustsFiveSendsOfFivePolls) {
    device.refuse = [](const Frame&, int) { return true; };
    const std::uint8_t data[6] = {1, 2, 3, 4, 5, 6};
    struct Case {
        const char* name;
        std::function<bool()> run;
        std::int64_t pausesUs;
    };
    const Case cases[] = {
        {"SendCommand4", [&] { return bw::SendCommand4(link, host, 0x01); }, 300'000},
        {"FetchPiece4", [&] { return bw::FetchPiece4(link, host); }, 150'000},
        {"SendPiece4", [&] { return bw::SendPiece4(link, host, data); }, 175'000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform.transfers.clear();
        host.elapsedUs = 0;
        EXPECT_FALSE(c.run());
        EXPECT_EQ(platform.transferCount(true), 5);
        EXPECT_EQ(platform.transferCount(false), 25);
        EXPECT_EQ(host.elapsedUs, c.pausesUs);
    }
    EXPECT_EQ(link.Piece4, (bw::Piece{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(Handshake4, OtherStatusEndsPollingAtOnceAndResends) {
    device.status = 0x55;
    EXPECT_FALSE(bw::SendCommand4(link, host, 0x01));
    EXPECT_EQ(platform.transferCount(true), 5);
    EXPECT_EQ(platform.transferCount(false), 5);
    EXPECT_EQ(host.elapsedUs, 5 * 10'000);
}

TEST_F(Handshake4, FailedPollIsNoAnswerEvenWhenTheStaleByteIsTheAck) {
    // The mouse goes right after the first set: its polls fail, and so does every
    // later set. The piece's sixth byte is 0xCC, which a stale buffer would show as
    // the status. After a failed set no poll is made; the polls' pauses still pass.
    device.failTransfersAfter = 1;
    const std::uint8_t data[6] = {0, 0, 0, 0, 0, 0xCC};
    EXPECT_FALSE(bw::SendPiece4(link, host, data));
    EXPECT_EQ(platform.transferCount(false), 5);
    EXPECT_EQ(host.elapsedUs, 175'000);
}

TEST_F(Handshake4, InvalidHandleSendsNothing) {
    link.ForgetHandles();
    std::vector<std::uint8_t> dest(16, 0);
    const std::uint8_t src[12] = {};
    EXPECT_FALSE(bw::SendCommand4(link, host, 0x01));
    EXPECT_FALSE(bw::FetchPiece4(link, host));
    EXPECT_FALSE(bw::ReadBlock4(link, host, 0, 12, dest.data(), dest.size()));
    EXPECT_FALSE(bw::WriteBlock4(link, host, 0, 12, src));
    EXPECT_TRUE(platform.transfers.empty());
    EXPECT_EQ(dest, std::vector<std::uint8_t>(16, 0xFF));
    EXPECT_EQ(host.elapsedUs, 0);
}

using Block4 = Report4Fixture;

TEST_F(Block4, CommandFramesAndPieceCountsOfTheCallersBlocks) {
    struct Case {
        int address, length;
        Frame readCommand;
        std::size_t pieces;
    };
    const Case cases[] = {
        {160, 12, {0x04, 0x04, 0xA0, 0x00, 0x0C, 0x00, 0x00, 0x00}, 2},
        {0, 2048, {0x04, 0x04, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00}, 342},
        {0x0700, 256, {0x04, 0x04, 0x00, 0x07, 0x00, 0x01, 0x00, 0x00}, 43},
        {0, 0, {0x04, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        device.sets.clear();
        std::vector<std::uint8_t> dest(2048, 0);
        ASSERT_TRUE(bw::ReadBlock4(link, host, c.address, c.length, dest.data(), dest.size()));
        ASSERT_EQ(device.sets.size(), c.pieces + 1);
        EXPECT_EQ(device.sets[0], c.readCommand);
        EXPECT_EQ(setsWithCommand(0x05).size(), c.pieces);
        for (int i = 0; i < c.length; ++i) ASSERT_EQ(dest[i], device.memory[c.address + i]) << i;
        for (std::size_t i = c.length; i < dest.size(); ++i) ASSERT_EQ(dest[i], 0xFF) << i;
        if (c.pieces > 0) {
            EXPECT_EQ(host.lastProgress, static_cast<int>(c.pieces));
            EXPECT_EQ(host.lastTotal, static_cast<int>(c.pieces));
        }

        device.sets.clear();
        std::vector<std::uint8_t> src(c.length, 0x5A);
        ASSERT_TRUE(bw::WriteBlock4(link, host, c.address, c.length, src.data()));
        Frame writeCommand = c.readCommand;
        writeCommand[1] = 0x06;
        EXPECT_EQ(device.sets[0], writeCommand);
        EXPECT_EQ(setsWithCommand(0x07).size(), c.pieces);
    }
}

TEST_F(Block4, EveryPieceShowsTheLoadingWindowAndPumpsEvents) {
    std::vector<std::uint8_t> dest(12);
    ASSERT_TRUE(bw::ReadBlock4(link, host, 160, 12, dest.data(), dest.size()));
    EXPECT_EQ(host.showCount, 2);
    EXPECT_TRUE(host.loadingVisible);  // the caller hides it
    EXPECT_GE(host.eventPumps, 2 * 2);
}

TEST_F(Block4, ShortLastPieceCarriesTheBytesOfThePreviousPiece) {
    const std::uint8_t src[8] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    ASSERT_TRUE(bw::WriteBlock4(link, host, 0, 8, src));
    const auto pieces = setsWithCommand(0x07);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], (Frame{0x04, 0x07, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15}));
    EXPECT_EQ(pieces[1], (Frame{0x04, 0x07, 0x16, 0x17, 0x12, 0x13, 0x14, 0x15}));

    // A single short piece is padded with 0xFF.
    device.sets.clear();
    ASSERT_TRUE(bw::WriteBlock4(link, host, 0, 4, src));
    EXPECT_EQ(setsWithCommand(0x07).at(0), (Frame{0x04, 0x07, 0x10, 0x11, 0x12, 0x13, 0xFF, 0xFF}));
}

TEST_F(Block4, WriteStopsAtTheFirstPieceNotAcknowledged) {
    int pieceSets = 0;
    device.refuse = [&](const Frame& f, int) { return f[1] == 0x07 && ++pieceSets > 1; };
    std::vector<std::uint8_t> src(18, 0x42);
    EXPECT_FALSE(bw::WriteBlock4(link, host, 0, 18, src.data()));
    // Piece 1 once, piece 2 five times; piece 3 never.
    EXPECT_EQ(setsWithCommand(0x07).size(), 1u + 5u);
}

TEST_F(Block4, ReadWithAnUndeliveredPieceFailsAndLeavesItFF) {
    int fetches = 0;
    device.refuse = [&](const Frame& f, int) {
        // The second piece never arrives; the controller does not move on.
        if (f[1] != 0x05) return false;
        ++fetches;
        return fetches >= 2 && fetches <= 6;
    };
    std::vector<std::uint8_t> dest(18);
    EXPECT_FALSE(bw::ReadBlock4(link, host, 0, 18, dest.data(), dest.size()));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(dest[i], device.memory[i]);
    for (int i = 6; i < 12; ++i) EXPECT_EQ(dest[i], 0xFF);
    // The read goes on with the remaining pieces while the mouse answers.
    EXPECT_EQ(setsWithCommand(0x05).size(), 1u + 5u + 1u);
    EXPECT_EQ(dest[12], device.memory[6]);
}

TEST_F(Block4, MousePulledOutMidReadFailsAndStopsWaiting) {
    // Command (1 set, 1 get) and two pieces (2 transfers each) arrive.
    device.failTransfersAfter = 2 + 2 * 2;
    std::vector<std::uint8_t> dest(60);
    EXPECT_FALSE(bw::ReadBlock4(link, host, 0, 60, dest.data(), dest.size()));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(dest[i], device.memory[i]);
    for (int i = 12; i < 60; ++i) EXPECT_EQ(dest[i], 0xFF);
    // One full handshake of 5 failed sets (no polls follow a failed set), then no more.
    EXPECT_EQ(platform.transfers.size(), 6u + 5u);
}

TEST_F(Block4, BlocksOutsideTheDestinationOrFieldRangeAreRefused) {
    std::vector<std::uint8_t> dest(8, 0);
    const std::uint8_t src[1] = {};
    EXPECT_FALSE(bw::ReadBlock4(link, host, 0, 12, dest.data(), dest.size()));
    EXPECT_EQ(dest, std::vector<std::uint8_t>(8, 0xFF));
    EXPECT_FALSE(bw::ReadBlock4(link, host, 0, -1, dest.data(), dest.size()));
    EXPECT_FALSE(bw::WriteBlock4(link, host, 0x10000, 0, src));
    EXPECT_FALSE(bw::WriteBlock4(link, host, 0, 0x10000, src));
    EXPECT_TRUE(platform.transfers.empty());
}

}  // namespace
