#include <gtest/gtest.h>

#include "production/polling.h"

namespace {

using bw::CountSamples;
using bw::DecidePresence;
using bw::PresenceChange;

CountSamples Steady(int count) {
    CountSamples s{};
    for (auto& p : s) p = {count, count};
    return s;
}

TEST(DecidePresence, ChangeIsAcceptedOnlyWithTwoStablePairs) {
    EXPECT_EQ(DecidePresence(Steady(5), 5).change, PresenceChange::None);
    EXPECT_EQ(DecidePresence(Steady(6), 5).change, PresenceChange::Arrived);
    EXPECT_EQ(DecidePresence(Steady(4), 5).change, PresenceChange::Removed);

    // Unstable in 4 of 5 pairs: examined again next tick.
    CountSamples shaky{{{6, 7}, {7, 6}, {6, 7}, {7, 6}, {6, 6}}};
    EXPECT_EQ(DecidePresence(shaky, 5).change, PresenceChange::Unstable);
    // Unstable in 3 of 5: accepted.
    shaky[0] = {6, 6};
    EXPECT_EQ(DecidePresence(shaky, 5).change, PresenceChange::Arrived);
}

TEST(DecidePresence, CurrentCountIsFirstOfFifthPairEvenWhenOthersDiffer) {
    CountSamples s{{{3, 3}, {3, 3}, {9, 9}, {9, 9}, {7, 8}}};
    const auto d = DecidePresence(s, 7);
    EXPECT_EQ(d.current, 7);
    EXPECT_EQ(d.change, PresenceChange::None);
    EXPECT_EQ(DecidePresence(s, 8).change, PresenceChange::Removed);
}

TEST(NextProductNumber, GrowsPastSixDigitsAndKeepsCounting) {
    EXPECT_EQ(bw::NextProductNumber(0x000009), 0xA);
    EXPECT_EQ(bw::NextProductNumber(0xFFFFFF), 0x1000000);
    EXPECT_EQ(bw::NextProductNumber(-1), 0);
}

}  // namespace
