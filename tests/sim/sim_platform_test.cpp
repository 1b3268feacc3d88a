// The simulated line: enumeration, handles, faults, the transfer record and
// the automatic sequence of mice.

#include "sim/sim_platform.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "sim/sim_line.h"
#include "support/virtual_clock.h"

namespace bw {
namespace {

using test::Frame;
using test::MakeFrame;
using test::RawPort;

std::vector<int> Lengths(SimulatedPlatform& p) {
    std::vector<int> lengths;
    for (const auto& info : p.enumerate()) lengths.push_back(info.featureLength);
    return lengths;
}

TEST(SimPlatformTest, DefaultIsOneReport4MouseWithItsIdentity) {
    SimulatedPlatform p;
    const auto list = p.enumerate();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].vendorId, 0x3A5C);
    EXPECT_EQ(list[0].productId, 0x0C21);
    EXPECT_EQ(list[0].release, 0x0104);
    EXPECT_EQ(list[0].featureLength, 8);
}

TEST(SimPlatformTest, IdentityOverridesAndSecondIcType) {
    SimulatedPlatform p{ParseScenario("ic=1,pid=1234,release=0105")};
    const auto list = p.enumerate();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].vendorId, 0x3A5C);
    EXPECT_EQ(list[0].productId, 0x1234);
    EXPECT_EQ(list[0].release, 0x0105);
    EXPECT_EQ(SimulatedPlatform{ParseScenario("ic=2")}.enumerate()[0].release, 0x0100);
}

TEST(SimPlatformTest, OthersAndPointerEnumerateBeforeTheFeatureInterface) {
    SimulatedPlatform p{ParseScenario("others=3,pointer=1")};
    EXPECT_EQ(Lengths(p), (std::vector<int>{0, 9, 0, 0, 8}));
    const auto list = p.enumerate();
    EXPECT_NE(list[0].vendorId, 0x3A5C);
    EXPECT_EQ(list[3].vendorId, 0x3A5C);  // the mouse's pointer interface
    // Paths are distinct and every interface opens.
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (std::size_t j = i + 1; j < list.size(); ++j) EXPECT_NE(list[i].path, list[j].path);
    }
    RawPort pointer{p, 3};
    EXPECT_FALSE(pointer.set({4, 0x01}));
    RawPort keyboard{p, 1};
    EXPECT_FALSE(keyboard.set({4, 0x01}));
}

TEST(SimPlatformTest, OpenRefusesUnknownAndUnopenablePaths) {
    SimulatedPlatform p;
    std::string why;
    EXPECT_EQ(p.open("sim:99/0", &why), kInvalidHandle);
    EXPECT_EQ(why, "no such device");
    EXPECT_EQ(p.open("sim:1/7"), kInvalidHandle);
    EXPECT_EQ(p.open("sim:1/0x"), kInvalidHandle);
    EXPECT_EQ(p.open("/dev/hidraw0"), kInvalidHandle);
    SimDeviceSpec locked = p.mouseSpec(0);
    locked.interfaces[0].openable = false;
    const int id = p.plug(locked);
    EXPECT_EQ(p.open("sim:" + std::to_string(id) + "/0", &why), kInvalidHandle);
    EXPECT_EQ(why, "permission denied");
    EXPECT_EQ(p.openHandleCount(), 0);
}

TEST(SimPlatformTest, HandlesAreUniqueAndCounted) {
    SimulatedPlatform p{ParseScenario("others=1")};
    const auto list = p.enumerate();
    const HidHandle a = p.open(list[0].path);
    const HidHandle b = p.open(list[1].path);
    const HidHandle c = p.open(list[1].path);
    EXPECT_GT(a, 0);
    EXPECT_NE(a, b);
    EXPECT_NE(b, c);
    EXPECT_EQ(p.openHandleCount(), 3);
    p.close(b);
    p.close(b);      // twice: harmless
    p.close(12345);  // unknown: harmless
    p.close(kInvalidHandle);
    EXPECT_EQ(p.openHandleCount(), 2);
    const HidHandle d = p.open(list[0].path);
    EXPECT_NE(d, b);  // never reused
    p.close(a);
    p.close(c);
    p.close(d);
    EXPECT_EQ(p.openHandleCount(), 0);
}

