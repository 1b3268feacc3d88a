// Times whole-image transfers of both report protocols against a simulated
// controller that answers at once, with the real (precise) waits, and compares
// the wall time with the sum of the pauses the protocol asks for.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "device/link.h"
#include "device/report4.h"
#include "device/report40.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// The real waits, with a tally of what was asked for and how late each wait ended.
class TallyHost : public bw::NullHost {
  public:
    void sleepMs(int ms) override {
        const auto start = Clock::now();
        bw::NullHost::sleepMs(ms);
        record(start, static_cast<std::int64_t>(ms) * 1000);
    }
    void delayUs(int us) override {
        const auto start = Clock::now();
        bw::NullHost::delayUs(us);
        record(start, us);
    }
    // Overshoot of the waits in microseconds at the given fraction (0.5: median).
    double lateUs(double fraction) {
        if (lateness.empty()) return 0;
        std::sort(lateness.begin(), lateness.end());
        const auto i =
            static_cast<std::size_t>(fraction * static_cast<double>(lateness.size() - 1));
        return lateness[i];
    }
    std::int64_t requestedUs = 0;
    std::vector<double> lateness;
    double waitedUs = 0;  // wall time spent inside the waits

  private:
    void record(Clock::time_point start, std::int64_t us) {
        requestedUs += us;
        const double took = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        lateness.push_back(took - static_cast<double>(us));
        waitedUs += took;
    }
};

struct Result {
    double floorMs = 0;
    double measuredMs = 0;
    bool ok = false;
    std::size_t waits = 0;
    double lateP50 = 0, lateP99 = 0, lateMax = 0;
    double outsideMs = 0;  // wall time outside the waits: transfers, event pumping
};

template <typename Run>
Result Time(TallyHost& host, Run run) {
    const auto start = Clock::now();
    const bool ok = run();
    const auto wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return {static_cast<double>(host.requestedUs) / 1000.0,
            wall,
            ok,
            host.lateness.size(),
            host.lateUs(0.5),
            host.lateUs(0.99),
            host.lateUs(1.0),
            wall - host.waitedUs / 1000.0};
}

void Print(const char* name, const Result& r) {
    std::printf(
        "%s: %s floor_ms=%.3f measured_ms=%.3f ratio=%.4f waits=%zu late_us p50=%.0f "
        "p99=%.0f max=%.0f outside_waits_ms=%.3f\n",
        name, r.ok ? "ok" : "FAILED", r.floorMs, r.measuredMs, r.measuredMs / r.floorMs, r.waits,
        r.lateP50, r.lateP99, r.lateMax, r.outsideMs);
}

std::vector<std::uint8_t> Pattern() {
    std::vector<std::uint8_t> image(bw::kImageSize);
    for (int i = 0; i < bw::kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    return image;
}

Result Report4() {
    bw::Scenario scenario;
    scenario.ic = 0;
    bw::SimulatedPlatform platform(scenario);
    bw::Link link(platform);
    if (!link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104)) return {};
    TallyHost host;
    const auto image = Pattern();
    std::vector<std::uint8_t> back(bw::kImageSize);
    platform.beginOperation();
    Result r = Time(host, [&] {
        bool ok = bw::WriteBlock4(link, host, 0, bw::kImageSize, image.data());
        for (int k = 0; k < bw::kBlockCount; ++k) {
            ok = bw::ReadBlock4(link, host, k * bw::kBlockSize, bw::kBlockSize,
                                back.data() + k * bw::kBlockSize, bw::kBlockSize) &&
                 ok;
        }
        return ok;
    });
    platform.endOperation();
    r.ok = r.ok && back == image;
    return r;
}

// Callers read the report-0x40 image in one 2048-byte block, so the read is one block here.
Result Report40() {
    bw::Scenario scenario;
    scenario.ic = 1;
    bw::SimulatedPlatform platform(scenario);
    bw::Link link(platform);
    std::int32_t version = 0x0100;
    if (!link.OpenDeviceReport40(0x3A5C, 0x0C37, version)) return {};
    TallyHost host;
    const auto image = Pattern();
    std::vector<std::uint8_t> back(bw::kImageSize);
    platform.beginOperation();
    Result r = Time(host, [&] {
        const bool wrote = bw::WriteBlock40(link, host, 0, bw::kImageSize, image.data());
        const bool read = bw::ReadBlock40(link, host, 0, bw::kImageSize, back.data(), back.size());
        return wrote && read;
    });
    platform.endOperation();
    r.ok = r.ok && back == image;
    return r;
}

}  // namespace

int main() {
    const Result r40 = Report40();
    Print("report40 write 2048 + read 2048", r40);
    const Result r4 = Report4();
    Print("report4 write 2048 + 8 x read 256", r4);
    std::printf("floor_ms=%.3f measured_ms=%.3f ratio=%.4f\n", r4.floorMs, r4.measuredMs,
                r4.measuredMs / r4.floorMs);
    return r4.ok && r40.ok ? 0 : 1;
}
