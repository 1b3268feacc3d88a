// Plug-to-first-command latency when a station waits on the platform's presence watcher
// instead of counting interfaces once a poll period (the window's period is 1000 ms, so a
// poll finds a mouse 500 ms after its arrival on average, plus the settle wait).
//
//   bench_presence [MICE] [HANDLING_MS]
//     The simulated line of one port on the real clock: each mouse is marked written and
//     pulled out, the next arrives HANDLING_MS later; the station waits on the watcher,
//     opens the new mouse by its port and sends its first command. Prints
//     presence=simulated mice= handling_ms= plug_to_first_command_ms_mean= ..._max=
//   bench_presence --hidraw [NODES] [TIMEOUT_S]
//     The real hidraw backend: waits for NODES new hidraw nodes (plug them in meanwhile),
//     sends each a get-feature, and prints per node the time from the watcher's wake-up
//     (the udev event) to that transfer's return, and the node's age then (its creation
//     time in /dev, which the kernel keeps at a few milliseconds' resolution).
//     Exit 1 when a node did not come within TIMEOUT_S (default 20).

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "device/link.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#ifdef __linux__
#include "device/hid_linux_hidraw.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

int Simulated(int mice, int handlingMs) {
    bw::Scenario scenario;
    scenario.mice = mice + 1;  // the first is there from the start: not measured
    scenario.ports.portCount = 1;
    scenario.ports.handlingMs = handlingMs;
    bw::SimulatedPlatform line(scenario);
    const auto watcher = line.watchPresence();
    std::vector<double> latencies;
    Clock::time_point due{};
    for (int n = 0; n <= mice; ++n) {
        bw::Link link(line);
        while (!link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104, "port1"))
            watcher->waitForChange(1000);
        bw::Report command{0x04, 0x01};
        link.SetFeature4(link.Report4Handle, command);
        if (n > 0) latencies.push_back(MsBetween(due, Clock::now()));
        // A write starts (command 6), the operation ends: the line pulls the mouse out.
        bw::Report write{0x04, 0x06, 0x00, 0x00, 0x01, 0x00};
        link.SetFeature4(link.Report4Handle, write);
        due = Clock::now() + std::chrono::milliseconds(handlingMs);  // at the latest
        line.operationEnded(link.Report4Handle);
    }
    double sum = 0;
    for (const double l : latencies) sum += l;
    std::printf(
        "presence=simulated mice=%d handling_ms=%d plug_to_first_command_ms_mean=%.3f "
        "plug_to_first_command_ms_max=%.3f\n",
        mice, handlingMs, sum / static_cast<double>(latencies.size()),
        *std::max_element(latencies.begin(), latencies.end()));
    return 0;
}

#ifdef __linux__
// Age of a /dev node in ms from its status-change time, on the real-time clock.
double NodeAgeMs(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec - st.st_ctim.tv_sec) * 1000.0 +
           static_cast<double>(now.tv_nsec - st.st_ctim.tv_nsec) / 1e6;
}

int Hidraw(int nodes, int timeoutS) {
    bw::HidrawPlatform platform;
    std::set<std::string> known;
    for (const auto& info : platform.enumerate()) known.insert(info.path);
    const auto watcher = platform.watchPresence();
    int seen = 0;
    while (seen < nodes) {
        if (!watcher->waitForChange(timeoutS * 1000)) {
            std::printf("# no new hidraw node within %d s\n", timeoutS);
            return 1;
        }
        const Clock::time_point woke = Clock::now();
        for (const auto& info : platform.enumerate()) {
            if (!known.insert(info.path).second) continue;
            const bw::HidHandle handle = platform.open(info.path);
            std::uint8_t frame[8] = {0x04};
            const int moved =
                handle == bw::kInvalidHandle ? -1 : platform.getFeature(handle, frame, 8);
            const double latency = MsBetween(woke, Clock::now());
            const double age = NodeAgeMs(info.path);
            platform.close(handle);
            std::printf(
                "presence=hidraw node=%s port=%s event_to_first_command_ms=%.3f "
                "node_age_at_first_command_ms=%.1f transfer=%d\n",
                info.path.c_str(), info.port.c_str(), latency, age, moved);
            ++seen;
        }
    }
    return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--hidraw") {
#ifdef __linux__
        return Hidraw(argc > 2 ? std::atoi(argv[2]) : 1, argc > 3 ? std::atoi(argv[3]) : 20);
#else
        std::printf("# --hidraw: Linux only\n");
        return 1;
#endif
    }
    const int mice = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int handlingMs = argc > 2 ? std::max(0, std::atoi(argv[2])) : 50;
    return Simulated(mice, handlingMs);
}