TEST(SimPlatformTest, UnplugMakesTransfersFailUntilTheHandleIsClosed) {
    SimulatedPlatform p{ParseScenario("others=1")};
    const HidHandle h = p.open(p.enumerate()[1].path);
    const Frame f = MakeFrame({4, 0x01});
    ASSERT_EQ(p.setFeature(h, f.data(), f.size()), 8);
    const int mouseId = p.devices().back();
    p.unplug(mouseId);
    EXPECT_EQ(p.enumerate().size(), 1u);
    EXPECT_EQ(p.currentMouse(), nullptr);
    EXPECT_NE(p.mouse(mouseId), nullptr);  // kept for inspection
    EXPECT_EQ(p.setFeature(h, f.data(), f.size()), -1);
    EXPECT_EQ(p.transfers().back().iface, -1);
    EXPECT_EQ(p.openHandleCount(), 1);
    p.close(h);
    EXPECT_EQ(p.openHandleCount(), 0);
    // Plugged again, the mouse is a new device with a new path.
    p.plugMouse(0);
    EXPECT_NE(p.enumerate()[1].path, "sim:" + std::to_string(mouseId) + "/0");
}

TEST(SimPlatformTest, CurrentMouseIsTheLastPluggedStillPresent) {
    SimulatedPlatform p;
    const int first = p.devices().front();
    const int second = p.plugMouse(1);
    p.plugOther();
    EXPECT_EQ(p.currentMouse(), p.mouse(second));
    p.unplug(second);
    EXPECT_EQ(p.currentMouse(), p.mouse(first));
    EXPECT_EQ(p.mouse(p.devices().back()), nullptr);  // not a mouse
}

