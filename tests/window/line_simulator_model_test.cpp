#include "window/line_simulator_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_platform.h"

namespace bw::window {
namespace {

// The Line simulator's controls without a toolkit: values held in their ranges as a spin box
// holds them, the operator's actions raise the events a window raises.
class FakeLineSimulatorView : public LineSimulatorView {
  public:
    void SetEvents(LineSimulatorEvents* events) override { events_ = events; }
    void SetValue(SimControl control, int value) override {
        for (const SimSpinRange& range : kSimSpinRanges)
            if (range.control == control) value = std::clamp(value, range.low, range.high);
        values_[Index(control)] = value;
    }
    int Value(SimControl control) const override { return values_[Index(control)]; }
    void SetText(SimControl control, std::string_view text) override {
        texts_[Index(control)] = text;
    }
    void StartTicks(int periodMs) override { tickMs = periodMs; }
    void StopTicks() override { tickMs = 0; }

    const std::string& Text(SimControl control) const { return texts_[Index(control)]; }
    void Click(SimControl control) {
        if (events_) events_->OnSimEvent(control, SimEvent::Click);
    }
    void Change(SimControl control, int value) {
        SetValue(control, value);
        if (events_) events_->OnSimEvent(control, SimEvent::Change);
    }
    void Tick() {
        if (events_ && tickMs > 0) events_->OnSimEvent(SimControl::Presence, SimEvent::Tick);
    }
    void Placed(bool wholeFits) {
        if (events_) events_->OnPlaced(wholeFits);
    }
    bool Listening() const { return events_ != nullptr; }

    int tickMs = 0;

