// The gang runner on the simulated line of ports, on a virtual clock: slots per port,
// numbers from concurrent starts, one slot's fault or unplug beside the others, stop rules
// and a seeded campaign of faults on one slot. Suites named Threaded* (label threads) run
// under ThreadSanitizer too.

#include "station/gang_runner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "image/factory_record.h"
#include "image/ic_types.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "station/counter_serials.h"
#include "support/virtual_clock.h"

namespace bw {
namespace {

using station::GangResult;

// The runner's host: a stop request set from anywhere.
class StopHost : public OperationHost {
  public:
    StopRequest stopRequest() override { return stop.load(); }
    std::atomic<StopRequest> stop{StopRequest::None};
};

// What the runner said; its calls come one at a time.
struct Heard : station::GangObserver {
    void slotAssigned(int slot, const std::string& port) override { ports[slot] = port; }
    void portIgnored(const std::string& port) override { ignored.push_back(port); }
    void portUnnamed(const std::string& path) override { unnamed.push_back(path); }
    void progress(int slot, int done, int total) override {
        if (onProgress) onProgress(slot, done, total);
    }
    void mouseFinished(const GangResult& r) override { results.push_back(r); }
    void mouseRemoved(int slot) override { ++removed[slot]; }
    void mouseHeld(int slot, const station::HeldMouse& m) override { held[slot] = m.port; }

    std::map<int, std::string> ports;
    std::vector<std::string> ignored;
    std::vector<std::string> unnamed;
    std::vector<GangResult> results;
    std::map<int, int> removed;
    std::map<int, std::string> held;
    std::function<void(int, int, int)> onProgress;
};

Image TestImage() {
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 5);
    return image;
}

struct Gang {
    explicit Gang(const std::string& scenario) : line(ParseScenario(scenario), &clock) {
        settings.vid = 0x3A5C;
        settings.pid = 0x0C21;
        settings.params.sleep = 10;
        settings.image = TestImage();
        settings.imageType = std::string(IcTypeAt(0)->rowText);
        settings.lookMs = 5;
    }
    station::GangSummary run() {
        station::GangRunner runner(line, settings, serials, heard, &waits);
        return runner.run(host);
    }
    // The present mouse on a port, or 0.
    int mouseOn(int port) {
        for (const int id : line.devices())
            if (line.portOf(id) == port && line.mouse(id) != nullptr) return id;
        return 0;
    }
    std::map<int, std::vector<Outcome>> outcomesBySlot() const {
        std::map<int, std::vector<Outcome>> by;
        for (const auto& r : heard.results) by[r.slot].push_back(r.outcome);
        return by;
    }

