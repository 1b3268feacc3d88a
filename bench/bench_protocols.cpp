// Times whole-image transfers of both report protocols against a simulated
// controller that answers at once, with the real (precise) waits, and compares
// the wall time with the floor: the pauses the protocol prescribes plus the
// transfers made times the scenario's per-transfer latency. Waits or transfers
// other than the prescribed ones fail the benchmark (exit 1).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/link.h"
#include "device/report4.h"
#include "device/report40.h"
#include "prescribed_cost.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace bench = bw::bench;

// A realistic full-speed USB control transfer.
constexpr int kUsbLatencyUs = 1000;

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
    bool prescribed = false;  // waits and transfers as the protocol prescribes
    std::size_t waits = 0;
    double lateP50 = 0, lateP99 = 0, lateMax = 0;
    double outsideMs = 0;  // wall time outside the waits: transfers, event pumping
};

// Runs the transfers and checks what they asked for and made against the prescribed cost.
template <typename Run>
Result Time(const char* name, TallyHost& host, bw::SimulatedPlatform& platform,
            const bench::Prescribed& cost, int latencyUs, Run run) {
    const long before = platform.transferCount();
    const auto start = Clock::now();
    const bool ok = run();
    const auto wall = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const long transfers = platform.transferCount() - before;
    return {bench::FloorMs(cost, transfers, latencyUs),
            wall,
            ok,
            bench::AsPrescribed(name, static_cast<double>(host.requestedUs), transfers, cost),
            host.lateness.size(),
            host.lateUs(0.5),
            host.lateUs(0.99),
            host.lateUs(1.0),
            wall - host.waitedUs / 1000.0};
}

void Print(const char* name, int latencyUs, const Result& r) {
    const std::string latency =
        latencyUs > 0 ? ", latency-us=" + std::to_string(latencyUs) : std::string();
    std::printf(
        "%s%s: %s floor_ms=%.3f measured_ms=%.3f ratio=%.4f waits=%zu late_us p50=%.0f "
        "p99=%.0f max=%.0f outside_waits_ms=%.3f\n",
        name, latency.c_str(),
        !r.ok          ? "FAILED"
        : r.prescribed ? "ok"
                       : "NOT AS PRESCRIBED",
        r.floorMs, r.measuredMs, r.measuredMs / r.floorMs, r.waits, r.lateP50, r.lateP99, r.lateMax,
        r.outsideMs);
}

std::vector<std::uint8_t> Pattern() {
    std::vector<std::uint8_t> image(bw::kImageSize);
    for (int i = 0; i < bw::kImageSize; ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    return image;
}

Result Report4(int latencyUs) {
    bw::Scenario scenario;
    scenario.ic = 0;
    scenario.faults.latencyUs = latencyUs;
    bw::SimulatedPlatform platform(scenario);
    bw::Link link(platform);
    if (!link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104)) return {};
    TallyHost host;
    const auto image = Pattern();
    std::vector<std::uint8_t> back(bw::kImageSize);
    const bench::Prescribed cost =
        bench::WriteBlock4(bw::kImageSize) + bw::kBlockCount * bench::ReadBlock4(bw::kBlockSize);
    platform.beginOperation();
    Result r = Time("report4", host, platform, cost, latencyUs, [&] {
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
Result Report40(int latencyUs) {
    bw::Scenario scenario;
    scenario.ic = 1;
    scenario.faults.latencyUs = latencyUs;
    bw::SimulatedPlatform platform(scenario);
    bw::Link link(platform);
    std::int32_t version = 0x0100;
    if (!link.OpenDeviceReport40(0x3A5C, 0x0C37, version)) return {};
    TallyHost host;
    const auto image = Pattern();
    std::vector<std::uint8_t> back(bw::kImageSize);
    const bench::Prescribed cost =
        bench::WriteBlock40(bw::kImageSize) + bench::ReadBlock40(bw::kImageSize);
    platform.beginOperation();
    Result r = Time("report40", host, platform, cost, latencyUs, [&] {
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
    bool ok = true;
    for (const int latencyUs : {0, kUsbLatencyUs}) {
        const Result r40 = Report40(latencyUs);
        Print("report40 write 2048 + read 2048", latencyUs, r40);
        const Result r4 = Report4(latencyUs);
        Print("report4 write 2048 + 8 x read 256", latencyUs, r4);
        // The zero-latency line as it always was; the latency line says its latency at the end.
        const std::string latency =
            latencyUs > 0 ? " latency_us=" + std::to_string(latencyUs) : std::string();
        std::printf("floor_ms=%.3f measured_ms=%.3f ratio=%.4f%s\n", r4.floorMs, r4.measuredMs,
                    r4.measuredMs / r4.floorMs, latency.c_str());
        ok = ok && r4.ok && r40.ok && r4.prescribed && r40.prescribed;
    }
    return ok ? 0 : 1;
}