TEST(SimPlatformTest, FailAfterFailsEveryLaterTransfer) {
    SimulatedPlatform p{ParseScenario("fail-after=3")};
    RawPort port{p, 0};
    EXPECT_TRUE(port.set({4, 0x01}));
    bool ok = false;
    port.get(4, &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(port.set({4, 0x03}));
    Frame reply = port.get(4, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(reply, MakeFrame({4}));  // left as given
    EXPECT_FALSE(port.set({4, 0x01}));
    // Takes effect at once when changed at run time.
    p.faults().failAfter = -1;
    EXPECT_TRUE(port.set({4, 0x01}));
}

TEST(SimPlatformTest, RecordsEveryTransferWithTheReplyOfAGet) {
    SimulatedPlatform p{ParseScenario("pointer=1")};
    RawPort port{p, 1};
    port.set({4, 0x03});
    port.get(4);
    port.set({0x40, 0x0D});
    ASSERT_EQ(p.transfers().size(), 3u);
    const TransferRecord& set = p.transfers()[0];
    EXPECT_TRUE(set.isSet);
    EXPECT_EQ(set.iface, 1);
    EXPECT_EQ(set.data, MakeFrame({4, 0x03}));
    EXPECT_TRUE(set.ok);
    const TransferRecord& get = p.transfers()[1];
    EXPECT_FALSE(get.isSet);
    EXPECT_EQ(get.data, MakeFrame({4, 0xAA, 0x04, 0x35, 0, 0, 0, 0xCC}));
    EXPECT_FALSE(p.transfers()[2].ok);
    EXPECT_EQ(p.transferCount(), 3);
    p.clearTransfers();
    EXPECT_TRUE(p.transfers().empty());
}

class DumpTest : public ::testing::Test {
  protected:
    void TearDown() override {
        std::filesystem::remove(base_);
        for (int i = 1; i <= 4; ++i) std::filesystem::remove(file(i));
    }
    std::string file(int i) const { return base_.string() + "." + std::to_string(i); }
    static std::vector<std::uint8_t> Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // One report-4 write of a byte at address 0, as a write operation would end.
    static void WriteOneByte(SimulatedPlatform& p, int value) {
        RawPort port{p, static_cast<int>(p.enumerate().size()) - 1};
        port.set({4, 0x06, 0, 0, 1, 0});
        port.get(4);
        port.set({4, 0x07, value});
        port.get(4);
    }
    std::filesystem::path base_ = std::filesystem::temp_directory_path() / "bw_sim_dump_test.bin";
};

TEST_F(DumpTest, SingleMouseIsDumpedOnceAtFinishOrDestruction) {
    {
        SimulatedPlatform p{ParseScenario("dump=" + base_.string())};
        WriteOneByte(p, 0x5A);
        EXPECT_TRUE(p.finish());
        auto bytes = Read(base_.string());
        ASSERT_EQ(bytes.size(), 2048u);
        EXPECT_EQ(bytes[0], 0x5A);
        EXPECT_EQ(bytes[1], 0xFF);
        std::filesystem::remove(base_);
        EXPECT_TRUE(p.finish());  // once only
        EXPECT_FALSE(std::filesystem::exists(base_));
    }
    { SimulatedPlatform p{ParseScenario("dump=" + base_.string())}; }
    EXPECT_EQ(Read(base_.string()).size(), 2048u);
}

// A folder that does not exist is refused by the scenario; one gone since is said at the end,
// for the single mouse's dump and for a mouse pulled out of the line.
TEST_F(DumpTest, FinishReportsAnUnwritableDump) {
    const std::filesystem::path folder = base_.string() + ".folder";
    for (const std::string keys : {"dump=", "mice=1,dump="}) {
        SCOPED_TRACE(keys);
        std::filesystem::create_directories(folder);
        SimulatedPlatform p{ParseScenario(keys + (folder / "out.bin").string())};
        std::filesystem::remove_all(folder);
        WriteOneByte(p, 1);
        p.endOperation();
        EXPECT_FALSE(p.finish());
    }
}

TEST_F(DumpTest, AutomaticLinePullsEachWrittenMouseAndPlugsTheNextAfterAPollTick) {
    SimulatedPlatform p{ParseScenario("mice=3,others=1,dump=" + base_.string())};
    ASSERT_EQ(p.enumerate().size(), 2u);
    // An operation that wrote nothing leaves the mouse in place.
    p.endOperation();
    EXPECT_EQ(p.enumerate().size(), 2u);
    EXPECT_EQ(p.miceDone(), 0);

    for (int mouse = 1; mouse <= 3; ++mouse) {
        SCOPED_TRACE(mouse);
        WriteOneByte(p, mouse);
        p.endOperation();
        EXPECT_EQ(p.miceDone(), mouse);
        const auto dump = Read(file(mouse));
        ASSERT_EQ(dump.size(), 2048u);
        EXPECT_EQ(dump[0], mouse);
        // The next mouse arrives only after a whole poll tick saw the removal.
        for (int i = 0; i < 10; ++i) ASSERT_EQ(p.enumerate().size(), 1u) << i;
        EXPECT_EQ(p.enumerate().size(), mouse < 3 ? 2u : 1u);
        if (mouse < 3) {
            EXPECT_FALSE(p.currentMouse()->written());
            EXPECT_EQ(p.currentMouse()->memory()[0], 0xFF);
        }
    }
    for (int i = 0; i < 30; ++i) p.enumerate();
    EXPECT_EQ(p.enumerate().size(), 1u);  // after N mice none follows
    EXPECT_FALSE(std::filesystem::exists(file(4)));
    EXPECT_TRUE(p.finish());
    EXPECT_FALSE(std::filesystem::exists(base_));  // no single-mouse dump
}

#ifndef _WIN32  // the kill is a forked child that ends without its destructors
// line-dir: a process killed at any step leaves the line as a new process finds it. A mouse
// leaves for good only once the station polled after pulling it out (or ended cleanly).
TEST_F(DumpTest, LineKeptInAFolderResumesWhereAKilledProcessLeftIt) {
    struct Row {
        const char* name;
        std::function<void(SimulatedPlatform&)> steps;  // then the process is killed
        int mouseAfter;                                 // the mouse at the station next time
        int byte0;                                      // its first byte
    };
    const std::vector<Row> rows = {
        {"nothing done", [](SimulatedPlatform&) {}, 1, 0xFF},
        {"killed in the middle of a write", [](SimulatedPlatform& p) { WriteOneByte(p, 7); }, 1, 7},
        {"killed after the pull-out, before the next poll",
         [](SimulatedPlatform& p) {
             WriteOneByte(p, 7);
             p.endOperation();
         },
         1, 7},
        {"killed after the next poll",
         [](SimulatedPlatform& p) {
             WriteOneByte(p, 7);
             p.endOperation();
             p.enumerate();
         },
         2, 0xFF},
        {"a clean end",
         [](SimulatedPlatform& p) {
             WriteOneByte(p, 7);
             p.endOperation();
             EXPECT_TRUE(p.finish());
         },
         2, 0xFF},
    };
    const std::string folder = base_.string() + ".line";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(folder);
        const std::string scenario = "mice=3,line-dir=" + folder;
        const pid_t child = fork();
        if (child == 0) {
            SimulatedPlatform p{ParseScenario(scenario)};
            row.steps(p);
            _exit(0);  // no destructor: as a kill
        }
        int status = 0;
        waitpid(child, &status, 0);
        SimulatedPlatform p{ParseScenario(scenario)};
        EXPECT_EQ(p.miceDone(), row.mouseAfter - 1);
        ASSERT_NE(p.currentMouse(), nullptr);
        EXPECT_EQ(p.currentMouse()->memory()[0], row.byte0);
        // A mouse a write had reached before is pulled out after the next operation on it,
        // even one that only reads; an operation made of two ends once.
        p.beginOperation();
        p.beginOperation();
        p.endOperation();
        EXPECT_EQ(p.miceDone(), row.mouseAfter - 1);
        p.endOperation();
        EXPECT_EQ(p.miceDone(), row.mouseAfter - (row.byte0 == 7 ? 0 : 1));
    }
    std::filesystem::remove_all(folder);
}
#endif

// Index of the feature interface on a port, or -1.
int IndexOnPort(SimulatedPlatform& p, int port) {
    const auto list = p.enumerate();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].port == "port" + std::to_string(port) && list[i].featureLength == 8)
            return static_cast<int>(i);
    }
    return -1;
}