    test::VirtualClock clock;
    SimulatedPlatform line;
    test::VirtualWaits waits{clock};
    StopHost host;
    station::GangSettings settings;
    station::CounterSerials serials{0x10};
    Heard heard;
};

TEST(ThreadedGangRunner, SlotsKeepTheirPortsAndNumbersAreNeverGivenTwice) {
    Gang gang("slots=4,mice=12,handling-ms=20,latency-us=20,others=1");
    gang.settings.params.writeId = true;
    gang.settings.count = 12;
    const station::GangSummary summary = gang.run();

    EXPECT_EQ(summary.mice, 12);
    EXPECT_EQ(summary.passes, 12);
    ASSERT_EQ(gang.heard.ports.size(), 4u);
    std::set<std::int32_t> numbers;
    for (const GangResult& r : gang.heard.results) {
        EXPECT_EQ(r.port, gang.heard.ports.at(r.slot));
        ASSERT_TRUE(r.writtenNumber.has_value());
        EXPECT_EQ(r.writtenNumber, r.numberTaken);
        numbers.insert(*r.writtenNumber);
    }
    // Twelve different numbers, none skipped.
    EXPECT_EQ(numbers.size(), 12u);
    EXPECT_EQ(*numbers.begin(), 0x10);
    EXPECT_EQ(*numbers.rbegin(), 0x1B);
    EXPECT_EQ(gang.serials.next(), 0x1C);
    EXPECT_EQ(gang.line.miceDone(), 12);
    EXPECT_EQ(gang.line.openHandleCount(), 0);
}

TEST(ThreadedGangRunner, FixedPortsNumberTheSlotsAndOtherPortsAreLeftAlone) {
    Gang gang("slots=3,mice=3");
    gang.settings.ports = {"port3", "port1"};
    gang.settings.count = 2;
    const int onPort2 = gang.mouseOn(2);
    gang.run();

    ASSERT_EQ(gang.heard.results.size(), 2u);
    for (const GangResult& r : gang.heard.results) {
        EXPECT_EQ(r.port, r.slot == 1 ? "port3" : "port1");
        EXPECT_EQ(r.outcome, Outcome::Pass);
    }
    EXPECT_EQ(gang.heard.ignored, std::vector<std::string>{"port2"});
    EXPECT_FALSE(gang.line.mouse(onPort2)->written()) << "the mouse of port 2 was touched";
}

// One slot's fault or a pull in the middle of its write: that slot fails, the others pass
// with the image in their mice.
TEST(ThreadedGangRunner, OneSlotFailingLeavesTheOthersUntouched) {
    struct Row {
        const char* name;
        const char* scenario;
        bool unplugMidWrite;
    };
    for (const Row& row : {Row{"nack", "slots=3,mice=3,fault-slot=2,nack=1", false},
                           Row{"fail-after", "slots=3,mice=3,fault-slot=2,fail-after=40", false},
                           Row{"stuck-byte", "slots=3,mice=3,fault-slot=2,stuck-byte=7", false},
                           Row{"unplug", "slots=3,mice=3", true}}) {
        SCOPED_TRACE(row.name);
        Gang gang(row.scenario);
        gang.settings.count = 3;
        std::map<int, int> idOnPort;
        for (int port = 1; port <= 3; ++port) idOnPort[port] = gang.mouseOn(port);
        bool pulled = false;
        if (row.unplugMidWrite) {
            gang.heard.onProgress = [&](int slot, int done, int) {
                if (gang.heard.ports.at(slot) == "port2" && done >= 700 && !pulled) {
                    pulled = true;
                    gang.line.unplug(idOnPort[2]);
                }
            };
        }
        gang.run();

        ASSERT_EQ(gang.heard.results.size(), 3u);
        for (const GangResult& r : gang.heard.results) {
            const int port = r.port.back() - '0';
            const Image held = gang.line.mouse(idOnPort[port])->memory();
            if (port == 2) {
                EXPECT_NE(r.outcome, Outcome::Pass);
                if (row.unplugMidWrite) {
                    EXPECT_EQ(gang.heard.removed[r.slot], 1);
                }
            } else {
                EXPECT_EQ(r.outcome, Outcome::Pass) << r.port;
                EXPECT_EQ(held, gang.settings.image) << r.port;
            }
        }
        EXPECT_EQ(pulled, row.unplugMidWrite);
    }
}

// A held mouse keeps its port's slot and is not written; once it is pulled out, the next
// mouse on that port is. A held entry whose path is not on its port holds nothing.
TEST(ThreadedGangRunner, AHeldMouseIsLeftAloneAndTheNextOnItsPortIsWritten) {
    Gang gang("slots=2,mice=3");
    const int heldId = gang.mouseOn(1);
    std::string path;
    for (const HidInterfaceInfo& info : gang.line.enumerate())
        if (info.port == "port1") path = info.path;
    gang.settings.held = {{"port1", path, 7}, {"port2", "gone", 8}};
    gang.settings.count = 2;
    bool pulled = false;
    gang.heard.onProgress = [&](int, int, int) {
        if (!pulled) gang.line.unplug(heldId);
        pulled = true;
    };
    const station::GangSummary summary = gang.run();

    EXPECT_EQ(gang.heard.held, (std::map<int, std::string>{{1, "port1"}}));
    EXPECT_EQ(gang.heard.ports.at(1), "port1");
    EXPECT_FALSE(gang.line.mouse(heldId)->written()) << "the held mouse was written";
    EXPECT_EQ(summary.mice, 2);
    std::set<std::string> written;
    for (const GangResult& r : gang.heard.results) {
        EXPECT_EQ(r.outcome, Outcome::Pass) << r.port;
        written.insert(r.port);
    }
    EXPECT_EQ(written, (std::set<std::string>{"port1", "port2"}));
}

TEST(ThreadedGangRunner, StopRequestsStartNothingNewAndAbortEndsTheWritesInProgress) {
    {
        Gang gang("slots=2,mice=2");
        gang.host.stop = StopRequest::Finish;
        const station::GangSummary summary = gang.run();
        EXPECT_EQ(summary.mice, 0);
        EXPECT_EQ(gang.line.transferCount(), 0);
    }
    Gang gang("slots=3,mice=6");
    gang.heard.onProgress = [&](int, int, int) { gang.host.stop = StopRequest::Abort; };
    const station::GangSummary summary = gang.run();
    EXPECT_GE(summary.mice, 1);
    for (const GangResult& r : gang.heard.results) EXPECT_EQ(r.outcome, Outcome::Aborted);
    EXPECT_LE(gang.line.miceDone(), 3);
}

TEST(ThreadedGangRunner, ARefusedNumberLeavesTheMouseUntouchedAndEndsTheRun) {
    Gang gang("slots=2,mice=4");
    gang.settings.params.writeId = true;
    station::CounterSerials last{kMaxProductNumber};
    station::GangRunner runner(gang.line, gang.settings, last, gang.heard, &gang.waits);
    const station::GangSummary summary = runner.run(gang.host);
    EXPECT_FALSE(summary.refusal.empty());
    EXPECT_EQ(summary.mice, 1);
    EXPECT_EQ(gang.heard.results.at(0).writtenNumber, kMaxProductNumber);
}

// The fault campaign on one slot of a gang: seeded faults on a random port; whatever they
// were, a pass means the mouse holds the image, and the other ports pass.
TEST(ThreadedGangRunner, SeededFaultsOnOneSlotNeverBreakAPassOrTheOtherSlots) {
    const std::vector<std::string> faults = {"nack=1",       "nack=3",        "ack-after=4",
                                             "ack-after=9",  "lose-piece=3",  "fail-after=300",
                                             "stuck-byte=9", "short-reply=40"};
    std::mt19937 random(15);
    for (int seed = 0; seed < 12; ++seed) {
        const int port = 1 + static_cast<int>(random() % 3);
        const std::string fault = faults[random() % faults.size()];
        const std::string scenario =
            "slots=3,mice=3,fault-slot=" + std::to_string(port) + "," + fault;
        SCOPED_TRACE(scenario);
        Gang gang(scenario);
        gang.settings.count = 3;
        gang.settings.params.writeId = random() % 2 == 0;
        std::map<int, int> idOnPort;
        for (int p = 1; p <= 3; ++p) idOnPort[p] = gang.mouseOn(p);
        gang.run();
        ASSERT_EQ(gang.heard.results.size(), 3u);
        for (const GangResult& r : gang.heard.results) {
            const int p = r.port.back() - '0';
            const Image held = gang.line.mouse(idOnPort[p])->memory();
            Image expected = gang.settings.image;
            if (gang.settings.params.writeId) {
                const FactoryRecordBytes record = BuildFactoryRecord(r.factory);
                std::copy(record.begin(), record.end(), expected.begin() + FactoryRecordOffset);
            }
            if (p != port) {
                EXPECT_EQ(r.outcome, Outcome::Pass) << r.port;
            }
            if (r.outcome == Outcome::Pass) {
                EXPECT_EQ(held, expected) << r.port;
            }
        }
    }
}

}  // namespace
}  // namespace bw

