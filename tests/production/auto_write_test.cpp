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

// The field's number is used by a pass (as the window's label shows it) and by a failed
// mouse whose factory record went out: that mouse may hold it, so the next gets the next.
// A write that ends before any block (no answer) shows "Write Fail" as any failure does, so
// the next mouse gets the number this one never received.
TEST(AutoWriteHooks, TheNumberAdvancesAfterAPassAndAfterARecordThatWentOut) {
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
    EXPECT_FALSE(rig.results[1].recordWentOut);
    EXPECT_EQ(rig.hooks->shownResult(), "Write Fail");

    // The mouse that never answered did not use its number: this one gets it.
    rig.sim.faults().nack = -1;
    rig.sim.faults().losePiece = 2;  // read-back fails after the record went out
    rig.swapMouse();
    EXPECT_EQ(rig.results.at(2).text, "Write Fail");
    EXPECT_EQ(rig.results[2].factory.number, 2);
    EXPECT_TRUE(rig.results[2].recordWentOut);

    // Its number is used: the next mouse does not get it, although it did not pass. That
    // mouse never answers, its record never goes out ...
    rig.sim.faults().losePiece = 0;
    rig.sim.faults().nack = 1;
    rig.swapMouse();
    EXPECT_EQ(rig.results.at(3).factory.number, 3);
    EXPECT_FALSE(rig.results[3].recordWentOut);

    // ... so the one after it gets the same number, as after a "Write Fail" shown before.
    rig.sim.faults().nack = -1;
    rig.swapMouse();
    EXPECT_EQ(rig.results.at(4).text, "Write Pass");
    EXPECT_EQ(rig.results[4].factory.number, 3);
    EXPECT_EQ(rig.results[4].passCount, 2);
    EXPECT_EQ(rig.hooks->mice(), 5);
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

// A mouse the number source leaves alone (it holds a number written before) is handled as
// a written one: reported once, not again for each other device plugged in beside it.
TEST(AutoWriteHooks, AMouseLeftAloneIsReportedOnceWhileItStaysPlugged) {
    AutoRig rig;
    rig.tick();  // creates the hooks; the first mouse is written
    ASSERT_EQ(rig.results.size(), 1u);
    int asked = 0;
    rig.hooks->takeNumbersFrom([&asked](std::string*) {
        ++asked;
        MouseNumber given;
        given.leftAlone = "Already written (SN 7)";
        given.heldNumber = 7;
        return given;
    });
    rig.swapMouse();
    ASSERT_EQ(rig.results.size(), 2u);
    EXPECT_TRUE(rig.results[1].leftAlone);
    rig.sim.plugOther();
    rig.tick();
    rig.sim.plugMouse(1);
    rig.tick();
    EXPECT_EQ(rig.results.size(), 2u);
    EXPECT_EQ(rig.hooks->leftAlone(), 1);
    EXPECT_EQ(asked, 1);
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
