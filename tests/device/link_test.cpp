#include "device/link.h"

#include <gtest/gtest.h>

#include "device/fake_hid.h"

namespace {

using bw::kInvalidHandle;
using bw::Link;
using bw::test::FakeHidPlatform;

constexpr std::uint16_t kVid = 0x3A5C;
constexpr std::uint16_t kPid4 = 0x0C21;
constexpr std::uint16_t kPid40 = 0x0C37;

TEST(LinkWalk, EmptyMachineCountsZeroAndOpensNothing) {
    FakeHidPlatform platform;
    Link link(platform);
    std::int32_t version = 0x0100;
    EXPECT_EQ(link.CountHidInterfaces(), 0);
    EXPECT_FALSE(link.OpenDeviceReport4(kVid, kPid4, 0x0104));
    EXPECT_FALSE(link.OpenDeviceReport40(kVid, kPid40, version));
    EXPECT_EQ(version, 0x0100);
    EXPECT_FALSE(link.AnyDeviceOpen());
}

TEST(LinkWalk, CountsOnlyOpenableInterfacesAndClosesThem) {
    FakeHidPlatform platform;
    platform.add("a", 1, 2, 3, 0);
    platform.add("locked", 1, 2, 3, 8, false);
    platform.add("b", kVid, kPid4, 0x0104, 8);
    Link link(platform);
    EXPECT_EQ(link.CountHidInterfaces(), 2);
    EXPECT_TRUE(platform.openHandles.empty());
    EXPECT_TRUE(platform.badCloses.empty());
    EXPECT_TRUE(platform.transfers.empty());
}

// A backend that opened the interfaces while enumerating says so; the count then opens none.
TEST(LinkWalk, CountTakesTheOpenResultOfTheEnumeration) {
    FakeHidPlatform platform;
    platform.add("a", 1, 2, 3, 0);
    platform.add("b", 1, 2, 3, 8);
    platform.add("c", 1, 2, 3, 8);
    platform.interfaces[0].info.openable = true;
    platform.interfaces[1].info.openable = false;
    Link link(platform);
    EXPECT_EQ(link.CountHidInterfaces(), 2);
    EXPECT_EQ(platform.opens, 1);  // only "c", whose result was not known
}

TEST(LinkOpen4, MatchesOnlyIdsReleaseAndEightByteFeatures) {
    struct Case {
        const char* name;
        std::uint16_t pid, release, featureLength;
        bool attributesRead;
        bool matches;
    };
    const Case cases[] = {
        {"exact", kPid4, 0x0104, 8, true, true},
        {"release 0x0105", kPid4, 0x0105, 8, true, false},
        {"feature length 0", kPid4, 0x0104, 0, true, false},
        {"feature length 9", kPid4, 0x0104, 9, true, false},
        {"other product", kPid40, 0x0104, 8, true, false},
        {"attributes unreadable", kPid4, 0x0104, 8, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHidPlatform platform;
        platform.add("m", kVid, c.pid, c.release, c.featureLength);
        platform.interfaces[0].info.attributesRead = c.attributesRead;
        Link link(platform);
        EXPECT_EQ(link.OpenDeviceReport4(kVid, kPid4, 0x0104), c.matches);
        EXPECT_EQ(link.Report4Handle != kInvalidHandle, c.matches);
        EXPECT_EQ(platform.openHandles.size(), c.matches ? 1u : 0u);
        if (c.matches) {
            EXPECT_EQ(link.FeatureLength4, 8);
        }
    }
}

TEST(LinkOpen4, IdsAreComparedWidenedWithoutSign) {
    FakeHidPlatform platform;
    platform.add("m", 0xFFFF, 0x8000, 0x0104);
    Link link(platform);
    EXPECT_FALSE(link.OpenDeviceReport4(-1, 0x8000, 0x0104));
    EXPECT_TRUE(link.OpenDeviceReport4(0xFFFF, 0x8000, 0x0104));
}

TEST(LinkOpen4, PointerInterfaceBesideTheFeatureInterfaceIsSkipped) {
    FakeHidPlatform platform;
    platform.add("pointer", kVid, kPid4, 0x0104, 0);
    platform.add("config", kVid, kPid4, 0x0104, 8);
    Link link(platform);
    ASSERT_TRUE(link.OpenDeviceReport4(kVid, kPid4, 0x0104));
    EXPECT_EQ(platform.pathOf(link.Report4Handle), "config");
    EXPECT_EQ(platform.openHandles.size(), 1u);
}

TEST(LinkOpen4, LastMatchWinsAndTheEarlierHandleIsClosed) {
    FakeHidPlatform platform;
    platform.add("first", kVid, kPid4, 0x0104);
    platform.add("second", kVid, kPid4, 0x0104);
    Link link(platform);
    ASSERT_TRUE(link.OpenDeviceReport4(kVid, kPid4, 0x0104));
    EXPECT_EQ(platform.pathOf(link.Report4Handle), "second");
    EXPECT_EQ(platform.openHandles.size(), 1u);

    // A later open replaces the handle and closes the one it held.
    const auto before = link.Report4Handle;
    ASSERT_TRUE(link.OpenDeviceReport4(kVid, kPid4, 0x0104));
    EXPECT_NE(link.Report4Handle, before);
    EXPECT_EQ(platform.openHandles.size(), 1u);
    EXPECT_TRUE(platform.badCloses.empty());
}

TEST(LinkOpen4, NoMatchKeepsTheHandleOfAnEarlierOpen) {
    FakeHidPlatform platform;
    platform.add("m", kVid, kPid4, 0x0104);
    Link link(platform);
    ASSERT_TRUE(link.OpenDeviceReport4(kVid, kPid4, 0x0104));
    const auto kept = link.Report4Handle;
    EXPECT_FALSE(link.OpenDeviceReport4(kVid, kPid4, 0x0105));
    EXPECT_EQ(link.Report4Handle, kept);
    EXPECT_EQ(platform.openHandles.count(kept), 1u);
}

// Interfaces with 8-byte features that accept or refuse each probe.
struct Probe40Platform : FakeHidPlatform {
    Probe40Platform() {
        responder = [this](const std::string& path, bool isSet, std::uint8_t* data, std::size_t) {
            if (isSet) return data[0] == 0x40 && takes40.count(path) > 0;
            if (data[0] != 0x41 || gives41.count(path) == 0) return false;
            data[1] = 0x5A;  // a reply the open routine leaves unused
            return true;
        };
    }
    std::set<std::string> takes40, gives41;
};

TEST(LinkOpen40, OneInterfaceCarryingBothReportsHoldsBothHandles) {
    Probe40Platform platform;
    platform.add("pointer", kVid, kPid40, 0x0100, 0);
    platform.add("config", kVid, kPid40, 0x0107);
    platform.takes40 = {"config"};
    platform.gives41 = {"config"};
    Link link(platform);
    std::int32_t version = 0x0100;
    ASSERT_TRUE(link.OpenDeviceReport40(kVid, kPid40, version));
    EXPECT_EQ(version, 0x0107);
    EXPECT_EQ(link.FeatureLength40, 8);
    EXPECT_EQ(link.Report40Handle, link.Report41Handle);
    EXPECT_EQ(platform.pathOf(link.Report40Handle), "config");

    ASSERT_EQ(platform.transfers.size(), 2u);
    EXPECT_EQ(platform.transfers[0].data,
              (std::vector<std::uint8_t>{0x40, 0x0D, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(platform.transfers[0].isSet);
    EXPECT_FALSE(platform.transfers[1].isSet);
    EXPECT_EQ(platform.transfers[1].data[0], 0x41);

    // The shared handle is closed once, when the last variable lets go of it.
    link.ForgetHandles();
    EXPECT_TRUE(platform.openHandles.empty());
    EXPECT_EQ(platform.closes, 2);  // the pointer interface, then the shared handle
    EXPECT_TRUE(platform.badCloses.empty());
}

TEST(LinkOpen40, SeparateInterfacesEndInTwoHandles) {
    Probe40Platform platform;
    platform.add("commands", kVid, kPid40, 0x0100);
    platform.add("data", kVid, kPid40, 0x0100);
    platform.takes40 = {"commands"};
    platform.gives41 = {"data"};
    Link link(platform);
    std::int32_t version = 0;
    ASSERT_TRUE(link.OpenDeviceReport40(kVid, kPid40, version));
    EXPECT_EQ(platform.pathOf(link.Report40Handle), "commands");
    EXPECT_EQ(platform.pathOf(link.Report41Handle), "data");
    EXPECT_EQ(platform.openHandles.size(), 2u);
}

TEST(LinkOpen40, RefusedCommandProbeLeavesTheMouseUnusable) {
    Probe40Platform platform;
    platform.add("config", kVid, kPid40, 0x0102);
    platform.gives41 = {"config"};
    Link link(platform);
    std::int32_t version = 0x0100;
    EXPECT_FALSE(link.OpenDeviceReport40(kVid, kPid40, version));
    EXPECT_EQ(version, 0x0102);  // written for every match
    EXPECT_EQ(link.Report40Handle, kInvalidHandle);
    EXPECT_EQ(platform.pathOf(link.Report41Handle), "config");
}

TEST(LinkOpen40, BothProbesRefusedClosesTheHandle) {
    Probe40Platform platform;
    platform.add("config", kVid, kPid40, 0x0100);
    Link link(platform);
    std::int32_t version = 0;
    EXPECT_FALSE(link.OpenDeviceReport40(kVid, kPid40, version));
    EXPECT_FALSE(link.AnyDeviceOpen());
    EXPECT_TRUE(platform.openHandles.empty());
}

TEST(LinkOpen40, ReleaseIsNotComparedButLengthAndIdsAre) {
    Probe40Platform platform;
    platform.add("nine", kVid, kPid40, 0x0100, 9);
    platform.add("other", kVid, kPid4, 0x0100);
    platform.takes40 = platform.gives41 = {"nine", "other"};
    Link link(platform);
    std::int32_t version = 0x0777;
    EXPECT_FALSE(link.OpenDeviceReport40(kVid, kPid40, version));
    EXPECT_EQ(version, 0x0777);
    EXPECT_TRUE(platform.transfers.empty());
    EXPECT_TRUE(platform.openHandles.empty());
}

TEST(LinkHandles, DroppedHandlesAreClosedExactlyOnce) {
    Probe40Platform platform;
    platform.add("r4", kVid, kPid4, 0x0104);
    platform.add("r40", kVid, kPid40, 0x0100);
    platform.takes40 = platform.gives41 = {"r40"};
    {
        Link link(platform);
        std::int32_t version = 0;
        ASSERT_TRUE(link.OpenDeviceReport4(kVid, kPid4, 0x0104));
        ASSERT_TRUE(link.OpenDeviceReport40(kVid, kPid40, version));
        EXPECT_EQ(platform.openHandles.size(), 2u);
    }  // the link closes what it holds when it goes
    EXPECT_TRUE(platform.openHandles.empty());
    EXPECT_TRUE(platform.badCloses.empty());
}

TEST(LinkPrimitives, InvalidHandleFailsWithoutTouchingThePlatform) {
    FakeHidPlatform platform;
    Link link(platform);
    bw::Report buffer{0x04, 1, 2, 3, 4, 5, 6, 7};
    const bw::Report before = buffer;
    EXPECT_FALSE(link.SetFeature4(kInvalidHandle, buffer));
    EXPECT_FALSE(link.GetFeature4(kInvalidHandle, buffer));
    EXPECT_FALSE(link.SetFeature40(kInvalidHandle, buffer));
    EXPECT_FALSE(link.GetFeature40(kInvalidHandle, buffer));
    EXPECT_EQ(buffer, before);
    EXPECT_TRUE(platform.transfers.empty());
}

TEST(LinkPrimitives, TransfersUseTheRecordedFeatureLength) {
    FakeHidPlatform platform;
    platform.add("m", kVid, kPid4, 0x0104);
    Link link(platform);
    ASSERT_TRUE(link.OpenDeviceReport4(kVid, kPid4, 0x0104));
    bw::Report buffer{0x04, 9};
    EXPECT_TRUE(link.SetFeature4(link.Report4Handle, buffer));
    ASSERT_EQ(platform.transfers.size(), 1u);
    EXPECT_EQ(platform.transfers[0].data.size(), 8u);
    // Nothing opened for the other protocol: its length is unknown, so no transfer.
    EXPECT_FALSE(link.SetFeature40(link.Report4Handle, buffer));
    EXPECT_EQ(platform.transfers.size(), 1u);
}

// A transfer counts only when the whole report moved, in both directions and protocols.
TEST(LinkPrimitives, ShortTransfersFail) {
    for (int moved : {0, 1, 7, 9}) {
        FakeHidPlatform platform;
        platform.add("m", kVid, kPid40, 0x0100);
        Link link(platform);
        std::int32_t version = 0;
        ASSERT_TRUE(link.OpenDeviceReport40(kVid, kPid40, version));
        link.FeatureLength4 = 8;
        platform.movedBytes = moved;
        bw::Report buffer{0x40, 1};
        EXPECT_FALSE(link.SetFeature40(link.Report40Handle, buffer)) << moved;
        EXPECT_FALSE(link.GetFeature40(link.Report41Handle, buffer)) << moved;
        EXPECT_FALSE(link.SetFeature4(link.Report40Handle, buffer)) << moved;
        EXPECT_FALSE(link.GetFeature4(link.Report40Handle, buffer)) << moved;
        platform.movedBytes = 8;
        EXPECT_TRUE(link.GetFeature40(link.Report41Handle, buffer)) << moved;
    }
}

}  // namespace