TEST(PortLineTest, EachPortHoldsAMouseAndNamesIt) {
    SimulatedPlatform p{ParseScenario("slots=3,others=1,split=1,ic=1")};
    const auto list = p.enumerate();
    ASSERT_EQ(list.size(), 7u);
    EXPECT_EQ(list[0].port, "port4");  // another device: a port after the line's
    for (int port = 1; port <= 3; ++port) {
        // Both interfaces of a mouse share its port; paths differ between mice.
        EXPECT_EQ(list[static_cast<std::size_t>(2 * port - 1)].port, "port" + std::to_string(port));
        EXPECT_EQ(list[static_cast<std::size_t>(2 * port)].port, "port" + std::to_string(port));
        EXPECT_EQ(p.portOf(p.devices()[static_cast<std::size_t>(port)]), port);
    }
    EXPECT_EQ(p.portOf(p.devices()[0]), 0);
    EXPECT_EQ(SimulatedPlatform{}.enumerate()[0].port, "port1");
}

class PortLineDumpTest : public DumpTest {};

TEST_F(PortLineDumpTest, AWrittenMouseLeavesItsPortAndTheNextComesAfterTheHandlingTime) {
    test::VirtualClock clock;
    SimulatedPlatform p{ParseScenario("slots=2,mice=3,handling-ms=500,dump=" + base_.string()),
                        &clock};
    const auto watcher = p.watchPresence();
    ASSERT_EQ(p.enumerate().size(), 2u);
    RawPort second{p, IndexOnPort(p, 2)};
    // Neither an operation that wrote nothing nor the one-port line's end pulls a mouse.
    p.operationEnded(second.handle());
    second.set({4, 0x06, 0, 0, 1, 0});
    second.get(4);
    second.set({4, 0x07, 0x5A});
    second.get(4);
    p.endOperation();
    EXPECT_EQ(p.enumerate().size(), 2u);

    clock.sleepUs(1000);
    p.operationEnded(second.handle());
    EXPECT_EQ(p.miceDone(), 1);
    EXPECT_EQ(Read(file(2))[0], 0x5A);       // mouse 2 in plug order
    EXPECT_TRUE(watcher->waitForChange(0));  // the pull, at once
    EXPECT_EQ(IndexOnPort(p, 2), -1);
    // The next mouse is due 500 ms after the pull: the watcher wakes then.
    EXPECT_TRUE(watcher->waitForChange(10'000));
    EXPECT_EQ(clock.nowUs(), 501'000);
    EXPECT_NE(IndexOnPort(p, 2), -1);
    EXPECT_EQ(p.enumerate().size(), 2u);
    // All three plugged: nothing more is due.
    EXPECT_FALSE(watcher->waitForChange(2000));
    EXPECT_EQ(clock.nowUs(), 2'501'000);
    p.unplug(p.devices().back());
    EXPECT_TRUE(watcher->waitForChange(2000));
    EXPECT_EQ(p.enumerate().size(), 1u);
}

TEST(PortLineTest, FaultsOnChosenPortsCountEachMouse) {
    struct Row {
        const char* scenario;
        int okPort1;  // of 4 gets each, taken in turn
        int okPort2;
        std::int64_t busUs;
    };
    const Row rows[] = {
        {"slots=2", 4, 4, 0},
        {"slots=2,fail-after=2", 2, 2, 0},  // each mouse's own count
        {"slots=2,fail-after=2,fault-slot=2", 4, 2, 0},
        {"slots=2,short-reply=2,fault-slot=1", 2, 4, 0},
        {"slots=2,fail-after=0,fault-slot=1,latency-us=100", 0, 4, 800},  // the bus for all
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.scenario);
        test::VirtualClock clock;
        SimulatedPlatform p{ParseScenario(row.scenario), &clock};
        RawPort one{p, IndexOnPort(p, 1)};
        RawPort two{p, IndexOnPort(p, 2)};
        int ok1 = 0;
        int ok2 = 0;
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            one.get(4, &ok);
            ok1 += ok;
            two.get(4, &ok);
            ok2 += ok;
        }
        EXPECT_EQ(ok1, row.okPort1);
        EXPECT_EQ(ok2, row.okPort2);
        EXPECT_EQ(clock.nowUs(), row.busUs);
    }
}

TEST(SimPlatformTest, MemoryFileSeedsEveryMouse) {
    Scenario s;
    s.memory = Image{};
    (*s.memory)[5] = 0x42;
    SimulatedPlatform p{s};
    EXPECT_EQ(p.currentMouse()->memory()[5], 0x42);
    EXPECT_EQ(p.mouse(p.plugMouse(2))->memory()[5], 0x42);
}

}  // namespace
}  // namespace bw
