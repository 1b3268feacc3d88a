// The link and both protocols against the simulated controller.

#include <gtest/gtest.h>

#include <vector>

#include "device/link.h"
#include "device/report4.h"
#include "device/report40.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"

namespace {

using bw::ParseScenario;
using bw::Scenario;
using bw::SimulatedPlatform;
using bw::test::RecordingHost;

std::vector<std::uint8_t> Pattern(int seed) {
    std::vector<std::uint8_t> image(bw::kImageSize);
    for (int i = 0; i < bw::kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * seed + 1);
    return image;
}

TEST(LinkOnSimulator, CountsEveryInterfaceAndOpensTheConfigurationOne) {
    SimulatedPlatform platform(ParseScenario("others=3,pointer=1"));
    bw::Link link(platform);
    EXPECT_EQ(link.CountHidInterfaces(), 5);
    EXPECT_EQ(platform.openHandleCount(), 0);
    ASSERT_TRUE(link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104));
    EXPECT_EQ(platform.openHandleCount(), 1);
    link.ForgetHandles();
    EXPECT_EQ(platform.openHandleCount(), 0);
}

TEST(LinkOnSimulator, OpensOnlyTheMouseOnThePortGivenAndProbesNoOther) {
    for (const int ic : {0, 1}) {
        SCOPED_TRACE(ic);
        SimulatedPlatform platform(ParseScenario("slots=3,ic=" + std::to_string(ic)));
        bw::Link link(platform);
        std::int32_t release = 0x0100;
        const bool opened = ic == 0 ? link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104, "port2")
                                    : link.OpenDeviceReport40(0x3A5C, 0x0C37, release, "port2");
        ASSERT_TRUE(opened);
        EXPECT_EQ(platform.openHandleCount(), 1);
        bw::Report frame{0x04, 0x03};
        if (ic == 0) link.SetFeature4(link.Report4Handle, frame);
        // The probes of the second type and the command of the first: port 2's interface.
        ASSERT_FALSE(platform.transfers().empty());
        for (const auto& t : platform.transfers()) EXPECT_EQ(t.iface, 1);
        EXPECT_FALSE(link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104, "port9"));
    }
}

TEST(LinkOnSimulator, Report4ImageRoundTripInBlocks) {
    SimulatedPlatform platform(ParseScenario("ic=0,ack-after=2"));
    bw::Link link(platform);
    RecordingHost host;
    ASSERT_TRUE(link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104));
    const auto image = Pattern(13);
    ASSERT_TRUE(bw::WriteBlock4(link, host, 0, bw::kImageSize, image.data()));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), platform.currentMouse()->memory().begin()));
    std::vector<std::uint8_t> back(bw::kImageSize);
    for (int k = 0; k < bw::kBlockCount; ++k) {
        ASSERT_TRUE(bw::ReadBlock4(link, host, k * 256, 256, back.data() + k * 256, 256));
    }
    EXPECT_EQ(back, image);
}

TEST(LinkOnSimulator, Report4LostPieceFailsTheRead) {
    SimulatedPlatform platform(ParseScenario("ic=0,lose-piece=3"));
    bw::Link link(platform);
    RecordingHost host;
    ASSERT_TRUE(link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104));
    platform.currentMouse()->memory().fill(0x00);
    std::vector<std::uint8_t> back(256);
    EXPECT_FALSE(bw::ReadBlock4(link, host, 0, 256, back.data(), back.size()));
    for (int i = 12; i < 18; ++i) EXPECT_EQ(back[i], 0xFF) << i;
    EXPECT_EQ(back[0], 0x00);
}

TEST(LinkOnSimulator, Report4UnacknowledgedWriteCommandFails) {
    SimulatedPlatform platform(ParseScenario("ic=0,nack=6"));
    bw::Link link(platform);
    RecordingHost host;
    ASSERT_TRUE(link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104));
    const auto image = Pattern(3);
    EXPECT_FALSE(bw::WriteBlock4(link, host, 160, 12, image.data()));
    EXPECT_EQ(host.elapsedUs, 300'000);
}

