// A set-feature that fails never reaches the mouse, which still holds its answer to the
// previous frame. Taking that answer for the lost frame's made blocks read shifted data
// (and writes drop a piece) while the routine reported success.

#include <gtest/gtest.h>

#include <vector>

#include "device/link.h"
#include "device/report4.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"

namespace {

using bw::test::RecordingHost;

// Fails the chosen sets of one report-4 command (1-based count over that command).
class FailingSets : public bw::HidPlatform {
  public:
    FailingSets(bw::SimulatedPlatform& sim, int command, std::vector<int> failing)
        : sim_(sim), command_(command), failing_(std::move(failing)) {}

    std::vector<bw::HidInterfaceInfo> enumerate() override { return sim_.enumerate(); }
    bw::HidHandle open(const std::string& p, std::string* e) override { return sim_.open(p, e); }
    void close(bw::HidHandle h) override { sim_.close(h); }
    int setFeature(bw::HidHandle h, const std::uint8_t* d, std::size_t n) override {
        if (d[0] == 0x04 && d[1] == command_) {
            ++seen_;
            for (int f : failing_) {
                if (f == seen_) return -1;
            }
        }
        return sim_.setFeature(h, d, n);
    }
    int getFeature(bw::HidHandle h, std::uint8_t* d, std::size_t n) override {
        ++gets;
        return sim_.getFeature(h, d, n);
    }

    int gets = 0;

  private:
    bw::SimulatedPlatform& sim_;
    int command_;
    std::vector<int> failing_;
    int seen_ = 0;
};

struct Rig {
    Rig(const char* scenario, int command, std::vector<int> failing)
        : sim(bw::ParseScenario(scenario)), platform(sim, command, std::move(failing)) {
        for (int i = 0; i < bw::kImageSize; ++i) {
            sim.currentMouse()->memory()[i] = static_cast<std::uint8_t>(i * 11 + 3);
        }
        opened = link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104);
    }
    bw::SimulatedPlatform sim;
    FailingSets platform;
    bw::Link link{platform};
    RecordingHost host;
    bool opened = false;
};

TEST(Report4FailedSet, ReadDoesNotTakeThePreviousPieceForTheLostOne) {
    // Third piece command lost outright; with late answers, a lost resend too.
    for (const char* scenario : {"ic=0", "ic=0,ack-after=3"}) {
        for (const std::vector<int>& failing : {std::vector<int>{3}, std::vector<int>{3, 5, 9}}) {
            Rig rig(scenario, 0x05, failing);
            ASSERT_TRUE(rig.opened);
            std::vector<std::uint8_t> block(256);
            const bool ok = bw::ReadBlock4(rig.link, rig.host, 0x100, 256, block.data(), 256);
            const auto& memory = rig.sim.currentMouse()->memory();
            const std::vector<std::uint8_t> expected(memory.begin() + 0x100,
                                                     memory.begin() + 0x200);
            // Either the block is right, or the read says it is not.
            EXPECT_TRUE(ok) << scenario;
            EXPECT_EQ(block, expected) << scenario << " failing sets " << failing.size();
        }
    }
}

TEST(Report4FailedSet, WriteResendsTheLostPieceInItsPlace) {
    Rig rig("ic=0,ack-after=2", 0x07, {4});
    ASSERT_TRUE(rig.opened);
    std::vector<std::uint8_t> data(60);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0xA0 + i);
    ASSERT_TRUE(bw::WriteBlock4(rig.link, rig.host, 0x200, 60, data.data()));
    const auto& memory = rig.sim.currentMouse()->memory();
    EXPECT_EQ(std::vector<std::uint8_t>(memory.begin() + 0x200, memory.begin() + 0x200 + 60), data);
}

TEST(Report4FailedSet, NoPollFollowsAFailedSetButItsTimeStillPasses) {
    Rig rig("ic=0", 0x01, {1, 2, 3, 4, 5});
    ASSERT_TRUE(rig.opened);
    EXPECT_FALSE(bw::SendCommand4(rig.link, rig.host, 0x01));
    EXPECT_EQ(rig.platform.gets, 0);
    EXPECT_EQ(rig.host.elapsedUs, 300'000);
}

}  // namespace
