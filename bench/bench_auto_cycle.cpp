// The automatic cycle on the simulated line with real waits: time per mouse from the tick
// that sees it arrive to its result, against the floor (settle wait plus the write's own
// mandated pauses), leaving out the wait for the next tick. Then the cost of one poll tick
// with 30 HID interfaces present.

#include <chrono>
#include <cstdio>
#include <string>

#include "floor_host.h"
#include "production/auto_write.h"
#include "production/controller_state.h"
#include "production/ic_types.h"
#include "production/polling.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Cycle {
    double floorMs = 0;
    double measuredMs = 0;
    double waitedMs = 0;
    int mice = 0;
    int passes = 0;
};

bw::AutoWriteSettings SettingsFor(int ic) {
    const bw::IcType& type = *bw::IcTypeAt(ic);
    bw::AutoWriteSettings settings;
    settings.ic = ic;
    settings.vid = 0x3A5C;
    settings.pid = type.defaultPid == "0C21" ? 0x0C21 : 0x0C37;
    settings.params.writeId = ic == 0;
    return settings;
}

// Mice written one after another; the ticks follow each other without the poll period.
Cycle MeasureCycle(int ic, int mice) {
    bw::Scenario scenario;
    scenario.ic = ic;
    scenario.mice = mice;
    bw::SimulatedPlatform sim(scenario);
    bw::ControllerState state(sim);
    for (std::size_t i = 0; i < state.ImageBuffer.size(); ++i) {
        state.ImageBuffer[i] = static_cast<std::uint8_t>(i * 13 + 7);
    }
    state.ImageLoaded = true;
    state.LoadedImageType = std::string(bw::IcTypeAt(ic)->rowText);

    bw::bench::FloorHost host;
    Cycle cycle;
    bw::AutoWriteHooks hooks(state, SettingsFor(ic), host, [&](const bw::MouseResult& r) {
        cycle.floorMs += host.askedUs / 1000.0;
        cycle.waitedMs += host.waitedUs / 1000.0;
        cycle.measuredMs += std::chrono::duration<double, std::milli>(r.sinceArrival).count();
    });
    for (int tick = 0; tick < 4 * mice && hooks.mice() < mice; ++tick) {
        host.reset();
        hooks.startTick();
        bw::RunPollTick(state, hooks, host);
    }
    cycle.mice = hooks.mice();
    cycle.passes = hooks.passes();
    return cycle;
}

void PrintCycle(const char* label, const Cycle& c) {
    if (c.mice == 0) return;
    const double floor = c.floorMs / c.mice;
    const double measured = c.measuredMs / c.mice;
    const double waited = c.waitedMs / c.mice;
    std::printf(
        "# %s: %d mice, %d passed; per mouse from arrival to result, waits overran by %.1f ms, "
        "work outside waits %.1f ms\n",
        label, c.mice, c.passes, waited - floor, measured - waited);
    std::printf("floor_ms=%.1f measured_ms=%.1f ratio=%.4f\n", floor, measured, measured / floor);
}

// Average cost of a tick that sees no change, with 29 unrelated interfaces and the mouse.
double PollTickMicroseconds() {
    bw::Scenario scenario;
    scenario.others = 29;
    bw::SimulatedPlatform sim(scenario);
    bw::ControllerState state(sim);
    bw::bench::FloorHost host;
    bw::AutoWriteHooks hooks(state, SettingsFor(0), host, nullptr);
    bw::RunPollTick(state, hooks, host);  // the first tick takes the interfaces as arrived
    constexpr int kTicks = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < kTicks; ++i) bw::RunPollTick(state, hooks, host);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kTicks;
}

}  // namespace

int main() {
    const Cycle fast = MeasureCycle(1, 5);
    const Cycle first = MeasureCycle(0, 3);
    PrintCycle("second IC type (KVDE52xx)", fast);
    PrintCycle("first IC type (KVDE31X), Write Product ID", first);
    std::printf("# one poll tick, 30 HID interfaces present, no change\n");
    std::printf("poll_tick_us=%.1f\n", PollTickMicroseconds());
    return fast.passes == 5 && first.passes == 3 ? 0 : 1;
}
