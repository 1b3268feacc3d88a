#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include "image/mouse_session.h"
#include "production/polling.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"

namespace bw::test {
namespace {

// Hides the last interface of chosen enumerations, so that the two counts of a sample pair
// can be made to disagree.
class FlickerPlatform : public HidPlatform {
  public:
    explicit FlickerPlatform(HidPlatform& inner) : inner_(inner) {}

    std::vector<HidInterfaceInfo> enumerate() override {
        auto list = inner_.enumerate();
        const std::size_t call = calls_++;
        if (call < hideAt.size() && hideAt[call] && !list.empty()) list.pop_back();
        return list;
    }
    HidHandle open(const std::string& path, std::string* error) override {
        return inner_.open(path, error);
    }
    int setFeature(HidHandle h, const std::uint8_t* d, std::size_t n) override {
        return inner_.setFeature(h, d, n);
    }
    int getFeature(HidHandle h, std::uint8_t* d, std::size_t n) override {
        return inner_.getFeature(h, d, n);
    }
    void close(HidHandle h) override { inner_.close(h); }

    // One entry per enumeration from now on; true hides the last interface.
    void script(std::vector<bool> hide) {
        hideAt = std::move(hide);
        calls_ = 0;
    }

  private:
    HidPlatform& inner_;
    std::vector<bool> hideAt;
    std::size_t calls_ = 0;
};

class TestHooks : public PollTickHooks {
  public:
    int icTypeIndex() override { return ic; }
    std::int32_t vid() override { return 0x3A5C; }
    std::int32_t pid() override { return ic == 0 ? 0x0C21 : 0x0C37; }
    std::int32_t settleMs() override {
        if (throwOnSettle) throw std::runtime_error("field does not convert");
        return settle;
    }
    bool lastResultWasWritePass() override { return lastPass; }
    void advanceProductNumber() override { ++advances; }
    void deviceRemoved() override { ++removals; }
    void deviceFound() override {
        ++found;
        if (onFound) onFound();
    }

    int ic = 0;
    std::int32_t settle = 100;
    bool lastPass = false;
    bool throwOnSettle = false;
    std::function<void()> onFound;
    int advances = 0;
    int removals = 0;
    int found = 0;
};

Scenario Line(int ic, int others) {
    Scenario s;
    s.ic = ic;
    s.others = others;
    return s;
}

struct TickRig {
    explicit TickRig(const Scenario& s) : sim(s), flicker(sim), state(flicker) { hooks.ic = s.ic; }
    PresenceDecision tick() { return RunPollTick(station, state, hooks, host); }

