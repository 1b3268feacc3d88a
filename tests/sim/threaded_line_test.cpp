// Several threads on one simulated line of ports, through the transfer trace: a writer per
// port runs the whole image write on its own mouse while another thread enumerates, counts
// and opens. Run under ThreadSanitizer by scripts/test-tsan.sh (label threads).

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device/trace.h"
#include "image/ic_types.h"
#include "image/mouse_session.h"
#include "image/operations.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"
#include "support/virtual_clock.h"

namespace bw {
namespace {

constexpr int kPorts = 4;
constexpr int kMice = 8;

Image ImageFor(int port, int round) {
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * (2 * port + 1) + round * 31);
    return image;
}

// The line's present mouse on a port, or 0.
int MouseOnPort(SimulatedPlatform& line, int port) {
    for (const int id : line.devices()) {
        if (line.portOf(id) == port && line.mouse(id) != nullptr) return id;
    }
    return 0;
}

TEST(ThreadedLineTest, WritersOnEveryPortAndAnObserverRunAtOnce) {
    test::VirtualClock clock;
    SimulatedPlatform line{ParseScenario("slots=4,mice=8,handling-ms=20,latency-us=50,others=2"),
                           &clock};
    std::ostringstream traceText;
    TracingPlatform trace(line, traceText);

    std::atomic<int> writersLeft{kPorts};
    std::vector<std::map<int, int>> written(kPorts + 1);  // per port: device id -> round
    std::vector<std::thread> threads;
    for (int port = 1; port <= kPorts; ++port) {
        threads.emplace_back([&, port] {
            const auto watcher = trace.watchPresence();
            test::RecordingHost host;
            // Which port the next mouse goes to depends on who finished first.
            for (int round = 0; line.miceDone() < kMice;) {
                const int id = MouseOnPort(line, port);
                MouseSession state(trace);
                if (id == 0 || !state.link.OpenDeviceReport4(0x3A5C, 0x0C21, 0x0104,
                                                             "port" + std::to_string(port))) {
                    watcher->waitForChange(100);
                    continue;
                }
                state.ImageBuffer = ImageFor(port, round);
                state.ImageType = std::string(IcTypeAt(0)->rowText);
                EXPECT_EQ(WriteImage(state, 0, WriteParams{}, FactoryFields{}, host),
                          Outcome::Pass);
                written[static_cast<std::size_t>(port)][id] = round++;
            }
            --writersLeft;
        });
    }
    // Meanwhile: counts, enumerations and opens of every interface, from one more thread.
    long looks = 0;
    threads.emplace_back([&] {
        Link link(trace);
        while (writersLeft > 0) {
            EXPECT_GE(link.CountHidInterfaces(), 2);
            for (const auto& info : trace.enumerate()) trace.close(trace.open(info.path));
            ++looks;
        }
    });
    for (auto& t : threads) t.join();

    EXPECT_GT(looks, 0);
    EXPECT_EQ(line.openHandleCount(), 0);
    std::size_t mice = 0;
    for (int port = 1; port <= kPorts; ++port) {
        mice += written[static_cast<std::size_t>(port)].size();
        for (const auto& [id, round] : written[static_cast<std::size_t>(port)])
            EXPECT_EQ(line.mouse(id)->memory(), ImageFor(port, round)) << "port " << port;
    }
    EXPECT_EQ(mice, std::size_t{kMice});
    // One whole trace line per transfer.
    std::istringstream lines(traceText.str());
    long traced = 0;
    for (std::string text; std::getline(lines, text); ++traced) {
        const auto item = nlohmann::json::parse(text);
        ASSERT_TRUE(item.at("op") == "set" || item.at("op") == "get") << text;
    }
    EXPECT_EQ(traced, line.transferCount());
}

}  // namespace
}  // namespace bw