TEST(LinkOnSimulator, Report40SplitInterfacesRoundTrip) {
    SimulatedPlatform platform(ParseScenario("ic=1,split=1,pointer=1,release=0123"));
    bw::Link link(platform);
    RecordingHost host;
    std::int32_t version = 0x0100;
    ASSERT_TRUE(link.OpenDeviceReport40(0x3A5C, 0x0C37, version));
    EXPECT_EQ(version, 0x0123);
    EXPECT_NE(link.Report40Handle, link.Report41Handle);
    EXPECT_EQ(platform.openHandleCount(), 2);
    const auto image = Pattern(29);
    ASSERT_TRUE(bw::WriteBlock40(link, host, 0, bw::kImageSize, image.data()));
    std::vector<std::uint8_t> back(bw::kImageSize);
    ASSERT_TRUE(bw::ReadBlock40(link, host, 0, bw::kImageSize, back.data(), back.size()));
    EXPECT_EQ(back, image);
}

TEST(LinkOnSimulator, Report40LostPieceAndPulledMouseAreFailures) {
    {
        SimulatedPlatform platform(ParseScenario("ic=2,lose-piece=2"));
        bw::Link link(platform);
        RecordingHost host;
        std::int32_t version = 0;
        ASSERT_TRUE(link.OpenDeviceReport40(0x3A5C, 0x0C37, version));
        std::vector<std::uint8_t> back(bw::kImageSize, 0);
        EXPECT_FALSE(bw::ReadBlock40(link, host, 0, bw::kImageSize, back.data(), back.size()));
        EXPECT_EQ(host.delays, 292);
    }
    {
        // The probes take two transfers, the command one more, then one piece.
        SimulatedPlatform platform(ParseScenario("ic=1,fail-after=4"));
        bw::Link link(platform);
        RecordingHost host;
        std::int32_t version = 0;
        ASSERT_TRUE(link.OpenDeviceReport40(0x3A5C, 0x0C37, version));
        const auto image = Pattern(5);
        const long before = platform.transferCount();
        EXPECT_FALSE(bw::WriteBlock40(link, host, 0, bw::kImageSize, image.data()));
        EXPECT_EQ(platform.transferCount() - before, 3);
    }
}

// Every third get moves only the report ID. Such a reply may have been the piece's one
// answer, so the piece counts as lost on both protocols: the read fails rather than pass
// stale bytes (report 0x41) or a piece shifted by a resend (report 4).
TEST(LinkOnSimulator, ShortRepliesAreNeverTakenForData) {
    const auto image = Pattern(7);
    for (int ic : {0, 1}) {
        Scenario scenario = ParseScenario("short-reply=3");
        scenario.ic = ic;
        scenario.memory.emplace();
        std::copy(image.begin(), image.end(), scenario.memory->begin());
        SimulatedPlatform platform(scenario);
        bw::Link link(platform);
        RecordingHost host;
        std::int32_t version = 0x0104;
        ASSERT_TRUE(ic == 0 ? link.OpenDeviceReport4(0x3A5C, 0x0C21, version)
                            : link.OpenDeviceReport40(0x3A5C, 0x0C37, version));
        std::vector<std::uint8_t> back(bw::kImageSize, 0);
        const bool read =
            ic == 0 ? bw::ReadBlock4(link, host, 0, bw::kImageSize, back.data(), back.size())
                    : bw::ReadBlock40(link, host, 0, bw::kImageSize, back.data(), back.size());
        EXPECT_FALSE(read) << ic;
        // Pieces that came whole hold the memory; the lost ones stay 0xFF.
        int lost = 0;
        for (int i = 0; i < bw::kImageSize; ++i) {
            if (back[i] != image[i]) {
                EXPECT_EQ(back[i], 0xFF) << ic << " byte " << i;
                ++lost;
            }
        }
        EXPECT_GT(lost, 0) << ic;
    }
}

}  // namespace