namespace bw {
namespace {

// A line whose second port the system cannot name (as Windows' device tree may not).
struct NamelessSecondPort : HidPlatform {
    explicit NamelessSecondPort(HidPlatform& line) : line_(line) {}
    std::vector<HidInterfaceInfo> enumerate() override {
        auto list = line_.enumerate();
        for (auto& info : list) {
            if (info.port == "port2") info.port.clear();
        }
        return list;
    }
    HidHandle open(const std::string& path, std::string* error) override {
        return line_.open(path, error);
    }
    int setFeature(HidHandle h, const std::uint8_t* data, std::size_t n) override {
        return line_.setFeature(h, data, n);
    }
    int getFeature(HidHandle h, std::uint8_t* data, std::size_t n) override {
        return line_.getFeature(h, data, n);
    }
    void close(HidHandle h) override { line_.close(h); }
    void beginOperation() override { line_.beginOperation(); }
    void endOperation() override { line_.endOperation(); }
    void operationEnded(HidHandle h) override { line_.operationEnded(h); }
    HidPlatform& line_;
};

TEST(ThreadedGangRunner, AMouseOnAPortWithoutANameIsNamedInAWarningOnce) {
    Gang g("slots=2");
    g.settings.count = 1;
    NamelessSecondPort platform(g.line);
    station::GangRunner runner(platform, g.settings, g.serials, g.heard, &g.waits);
    runner.run(g.host);
    ASSERT_EQ(g.heard.results.size(), 1u);
    EXPECT_EQ(g.heard.results[0].port, "port1");
    // Seen at every look while the runner ran, said once.
    ASSERT_EQ(g.heard.unnamed.size(), 1u);
    EXPECT_EQ(g.heard.unnamed[0].rfind("sim:", 0), 0u);
}

}  // namespace
}  // namespace bw
