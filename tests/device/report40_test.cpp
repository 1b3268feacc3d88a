#include "device/report40.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/fake_hid.h"
#include "support/recording_host.h"

namespace {

using bw::kInvalidHandle;
using bw::test::FakeHidPlatform;
using bw::test::RecordingHost;
using Bytes = std::vector<std::uint8_t>;

// A report-0x40/0x41 mouse on two interfaces; reads answer from a memory.
struct Report40Fixture : ::testing::Test {
    void SetUp() override {
        platform.add("commands", 0x3A5C, 0x0C37, 0x0100);
        platform.add("data", 0x3A5C, 0x0C37, 0x0100);
        for (int i = 0; i < 2048; ++i) memory[i] = static_cast<std::uint8_t>(i * 5 + 1);
        platform.responder = [this](const std::string& path, bool isSet, std::uint8_t* data,
                                    std::size_t) {
            ++transfers;
            if (failAfter >= 0 && transfers > failAfter) return false;
            if (isSet && data[0] == 0x40) {
                if (path != "commands") return false;
                if (data[1] == 0x09) address = (data[2] << 8) | data[3];
                return true;
            }
            if (path != "data" || data[0] != 0x41) return false;
            if (isSet) return true;
            ++gets;
            if (gets == loseGet) return false;
            for (int i = 0; i < 7; ++i) data[1 + i] = memory[(address + i) % 2048];
            address += 7;
            return true;
        };
        std::int32_t version = 0;
        ASSERT_TRUE(link.OpenDeviceReport40(0x3A5C, 0x0C37, version));
        platform.transfers.clear();
        transfers = gets = address = 0;
    }
    std::vector<bw::test::FakeTransfer> onPath(const std::string& path) const {
        std::vector<bw::test::FakeTransfer> out;
        for (const auto& t : platform.transfers) {
            if (t.path == path) out.push_back(t);
        }
        return out;
    }

    FakeHidPlatform platform;
    bw::Link link{platform};
    RecordingHost host;
    std::array<std::uint8_t, 2048> memory{};
    int address = 0;
    int transfers = 0;
    int gets = 0;
    int loseGet = 0;  // 1-based data get that fails
    int failAfter = -1;
};

using Protocol40 = Report40Fixture;

TEST_F(Protocol40, FactoryRecordWriteFramesCarryOverTheFirstPiece) {
    const std::uint8_t src[12] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5,
                                  0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB};
    ASSERT_TRUE(bw::WriteBlock40(link, host, 160, 12, src));
    const auto commands = onPath("commands");
    const auto data = onPath("data");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].data, (Bytes{0x40, 0x07, 0x00, 0xA0, 0x00, 0x0C, 0x00, 0x00}));
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0].data, (Bytes{0x41, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}));
    EXPECT_EQ(data[1].data, (Bytes{0x41, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xA5, 0xA6}));
    EXPECT_EQ(host.elapsedUs, 0);  // pieces follow back to back
}

TEST_F(Protocol40, WholeImageReadIs293PiecesPacedBy500Us) {
    std::vector<std::uint8_t> dest(2048, 0);
    ASSERT_TRUE(bw::ReadBlock40(link, host, 0, 2048, dest.data(), dest.size()));
    const auto commands = onPath("commands");
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].data, (Bytes{0x40, 0x09, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00}));
    EXPECT_EQ(onPath("data").size(), 293u);
    EXPECT_EQ(host.delays, 293);
    EXPECT_EQ(host.elapsedUs, 293 * 500);
    EXPECT_TRUE(std::equal(dest.begin(), dest.end(), memory.begin()));
    EXPECT_EQ(host.lastProgress, 293);
}

TEST_F(Protocol40, AddressesAndLengthsTravelHighByteFirst) {
    std::vector<std::uint8_t> block(256, 0x11);
    ASSERT_TRUE(bw::WriteBlock40(link, host, 0x0700, 256, block.data()));
    EXPECT_EQ(onPath("commands").at(0).data,
              (Bytes{0x40, 0x07, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(onPath("data").size(), 37u);
}

TEST_F(Protocol40, ZeroLengthSendsOnlyTheCommand) {
    std::vector<std::uint8_t> dest(4, 0);
    EXPECT_TRUE(bw::WriteBlock40(link, host, 0, 0, nullptr));
    EXPECT_TRUE(bw::ReadBlock40(link, host, 0, 0, dest.data(), dest.size()));
    EXPECT_EQ(platform.transfers.size(), 2u);
    EXPECT_EQ(dest, Bytes(4, 0xFF));
}

TEST_F(Protocol40, LostPieceReadsFFWithoutAWaitAndFailsTheRead) {
    loseGet = 2;
    std::vector<std::uint8_t> dest(21, 0);
    EXPECT_FALSE(bw::ReadBlock40(link, host, 0, 21, dest.data(), dest.size()));
    EXPECT_EQ(host.delays, 2);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(dest[i], memory[i]);
    for (int i = 7; i < 14; ++i) EXPECT_EQ(dest[i], 0xFF);
    EXPECT_EQ(onPath("data").size(), 3u);  // the read goes on
}

TEST_F(Protocol40, WriteStopsAtTheFirstFailedPiece) {
    failAfter = 2;  // the command and one piece
    std::vector<std::uint8_t> src(28, 0x33);
    EXPECT_FALSE(bw::WriteBlock40(link, host, 0, 28, src.data()));
    EXPECT_EQ(onPath("data").size(), 2u);
}

TEST_F(Protocol40, MissingDataHandleFailsBeforeAnyCommand) {
    // Only the command interface is held.
    FakeHidPlatform only;
    only.add("commands", 0x3A5C, 0x0C37, 0x0100);
    only.responder = [](const std::string&, bool isSet, std::uint8_t*, std::size_t) {
        return isSet;
    };
    bw::Link half(only);
    std::int32_t version = 0;
    EXPECT_FALSE(half.OpenDeviceReport40(0x3A5C, 0x0C37, version));
    ASSERT_NE(half.Report40Handle, kInvalidHandle);
    ASSERT_EQ(half.Report41Handle, kInvalidHandle);
    only.transfers.clear();

    std::vector<std::uint8_t> dest(12, 0);
    const std::uint8_t src[12] = {};
    EXPECT_FALSE(bw::WriteBlock40(half, host, 160, 12, src));
    EXPECT_FALSE(bw::ReadBlock40(half, host, 160, 12, dest.data(), dest.size()));
    EXPECT_EQ(dest, Bytes(12, 0xFF));
    EXPECT_TRUE(only.transfers.empty());
    EXPECT_FALSE(bw::FetchPiece41(half, host));
    EXPECT_EQ(half.Piece41, (bw::Piece{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(host.delays, 0);
}

TEST_F(Protocol40, InvalidCommandHandleSendsNothing) {
    link.ForgetHandles();
    std::vector<std::uint8_t> dest(8, 0);
    EXPECT_FALSE(bw::SendCommand40(link, 0x07));
    const std::uint8_t piece[7] = {};
    EXPECT_FALSE(bw::SendPiece41(link, piece));
    EXPECT_FALSE(bw::ReadBlock40(link, host, 0, 8, dest.data(), dest.size()));
    EXPECT_EQ(dest, Bytes(8, 0xFF));
    EXPECT_TRUE(platform.transfers.empty());
}

}  // namespace
