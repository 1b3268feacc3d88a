#include "production/identity_lock.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/image_identity.h"
#include "production/ic_type_change.h"

namespace {

using bw::LogoAction;

// The lock never touches the device; a platform with no interfaces serves.
class NoDevices : public bw::HidPlatform {
  public:
    std::vector<bw::HidInterfaceInfo> enumerate() override { return {}; }
    bw::HidHandle open(const std::string&, std::string*) override { return bw::kInvalidHandle; }
    int setFeature(bw::HidHandle, const std::uint8_t*, std::size_t) override { return -1; }
    int getFeature(bw::HidHandle, std::uint8_t*, std::size_t) override { return -1; }
    void close(bw::HidHandle) override {}
};

class IdentityLock : public ::testing::Test {
  protected:
    // Double-clicks until the dialog is asked for; returns how many it took.
    int ClicksUntilPrompt() {
        for (int n = 1; n <= 20; ++n) {
            if (bw::OnLogoDoubleClick(station) == LogoAction::AskPassword) return n;
        }
        return -1;
    }

    NoDevices platform;
    bw::StationState station;
    bw::MouseSession state{platform};
};

TEST_F(IdentityLock, FifthDoubleClickAsksAndOnlyTheExactPasswordUnlocks) {
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(bw::OnLogoDoubleClick(station), LogoAction::Nothing) << "double-click " << n;
    }
    EXPECT_EQ(bw::OnLogoDoubleClick(station), LogoAction::AskPassword);
    EXPECT_EQ(station.LogoClickCount, 5);

    // Wrong, empty, wrong case, a prefix, cancelled right text: nothing changes.
    EXPECT_FALSE(bw::OnPasswordEntered(station, true, "wrong"));
    EXPECT_FALSE(bw::OnPasswordEntered(station, true, ""));
    EXPECT_FALSE(bw::OnPasswordEntered(station, true, "glimmerqx"));
    EXPECT_FALSE(bw::OnPasswordEntered(station, true, "GlimmerQX "));
    EXPECT_FALSE(bw::OnPasswordEntered(station, false, "GlimmerQX"));
    EXPECT_FALSE(station.VidPidUnlocked);
    EXPECT_EQ(station.LogoClickCount, 5);

    // After a refusal the dialog comes again on the tenth double-click.
    EXPECT_EQ(ClicksUntilPrompt(), 5);
    EXPECT_TRUE(bw::OnPasswordEntered(station, true, "GlimmerQX"));
    EXPECT_TRUE(station.VidPidUnlocked);
}

TEST_F(IdentityLock, DoubleClickWhileUnlockedLocksWithoutCounting) {
    EXPECT_EQ(ClicksUntilPrompt(), 5);
    ASSERT_TRUE(bw::OnPasswordEntered(station, true, bw::kUnlockPassword));

    EXPECT_EQ(bw::OnLogoDoubleClick(station), LogoAction::Locked);
    EXPECT_FALSE(station.VidPidUnlocked);
    EXPECT_EQ(station.LogoClickCount, 5);

    // The count goes on from 5, so the dialog comes on the fifth double-click after the lock.
    EXPECT_EQ(ClicksUntilPrompt(), 5);
    EXPECT_EQ(station.LogoClickCount, 10);
}

TEST_F(IdentityLock, CountPersistsAcrossAPartialRun) {
    // Three clicks, then two more: the prompt comes on the fifth overall, not after five new ones.
    for (int n = 0; n < 3; ++n) bw::OnLogoDoubleClick(station);
    EXPECT_EQ(ClicksUntilPrompt(), 2);
}

class IcTypeChange : public IdentityLock {};

TEST_F(IcTypeChange, ForgetsLoadedImageAndPassCountButNotTheLock) {
    bw::Image image{};
    image[0] = 0x5A;
    station.loadImage(image, "KVDE31X", bw::IdentifyImage(image));
    station.handImageTo(state);
    state.VerifyMismatch = true;
    station.PassCount = 17;
    station.LogoClickCount = 7;
    station.VidPidUnlocked = true;
    state.ChipCode = 3;

    bw::OnIcTypeChange(station, state, 1);

    EXPECT_TRUE(station.LoadedImageType.empty());
    EXPECT_FALSE(station.ImageLoaded);
    EXPECT_FALSE(state.HasImage);
    EXPECT_TRUE(state.ImageType.empty());  // the session takes no mouse until a new load
    EXPECT_FALSE(state.VerifyMismatch);
    EXPECT_EQ(station.PassCount, 0);
    EXPECT_EQ(station.LogoClickCount, 7);
    EXPECT_TRUE(station.VidPidUnlocked);
    EXPECT_EQ(state.ChipCode, 3);
    EXPECT_EQ(state.ImageBuffer[0], 0x5A);
}

TEST_F(IcTypeChange, RowsBringTheirIdentityAndOtherIndicesNone) {
    const auto first = bw::OnIcTypeChange(station, state, 0);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->vid, "3A5C");
    EXPECT_EQ(first->pid, "0C21");
    for (int index : {1, 2}) {
        const auto row = bw::OnIcTypeChange(station, state, index);
        ASSERT_TRUE(row.has_value()) << index;
        EXPECT_EQ(row->vid, "3A5C");
        EXPECT_EQ(row->pid, "0C37");
    }
    // No row selected (-1) or out of range: fields keep their texts, state still reset.
    station.PassCount = 4;
    EXPECT_FALSE(bw::OnIcTypeChange(station, state, -1).has_value());
    EXPECT_EQ(station.PassCount, 0);
    EXPECT_FALSE(bw::OnIcTypeChange(station, state, 3).has_value());
}

}  // namespace
