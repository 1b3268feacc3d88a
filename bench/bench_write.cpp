// Time of a default write on the simulated mouse against the pauses the protocol
// mandates. The floor is the sum of every wait the operation asked the host for.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "floor_host.h"
#include "image/operations.h"
#include "production/controller_state.h"
#include "production/ic_types.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"

namespace {

struct Run {
    double floorMs = 0;
    double measuredMs = 0;
    double waitedMs = 0;
    bool passed = false;
};

Run WriteOnce(int ic, const bw::WriteParams& params) {
    bw::Scenario scenario;
    scenario.ic = ic;
    bw::SimulatedPlatform sim(scenario);
    bw::ControllerState state(sim);
    const bw::IcType& type = *bw::IcTypeAt(ic);
    std::int32_t release = type.release;
    const std::int32_t pid = ic == 0 ? 0x0C21 : 0x0C37;
    const bool opened = type.protocol == bw::Protocol::Report4
                            ? state.link.OpenDeviceReport4(0x3A5C, pid, release)
                            : state.link.OpenDeviceReport40(0x3A5C, pid, release);
    if (!opened) return {};
    state.LoadedImageType = std::string(type.rowText);
    for (std::size_t i = 0; i < state.ImageBuffer.size(); ++i) {
        state.ImageBuffer[i] = static_cast<std::uint8_t>(i * 13 + 7);
    }

    bw::bench::FloorHost host;
    const auto start = std::chrono::steady_clock::now();
    const bw::Outcome outcome = bw::WriteImage(state, ic, params, {}, host);
    const auto end = std::chrono::steady_clock::now();
    Run run;
    run.floorMs = host.askedUs / 1000.0;
    run.measuredMs = std::chrono::duration<double, std::milli>(end - start).count();
    run.waitedMs = host.waitedUs / 1000.0;
    run.passed = outcome == bw::Outcome::Pass;
    return run;
}

// Median of three runs, so one scheduling hiccup does not decide the figure.
Run Measure(int ic, const bw::WriteParams& params = {}) {
    std::vector<Run> runs;
    for (int i = 0; i < 3; ++i) runs.push_back(WriteOnce(ic, params));
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.measuredMs < b.measuredMs; });
    return runs[1];
}

void Print(const char* label, const Run& run) {
    std::printf("# %s write %s; waits overran by %.1f ms, work outside waits %.1f ms\n", label,
                run.passed ? "passed" : "FAILED", run.waitedMs - run.floorMs,
                run.measuredMs - run.waitedMs);
    if (run.floorMs > 0) {
        std::printf("floor_ms=%.1f measured_ms=%.1f ratio=%.4f\n", run.floorMs, run.measuredMs,
                    run.measuredMs / run.floorMs);
    } else {
        // This protocol mandates no pause at all: there is no floor to divide by.
        std::printf("floor_ms=0.0 measured_ms=%.1f ratio=n/a\n", run.measuredMs);
    }
}

}  // namespace

int main() {
    const Run second = Measure(1);
    bw::WriteParams verified;
    verified.verifyAfterWrite = true;
    const Run secondVerified = Measure(1, verified);
    const Run first = Measure(0);
    Print("second IC type (KVDE52xx)", second);
    Print("second IC type (KVDE52xx, --verify-after-write)", secondVerified);
    Print("first IC type (KVDE31X)", first);
    return first.passed && second.passed && secondVerified.passed ? 0 : 1;
}
