// Throughput of the gang station on the simulated line of ports with real waits.
//
//   bench_gang [MICE] [LATENCY_US]
//     For 1, 2, 4 and 8 slots: MICE mice (default 16), each transfer taking LATENCY_US
//     (default 1000), the next mouse of a port plugged as soon as the last is pulled out;
//     the runner writes them all with the default write settings. Prints per slot count
//       slots=K mice=N seconds= mice_per_hour= efficiency=
//     where efficiency is the throughput over K times the one-slot throughput of this run,
//     and, from the one-slot line, the time from a plug to the mouse's first command
//       plug_to_first_command_ms_mean= plug_to_first_command_ms_max= settle_ms=
//
// The line's transfer time only sleeps: on a USB bus the host waits in the kernel, it does
// not spin, so a simulated transfer must not take a core from the other slots.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "image/ic_types.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "station/counter_serials.h"
#include "station/gang_runner.h"

namespace {

using Clock = std::chrono::steady_clock;

class SleepingClock : public bw::RealSimClock {
  public:
    void sleepUs(std::int64_t us) override {
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
};

// Passes everything on; times the first command after each mouse's operation ended (the
// line then pulls it out and plugs the next one handling-ms later, here at once).
class PlugTimer : public bw::HidPlatform {
  public:
    explicit PlugTimer(bw::HidPlatform& inner) : inner_(inner) {}
    std::vector<bw::HidInterfaceInfo> enumerate() override { return inner_.enumerate(); }
    bw::HidHandle open(const std::string& path, std::string* error) override {
        return inner_.open(path, error);
    }
    int setFeature(bw::HidHandle h, const std::uint8_t* data, std::size_t length) override {
        {
            const std::lock_guard<std::mutex> hold(lock_);
            if (waiting_) {
                latenciesMs.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - pulled_).count());
                waiting_ = false;
            }
        }
        return inner_.setFeature(h, data, length);
    }
    int getFeature(bw::HidHandle h, std::uint8_t* data, std::size_t length) override {
        return inner_.getFeature(h, data, length);
    }
    void close(bw::HidHandle h) override { inner_.close(h); }
    void beginOperation() override { inner_.beginOperation(); }
    void endOperation() override { inner_.endOperation(); }
    void operationEnded(bw::HidHandle h) override {
        inner_.operationEnded(h);
        const std::lock_guard<std::mutex> hold(lock_);
        pulled_ = Clock::now();
        waiting_ = true;
    }
    std::unique_ptr<bw::PresenceWatcher> watchPresence() override { return inner_.watchPresence(); }

    std::vector<double> latenciesMs;  // read after the run

  private:
    bw::HidPlatform& inner_;
    std::mutex lock_;
    Clock::time_point pulled_{};
    bool waiting_ = false;
};

struct Line {
    double seconds = 0;
    int passes = 0;
};

Line RunLine(int slots, int mice, int latencyUs, std::vector<double>* latencies) {
    bw::Scenario scenario;
    scenario.mice = mice;
    scenario.ports.portCount = slots;
    scenario.faults.latencyUs = latencyUs;
    SleepingClock clock;
    bw::SimulatedPlatform line(scenario, &clock);
    PlugTimer timer(line);

    bw::station::GangSettings settings;
    const bw::IcType& type = *bw::IcTypeAt(0);
    settings.vid = 0x3A5C;
    settings.pid = 0x0C21;
    for (std::size_t i = 0; i < settings.image.size(); ++i)
        settings.image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    settings.imageType = std::string(type.rowText);
    settings.count = mice;
    bw::station::CounterSerials serials(1);
    bw::station::GangObserver quiet;
    bw::NullHost host;
    bw::station::GangRunner runner(timer, settings, serials, quiet);
    const Clock::time_point start = Clock::now();
    const bw::station::GangSummary summary = runner.run(host);
    Line result;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.passes = summary.passes;
    if (latencies != nullptr) *latencies = timer.latenciesMs;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    const int mice = argc > 1 ? std::atoi(argv[1]) : 16;
    const int latencyUs = argc > 2 ? std::atoi(argv[2]) : 1000;
    double oneSlotRate = 0;
    int failures = 0;
    std::vector<double> latencies;
    for (const int slots : {1, 2, 4, 8}) {
        const Line line = RunLine(slots, mice, latencyUs, slots == 1 ? &latencies : nullptr);
        const double rate = mice / line.seconds * 3600.0;
        if (slots == 1) oneSlotRate = rate;
        std::printf(
            "slots=%d mice=%d latency_us=%d seconds=%.2f mice_per_hour=%.0f efficiency=%.3f\n",
            slots, mice, latencyUs, line.seconds, rate, rate / (slots * oneSlotRate));
        std::fflush(stdout);
        if (line.passes != mice) {
            std::printf("failed=%d at slots=%d\n", mice - line.passes, slots);
            ++failures;
        }
    }
    if (!latencies.empty()) {
        double sum = 0;
        for (const double l : latencies) sum += l;
        std::printf(
            "plug_to_first_command_ms_mean=%.2f plug_to_first_command_ms_max=%.2f settle_ms=%d "
            "samples=%zu\n",
            sum / static_cast<double>(latencies.size()),
            *std::max_element(latencies.begin(), latencies.end()), bw::WriteParams{}.sleep,
            latencies.size());
    }
    return failures == 0 ? 0 : 1;
}
