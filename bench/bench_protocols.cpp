// Times whole-image transfers of both report protocols against a simulated
// controller that answers at once, with the real (precise) waits, and compares
// the wall time with the sum of the pauses the protocol asks for.

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

// The real waits, with a tally of what was asked for.
class TallyHost : public bw::NullHost {
  public:
    void sleepMs(int ms) override {
        requestedUs += static_cast<std::int64_t>(ms) * 1000;
        bw::NullHost::sleepMs(ms);
    }
    void delayUs(int us) override {
        requestedUs += us;
        bw::NullHost::delayUs(us);
    }
    std::int64_t requestedUs = 0;
};

struct Result {
    double floorMs = 0;
    double measuredMs = 0;
    bool ok = false;
};

template <typename Run>
Result Time(TallyHost& host, Run run) {
    using clock = std::chrono::steady_clock;
    const auto start = clock::now();
    const bool ok = run();
    const auto wall = std::chrono::duration<double, std::milli>(clock::now() - start).count();
    return {static_cast<double>(host.requestedUs) / 1000.0, wall, ok};
}

void Print(const char* name, const Result& r) {
    std::printf("%s: %s floor_ms=%.3f measured_ms=%.3f ratio=%.4f\n", name, r.ok ? "ok" : "FAILED",
                r.floorMs, r.measuredMs, r.measuredMs / r.floorMs);
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