    SimulatedPlatform sim;
    FlickerPlatform flicker;
    StationState station;
    MouseSession state;
    TestHooks hooks;
    RecordingHost host;
};

TEST(RunPollTick, FirstTickTakesPresentInterfacesAsArrivalAndOpensByIcType) {
    TickRig first(Line(0, 2));
    EXPECT_EQ(first.tick().change, PresenceChange::Arrived);
    EXPECT_EQ(first.station.LastDeviceCount, 3);
    EXPECT_EQ(first.hooks.found, 1);
    EXPECT_NE(first.state.link.Report4Handle, kInvalidHandle);
    EXPECT_EQ(first.state.link.Report40Handle, kInvalidHandle);
    EXPECT_EQ(first.state.ExpectedVersion, 0x0104);
    // Nothing changed: no second open.
    EXPECT_EQ(first.tick().change, PresenceChange::None);
    EXPECT_EQ(first.hooks.found, 1);

    TickRig second(Line(2, 0));
    second.tick();
    EXPECT_EQ(second.hooks.found, 1);
    EXPECT_EQ(second.state.link.Report4Handle, kInvalidHandle);
    EXPECT_NE(second.state.link.Report40Handle, kInvalidHandle);
    EXPECT_NE(second.state.link.Report41Handle, kInvalidHandle);
}

TEST(RunPollTick, ArrivalWithUnknownIcTypeOrForeignIdentityIsAcceptedButOpensNothing) {
    TickRig outside(Line(0, 1));
    outside.hooks.ic = 3;
    EXPECT_EQ(outside.tick().change, PresenceChange::Arrived);
    EXPECT_EQ(outside.station.LastDeviceCount, 2);
    EXPECT_EQ(outside.hooks.found, 0);
    EXPECT_FALSE(outside.state.link.AnyDeviceOpen());

    // A report-0x40 mouse while the report-4 type is selected: not a target, not retried.
    TickRig wrong(Line(1, 0));
    wrong.hooks.ic = 0;
    wrong.tick();
    EXPECT_EQ(wrong.hooks.found, 0);
    EXPECT_EQ(wrong.tick().change, PresenceChange::None);
}

TEST(RunPollTick, RemovalForgetsAndClosesTheHandles) {
    TickRig rig(Line(0, 1));
    rig.tick();
    ASSERT_TRUE(rig.state.link.AnyDeviceOpen());
    ASSERT_GT(rig.sim.openHandleCount(), 0);

    rig.sim.unplug(rig.sim.devices().front());  // the unrelated device, not the mouse
    EXPECT_EQ(rig.tick().change, PresenceChange::Removed);
    EXPECT_EQ(rig.hooks.removals, 1);
    EXPECT_FALSE(rig.state.link.AnyDeviceOpen());
    EXPECT_EQ(rig.sim.openHandleCount(), 0);
    EXPECT_EQ(rig.station.LastDeviceCount, 1);
    EXPECT_EQ(rig.hooks.advances, 0);  // a removal never advances the number
}

TEST(RunPollTick, UnrelatedDevicePulledOutThenPluggedInReopensTheTarget) {
    TickRig rig(Line(0, 1));
    int written = 0;
    rig.hooks.onFound = [&] { ++written; };  // as automatic mode would write again
    rig.tick();
    rig.sim.unplug(rig.sim.devices().front());
    rig.tick();
    ASSERT_FALSE(rig.state.link.AnyDeviceOpen());

    rig.sim.plugOther();
    EXPECT_EQ(rig.tick().change, PresenceChange::Arrived);
    EXPECT_EQ(written, 2);
    EXPECT_NE(rig.state.link.Report4Handle, kInvalidHandle);
    EXPECT_EQ(rig.station.LastDeviceCount, 2);
}

TEST(RunPollTick, SettleWaitIsOneMoreMillisecondSleepThanTheField) {
    for (const std::int32_t settle : {0, 1, 100}) {
        TickRig rig(Line(0, 0));
        rig.hooks.settle = settle;
        rig.tick();
        EXPECT_EQ(rig.host.sleeps, settle + 1) << settle;
        EXPECT_EQ(rig.host.elapsedUs, (settle + 1) * 1000) << settle;
        EXPECT_EQ(rig.host.eventPumps, settle + 1) << settle;
    }
    // No settle wait on a removal.
    TickRig rig(Line(0, 1));
    rig.tick();
    const int sleeps = rig.host.sleeps;
    rig.sim.unplug(rig.sim.devices().front());
    rig.tick();
    EXPECT_EQ(rig.host.sleeps, sleeps);
}

TEST(RunPollTick, ProductNumberAdvancesOnlyAfterAPassAlsoForANonTarget) {
    TickRig rig(Line(0, 0));
    rig.tick();
    EXPECT_EQ(rig.hooks.advances, 0);

    rig.hooks.lastPass = true;
    EXPECT_EQ(rig.tick().change, PresenceChange::None);
    EXPECT_EQ(rig.hooks.advances, 0);  // no arrival, no advance

    rig.sim.plugOther();  // a keyboard: still advances, before anything is opened
    rig.tick();
    EXPECT_EQ(rig.hooks.advances, 1);

    rig.hooks.lastPass = false;
    rig.sim.plugOther();
    rig.tick();
    EXPECT_EQ(rig.hooks.advances, 1);
}

TEST(RunPollTick, CountsUnstableInFourOfFivePairsAreNotAccepted) {
    TickRig rig(Line(0, 1));
    rig.tick();
    ASSERT_EQ(rig.station.LastDeviceCount, 2);
    const int foundBefore = rig.hooks.found;

    rig.sim.plugOther();
    // Pairs 1 to 4 disagree, pair 5 agrees on the new count.
    rig.flicker.script({false, true, true, false, false, true, true, false, false, false});
    EXPECT_EQ(rig.tick().change, PresenceChange::Unstable);
    EXPECT_EQ(rig.station.LastDeviceCount, 2);
    EXPECT_EQ(rig.hooks.found, foundBefore);
    EXPECT_EQ(rig.host.sleeps, 101);  // only the first tick's settle wait

    // Three of five unstable: accepted.
    rig.flicker.script({false, true, true, false, false, true, false, false, false, false});
    EXPECT_EQ(rig.tick().change, PresenceChange::Arrived);
    EXPECT_EQ(rig.station.LastDeviceCount, 3);
    EXPECT_EQ(rig.hooks.found, foundBefore + 1);
}

TEST(RunPollTick, FailingHookReleasesTheGuardAndPollingGoesOn) {
    TickRig rig(Line(0, 0));
    rig.hooks.throwOnSettle = true;
    EXPECT_THROW(rig.tick(), std::runtime_error);
    EXPECT_FALSE(rig.station.PollBusy);
    EXPECT_EQ(rig.station.LastDeviceCount, 1);  // the change is not replayed every second

    rig.hooks.throwOnSettle = false;
    rig.hooks.onFound = [] { throw std::runtime_error("write failed"); };
    rig.sim.plugOther();
    EXPECT_THROW(rig.tick(), std::runtime_error);
    EXPECT_FALSE(rig.station.PollBusy);

    rig.hooks.onFound = nullptr;
    rig.sim.plugOther();
    EXPECT_EQ(rig.tick().change, PresenceChange::Arrived);
    EXPECT_EQ(rig.hooks.found, 2);
}

TEST(RunPollTick, NestedTickReturnsAtOnceAndLeavesTheGuardSet) {
    TickRig rig(Line(0, 0));
    PresenceDecision nested{PresenceChange::Arrived, -1};
    rig.hooks.onFound = [&] {
        rig.sim.plugOther();
        nested = rig.tick();
        EXPECT_TRUE(rig.station.PollBusy);
    };
    rig.tick();
    EXPECT_EQ(nested.change, PresenceChange::None);
    EXPECT_FALSE(rig.station.PollBusy);
    // The count seen before the write is the reference: the device plugged during it arrives.
    EXPECT_EQ(rig.station.LastDeviceCount, 1);
    rig.hooks.onFound = nullptr;
    EXPECT_EQ(rig.tick().change, PresenceChange::Arrived);
}

}  // namespace
}  // namespace bw::test
