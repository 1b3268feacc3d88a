#include "production/auto_write.h"

#include <gtest/gtest.h>

#include <vector>

#include "image/mouse_session.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"

namespace bw::test {
namespace {

struct AutoRig {
    AutoRig() : sim(Scenario{}), state(sim) {
        Image image{};
        image.fill(0x5A);
        station.loadImage(image, "KVDE31X", IdentifyImage(image));
        station.handImageTo(state);
        settings.vid = 0x3A5C;
        settings.pid = 0x0C21;
        settings.params.writeId = true;
    }
    void tick() {
        if (!hooks) {
            hooks = std::make_unique<AutoWriteHooks>(
                station, state, settings, host,
                [this](const MouseResult& r) { results.push_back(r); });
        }
        hooks->startTick();
        RunPollTick(station, state, *hooks, host);
    }
    // The current mouse out, a fresh one in (two ticks: removal, arrival).
    void swapMouse() {
        for (int id : sim.devices()) sim.unplug(id);
        tick();
        sim.plugMouse(0);
        tick();
    }

    SimulatedPlatform sim;
    StationState station;
    MouseSession state;
    RecordingHost host;
    AutoWriteSettings settings;
    std::unique_ptr<AutoWriteHooks> hooks;
    std::vector<MouseResult> results;
};

// A write that ends before any block (no answer) shows "Write Fail" as any failure does, so
// the next mouse gets the number this one never received.
TEST(AutoWriteHooks, QuietEndShowsWriteFailSoTheNumberDoesNotAdvance) {
    AutoRig rig;
    rig.tick();
    ASSERT_EQ(rig.results.size(), 1u);
    EXPECT_EQ(rig.results[0].text, "Write Pass");
    EXPECT_EQ(rig.results[0].factory.number, 1);

    rig.sim.faults().nack = 1;
    rig.swapMouse();
    ASSERT_EQ(rig.results.size(), 2u);
    EXPECT_EQ(rig.results[1].outcome, Outcome::NoAnswer);
    EXPECT_EQ(rig.results[1].text, "No answer");
    EXPECT_EQ(rig.results[1].factory.number, 2);
    EXPECT_EQ(rig.hooks->shownResult(), "Write Fail");

    rig.sim.faults().nack = -1;
    rig.sim.faults().losePiece = 2;  // read-back fails
    rig.swapMouse();
    EXPECT_EQ(rig.results.at(2).text, "Write Fail");
    EXPECT_EQ(rig.results[2].factory.number, 2);

    rig.sim.faults().losePiece = 0;
    rig.swapMouse();
    EXPECT_EQ(rig.results.at(3).factory.number, 2);  // no advance after a fail
    EXPECT_EQ(rig.results[3].passCount, 2);
    EXPECT_EQ(rig.hooks->mice(), 4);
    EXPECT_EQ(rig.hooks->passes(), 2);
}

// Any other device plugged in or pulled out beside a written mouse changes the count; the
// mouse stays written until it is itself pulled out, so it is neither written nor numbered
// again.
TEST(AutoWriteHooks, AWrittenMouseIsNotWrittenAgainWhileItStaysPlugged) {
    AutoRig rig;
    rig.tick();
    ASSERT_EQ(rig.results.size(), 1u);
    const long transfers = rig.sim.transferCount();
    std::vector<int> others;
    for (int round = 0; round < 2; ++round) {
        others.push_back(rig.sim.plugOther());
        rig.tick();
        others.push_back(rig.sim.plugMouse(1));  // a mouse of another IC type
        rig.tick();
    }
    rig.sim.unplug(others.front());
    rig.tick();
    others.push_back(rig.sim.plugOther());
    rig.tick();
    EXPECT_EQ(rig.results.size(), 1u);
    EXPECT_EQ(rig.hooks->settings().factory.number, 1);
    EXPECT_EQ(rig.hooks->mice(), 1);
    EXPECT_EQ(rig.sim.transferCount(), transfers);

    // Pulled out and a fresh mouse in: written, with the next number.
    rig.swapMouse();
    ASSERT_EQ(rig.results.size(), 2u);
    EXPECT_EQ(rig.results[1].factory.number, 2);
    EXPECT_EQ(rig.results[1].outcome, Outcome::Pass);
}

TEST(AutoWriteHooks, NothingIsWrittenWithoutAnImage) {
    AutoRig rig;
    rig.station.ImageLoaded = false;
    rig.tick();
    EXPECT_TRUE(rig.results.empty());
    EXPECT_EQ(rig.hooks->mice(), 0);
    EXPECT_FALSE(rig.sim.currentMouse()->written());
}

}  // namespace
}  // namespace bw::test
