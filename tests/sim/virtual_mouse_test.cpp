// The virtual USB mouse without the gadget stack: layouts, descriptors as the
// hidraw backend parses them, the FunctionFS blob and the ep0 request answers.
#ifdef __linux__

#include <gtest/gtest.h>

#include <algorithm>

#include "device/report_descriptor.h"
#include "sim/virtual_mouse_ffs.h"
#include "sim/virtual_mouse_layout.h"
#include "sim/virtual_mouse_ports.h"
#include "sim/virtual_mouse_requests.h"

namespace bw {
namespace {

std::vector<int> FeatureLengths(const VirtualMouseLayout& layout) {
    std::vector<int> lengths;
    for (const auto& iface : layout.interfaces) {
        const auto& d = iface.reportDescriptor;
        lengths.push_back(FeatureReportByteLength(d.data(), d.size()));
    }
    return lengths;
}

TEST(VirtualMouseLayout, InterfacesAndIdentityFollowTheScenario) {
    const auto ic0 = MakeVirtualMouseLayout(ParseScenario("ic=0"));
    EXPECT_EQ(ic0.vendorId, 0x3A5C);
    EXPECT_EQ(ic0.productId, 0x0C21);
    EXPECT_EQ(ic0.release, 0x0104);
    ASSERT_EQ(ic0.interfaces.size(), 1u);
    EXPECT_EQ(ic0.interfaces[0].reportIds, std::vector<std::uint8_t>{0x04});
    EXPECT_EQ(FeatureLengths(ic0), std::vector<int>{8});

    const auto split = MakeVirtualMouseLayout(ParseScenario("ic=2,split=1,pointer=1"));
    ASSERT_EQ(split.interfaces.size(), 3u);
    EXPECT_TRUE(split.interfaces[0].pointer);
    EXPECT_EQ(split.interfaces[1].reportIds, std::vector<std::uint8_t>{0x40});
    EXPECT_EQ(split.interfaces[2].reportIds, std::vector<std::uint8_t>{0x41});
    // The pointer has no feature reports, so the tool never considers it.
    EXPECT_EQ(FeatureLengths(split), (std::vector<int>{0, 8, 8}));

    const auto joined =
        MakeVirtualMouseLayout(ParseScenario("ic=1,vid=1234,pid=5678,release=0105"));
    EXPECT_EQ(joined.vendorId, 0x1234);
    EXPECT_EQ(joined.productId, 0x5678);
    EXPECT_EQ(joined.release, 0x0105);
    ASSERT_EQ(joined.interfaces.size(), 1u);
    EXPECT_EQ(FeatureLengths(joined), std::vector<int>{8});
}

TEST(VirtualMouseFunctionFs, DescriptorBlobIsConsistent) {
    const auto layout = MakeVirtualMouseLayout(ParseScenario("ic=1,split=1,pointer=1"));
    const auto blob = FunctionFsDescriptors(layout);
    const auto le32 = [&blob](std::size_t at) {
        return blob[at] | (blob[at + 1] << 8) | (blob[at + 2] << 16) | (blob[at + 3] << 24);
    };
    EXPECT_EQ(le32(0), 3);  // v2 magic
    EXPECT_EQ(le32(4), static_cast<int>(blob.size()));
    EXPECT_EQ(le32(12), 9);  // full speed: 3 descriptors per interface
    EXPECT_EQ(le32(16), 9);
    // Walk the descriptors: each length byte lands on the next one, and every
    // interface has its HID descriptor and an interrupt IN endpoint.
    std::vector<std::uint8_t> endpoints;
    std::size_t at = 20;
    int count = 0;
    while (at < blob.size()) {
        ASSERT_GT(blob[at], 1);
        if (blob[at + 1] == 0x21) {
            const int iface = (count / 3) % 3;
            const auto length =
                layout.interfaces[static_cast<std::size_t>(iface)].reportDescriptor.size();
            EXPECT_EQ(blob[at + 7] | (blob[at + 8] << 8), static_cast<int>(length));
        }
        if (blob[at + 1] == 0x05) {
            EXPECT_EQ(blob[at + 3], 0x03);
            endpoints.push_back(blob[at + 2]);
        }
        at += blob[at];
        ++count;
    }
    EXPECT_EQ(at, blob.size());
    EXPECT_EQ(count, 18);
    EXPECT_EQ(endpoints, (std::vector<std::uint8_t>{0x81, 0x82, 0x83, 0x81, 0x82, 0x83}));
    EXPECT_EQ(FunctionFsStrings().size(), 16u);
}

ControlSetup Request(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                     std::uint16_t index, std::uint16_t length) {
    return ControlSetup{type, request, value, index, length};
}

TEST(VirtualMouseRequests, DescriptorsAndIdleRequests) {
    VirtualMouseRequests requests(MakeVirtualMouseLayout(ParseScenario("ic=0")),
                                  ParseScenario("ic=0"));
    const auto& descriptor = requests.layout().interfaces[0].reportDescriptor;
    EXPECT_EQ(requests.answer(Request(0x81, 0x06, 0x2200, 0, 512)).data, descriptor);
    // Never more than the host asked for.
    EXPECT_EQ(requests.answer(Request(0x81, 0x06, 0x2200, 0, 4)).data.size(), 4u);
    EXPECT_EQ(requests.answer(Request(0x81, 0x06, 0x2100, 0, 9)).data,
              HidClassDescriptor(descriptor.size()));
    EXPECT_TRUE(requests.answer(Request(0x81, 0x06, 0x2300, 0, 9)).stall);
    EXPECT_TRUE(requests.answer(Request(0x81, 0x06, 0x2200, 1, 64)).stall);  // no interface 1
    const auto idle = requests.answer(Request(0x21, 0x0A, 0, 0, 0));
    EXPECT_FALSE(idle.stall);
    EXPECT_TRUE(idle.data.empty());
    EXPECT_EQ(requests.transfers(), 0);
}

TEST(VirtualMouseRequests, FeatureReportsReachTheController) {
    const Scenario scenario = ParseScenario("ic=0,chip=75");
    VirtualMouseRequests requests(MakeVirtualMouseLayout(scenario), scenario);
    const auto set = Request(0x21, 0x09, 0x0304, 0, 8);
    ASSERT_TRUE(requests.acceptsData(set));
    const std::uint8_t status[8] = {0x04, 0x03, 0, 0, 0, 0, 0, 0};
    requests.deliver(set, status, sizeof status);
    const auto reply = requests.answer(Request(0xA1, 0x01, 0x0304, 0, 8));
    ASSERT_FALSE(reply.stall);
    EXPECT_EQ(reply.data, (std::vector<std::uint8_t>{0x04, 0xAA, 0x04, 0x75, 0, 0, 0, 0xCC}));
    EXPECT_EQ(requests.transfers(), 2);
}

TEST(VirtualMouseRequests, RefusesWhatTheInterfaceDoesNotCarry) {
    const Scenario scenario = ParseScenario("ic=1,split=1");
    VirtualMouseRequests requests(MakeVirtualMouseLayout(scenario), scenario);
    // 0x40 lives on interface 0 only, 0x41 on interface 1 only.
    EXPECT_TRUE(requests.acceptsData(Request(0x21, 0x09, 0x0340, 0, 8)));
    EXPECT_FALSE(requests.acceptsData(Request(0x21, 0x09, 0x0340, 1, 8)));
    EXPECT_TRUE(requests.answer(Request(0xA1, 0x01, 0x0341, 0, 8)).stall);
    EXPECT_FALSE(requests.answer(Request(0xA1, 0x01, 0x0341, 1, 8)).stall);
    // Wrong length, output reports and unknown requests are refused.
    EXPECT_FALSE(requests.acceptsData(Request(0x21, 0x09, 0x0340, 0, 9)));
    EXPECT_FALSE(requests.acceptsData(Request(0x21, 0x09, 0x0240, 0, 8)));
    EXPECT_TRUE(requests.answer(Request(0xA1, 0x07, 0, 0, 8)).stall);
}

TEST(VirtualMouseRequests, UnplugIsDueAfterTheGivenTransfers) {
    const Scenario scenario = ParseScenario("ic=1,fail-after=2");
    VirtualMouseRequests requests(MakeVirtualMouseLayout(scenario), scenario);
    const std::uint8_t frame[8] = {0x40, 0x0D};
    requests.deliver(Request(0x21, 0x09, 0x0340, 0, 8), frame, 8);
    EXPECT_FALSE(requests.unplugDue());
    // Until the unplug the transfers themselves succeed: no failing line on top.
    EXPECT_FALSE(requests.answer(Request(0xA1, 0x01, 0x0341, 0, 8)).stall);
    EXPECT_TRUE(requests.unplugDue());
}

TEST(VirtualMouseRequests, ReplacedMouseStartsFromTheScenarioMemory) {
    const Scenario scenario = ParseScenario("ic=1");
    VirtualMouseRequests requests(MakeVirtualMouseLayout(scenario), scenario);
    requests.mouse().memory()[0] = 0x12;
    requests.replaceMouse();
    EXPECT_EQ(requests.mouse().memory()[0], 0xFF);
    EXPECT_FALSE(requests.mouse().written());
}

// Command lines: ports, their scenarios and dump files; "" in dumps: none.
TEST(VirtualMouseArgs, PortsScenariosAndDumps) {
    struct Row {
        std::vector<std::string> args;
        bool error;
        std::vector<int> ics;
        std::vector<std::string> dumps;
    };
    const Row rows[] = {
        {{}, false, {0}, {""}},
        {{"ic=1,dump=m"}, false, {1}, {"m"}},
        {{"ic=1,dump=a", "ic=0"}, false, {1, 0}, {"a", ""}},
        {{"--ports", "3", "ic=2,dump=m"}, false, {2, 2, 2}, {"m.1", "m.2", "m.3"}},
        {{"--ports=2"}, false, {0, 0}, {"", ""}},
        {{"--ports", "1", "dump=m"}, false, {0}, {"m"}},  // one port: the name as given
        {{"--ports", "2", "ic=0", "ic=1"}, true, {}, {}},
        {{"--ports", "0"}, true, {}, {}},
        {{"--ports", "33"}, true, {}, {}},
        {{"--ports", "2x"}, true, {}, {}},
        {{"--ports"}, true, {}, {}},
        {{"--mice", "2"}, true, {}, {}},
        {{"ic=0", "ic=9"}, true, {}, {}},
        {{"slots=2"}, true, {}, {}},  // the simulated line's ports, not controllers
        {{"--ports", "2", "slots=2,fault-slot=1"}, true, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        if (row.error) {
            EXPECT_THROW(ParseVirtualMouseArgs(row.args), ScenarioError);
            continue;
        }
        const VirtualMouseOptions options = ParseVirtualMouseArgs(row.args);
        std::vector<int> ics;
        std::vector<std::string> dumps;
        for (const Scenario& port : options.ports) {
            ics.push_back(port.ic);
            dumps.push_back(port.dumpFile);
        }
        EXPECT_EQ(ics, row.ics);
        EXPECT_EQ(dumps, row.dumps);
    }
    EXPECT_TRUE(ParseVirtualMouseArgs({"ic=0", "--help"}).help);
}

TEST(VirtualMouseArgs, PortCommandsAndControllerOrder) {
    struct Row {
        const char* line;
        bool valid;
        bool plug;
        int port;
    };
    const Row rows[] = {
        {"unplug 2", true, false, 2}, {"plug 1\n", true, true, 1},  {"  plug  3 ", true, true, 3},
        {"plug 4", false, false, 0},  {"plug 0", false, false, 0},  {"unplug", false, false, 0},
        {"pull 1", false, false, 0},  {"plug 1x", false, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const auto command = ParsePortCommand(row.line, 3);
        ASSERT_EQ(command.has_value(), row.valid);
        if (!command) continue;
        EXPECT_EQ(command->plug, row.plug);
        EXPECT_EQ(command->port, row.port);
    }
    std::vector<std::string> udcs = {"dummy_udc.10", "dummy_udc.2", "dummy_udc.0", "dummy_udc.1"};
    std::sort(udcs.begin(), udcs.end(), UdcOrderLess);
    EXPECT_EQ(udcs, (std::vector<std::string>{"dummy_udc.0", "dummy_udc.1", "dummy_udc.2",
                                              "dummy_udc.10"}));
    EXPECT_NE(PortGadgetName(1, 2), PortGadgetName(2, 2));
    EXPECT_EQ(PortGadgetName(1, 1), "binwright");
}

}  // namespace
}  // namespace bw

#endif