  private:
    static std::size_t Index(SimControl c) { return static_cast<std::size_t>(c); }
    LineSimulatorEvents* events_ = nullptr;
    std::array<int, kSimControlCount> values_{};
    std::array<std::string, kSimControlCount> texts_{};
};

TEST(LineSimulatorModel, StartsFromTheLinesFaultsAndStopsItsTicksWhenGone) {
    SimulatedPlatform line;
    line.faults().nack = 7;
    line.faults().latencyUs = 120;
    FakeLineSimulatorView view;
    {
        LineSimulatorModel model(line, view);
        EXPECT_EQ(view.Value(SimControl::NackOn), 1);
        EXPECT_EQ(view.Value(SimControl::NackCommand), 7);
        EXPECT_EQ(view.Value(SimControl::LosePieceOn), 0);
        EXPECT_EQ(view.Value(SimControl::LosePiece), 1);  // ready for the switch
        EXPECT_EQ(view.Value(SimControl::FailAfter), 100);
        EXPECT_EQ(view.Value(SimControl::LatencyUs), 120);
        EXPECT_EQ(view.Value(SimControl::Status1), 0xAA);
        EXPECT_EQ(view.Value(SimControl::Chip), 0x35);
        EXPECT_EQ(view.Value(SimControl::Details), 1);
        EXPECT_EQ(view.Text(SimControl::Details), "Fewer controls");
        EXPECT_EQ(view.Text(SimControl::Presence), "Present: 1 mouse/mice, 0 other device(s)");
        EXPECT_EQ(view.tickMs, kSimulatorRefreshMs);
    }
    // A view outliving its behaviour reports to nothing.
    EXPECT_EQ(view.tickMs, 0);
    EXPECT_FALSE(view.Listening());
}

TEST(LineSimulatorModel, PlugsAndPullsMiceAndOtherDevices) {
    SimulatedPlatform line;
    FakeLineSimulatorView view;
    LineSimulatorModel model(line, view);
    ASSERT_EQ(line.devices().size(), 1u);

    view.Change(SimControl::Status1, 0xAB);
    view.Change(SimControl::Chip, 0x75);
    view.Click(SimControl::PlugMouse2);
    ASSERT_EQ(line.devices().size(), 2u);
    SimulatedMouse* plugged = line.currentMouse();
    ASSERT_NE(plugged, nullptr);
    EXPECT_EQ(plugged->icType(), 2);
    EXPECT_EQ(plugged->status().status1, 0xAB);
    EXPECT_EQ(plugged->status().status2, 0x04);
    EXPECT_EQ(plugged->status().chip, 0x75);

    view.Click(SimControl::PlugOther);
    const int other = line.devices().back();
    EXPECT_EQ(line.mouse(other), nullptr);
    EXPECT_EQ(view.Text(SimControl::Presence), "Present: 2 mouse/mice, 1 other device(s)");
    // Pulling a mouse takes the one plugged last, never the other device.
    view.Click(SimControl::PullMouse);
    EXPECT_EQ(line.devices().size(), 2u);
    EXPECT_NE(line.currentMouse(), plugged);
    EXPECT_NE(line.mouse(line.devices().front()), nullptr);
    view.Click(SimControl::PullOther);
    EXPECT_EQ(line.devices().size(), 1u);
    EXPECT_FALSE(model.PullOther());
    EXPECT_TRUE(model.PullMouse());
    EXPECT_FALSE(model.PullMouse());
    EXPECT_EQ(view.Text(SimControl::Presence), "Present: 0 mouse/mice, 0 other device(s)");

    // What the line does by itself shows on the next tick.
    line.plugMouse(0);
    view.Tick();
    EXPECT_EQ(view.Text(SimControl::Presence), "Present: 1 mouse/mice, 0 other device(s)");
}

TEST(LineSimulatorModel, FaultControlsSwitchTheLinesFaults) {
    struct Step {
        SimControl control;
        int value;
        int nack, ackAfter, losePiece, failAfterFromNow, latencyUs;  // failAfter -1: off
    };
    // Each row: the operator's change, then the line's faults.
    const Step steps[] = {
        {SimControl::NackCommand, 3, -1, 1, 0, -1, 0},  // the value alone switches nothing on
        {SimControl::NackOn, 1, 3, 1, 0, -1, 0},
        {SimControl::NackCommand, 300, 255, 1, 0, -1, 0},  // held in its range
        {SimControl::AckAfter, 5, 255, 5, 0, -1, 0},
        {SimControl::LosePieceOn, 1, 255, 5, 1, -1, 0},
        {SimControl::LosePiece, 4, 255, 5, 4, -1, 0},
        {SimControl::LatencyUs, 250, 255, 5, 4, -1, 250},
        {SimControl::FailAfter, 10, 255, 5, 4, -1, 250},
        {SimControl::FailAfterOn, 1, 255, 5, 4, 10, 250},
        {SimControl::NackOn, 0, -1, 5, 4, 10, 250},
        {SimControl::LosePieceOn, 0, -1, 5, 0, 10, 250},
        {SimControl::FailAfterOn, 0, -1, 5, 0, -1, 250},
        {SimControl::Status2, 0x10, -1, 5, 0, -1, 250},  // not a fault
    };
    SimulatedPlatform line;
    FakeLineSimulatorView view;
    LineSimulatorModel model(line, view);
    const std::vector<HidInterfaceInfo> interfaces = line.enumerate();
    ASSERT_FALSE(interfaces.empty());
    const HidHandle handle = line.open(interfaces.front().path);
    for (const Step& s : steps) {
        SCOPED_TRACE(static_cast<int>(s.control));
        // Counted from the moment the fault is switched on: transfers pass between the rows.
        std::uint8_t report[9] = {4};
        line.getFeature(handle, report, sizeof report);
        const long before = line.transferCount();
        view.Change(s.control, s.value);
        const Faults& f = line.faults();
        EXPECT_EQ(f.nack, s.nack);
        EXPECT_EQ(f.ackAfter, s.ackAfter);
        EXPECT_EQ(f.losePiece, s.losePiece);
        EXPECT_EQ(f.failAfter, s.failAfterFromNow < 0 ? -1 : before + s.failAfterFromNow);
        EXPECT_EQ(f.latencyUs, s.latencyUs);
    }
}

TEST(LineSimulatorModel, FoldsItsDetailsWhereTheWholeWindowDoesNotFitUntilTheOperatorChooses) {
    struct Step {
        const char* what;
        int placedFits;  // -1: the operator clicks Details instead
        int shown;
    };
    const Step steps[] = {
        {"no room beside the main window", 0, 0},
        {"room again", 1, 1},
        {"no room again", 0, 0},
        {"the operator unfolds them", -1, 1},
        {"no room: the operator's choice stands", 0, 1},
        {"the operator folds them", -1, 0},
        {"room: still folded", 1, 0},
    };
    SimulatedPlatform line;
    FakeLineSimulatorView view;
    LineSimulatorModel model(line, view);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        if (s.placedFits < 0) {
            view.Click(SimControl::Details);
        } else {
            view.Placed(s.placedFits != 0);
        }
        EXPECT_EQ(view.Value(SimControl::Details), s.shown);
        EXPECT_EQ(model.DetailsShown(), s.shown != 0);
        EXPECT_EQ(view.Text(SimControl::Details), s.shown ? "Fewer controls" : "Faults...");
    }
}

}  // namespace
}  // namespace bw::window
