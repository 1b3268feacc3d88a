#pragma once
// The command line of binwright-virtual-mouse and the plug/unplug commands it reads
// on standard input. Each port is one USB device controller serving one mouse.
//
//   binwright-virtual-mouse [SCENARIO]              one mouse
//   binwright-virtual-mouse SCENARIO SCENARIO ...   one mouse per scenario, ports 1, 2, ...
//   binwright-virtual-mouse --ports N [SCENARIO]    N mice of one scenario; dump=F gives
//                                                   F.1 ... F.N, one file per port

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scenario.h"

namespace bw {

struct VirtualMouseOptions {
    bool help = false;
    std::vector<Scenario> ports;  // port 1 first
};

// Throws ScenarioError for a bad scenario or a bad use of the options.
VirtualMouseOptions ParseVirtualMouseArgs(const std::vector<std::string>& args);

// "plug P" or "unplug P" (P from 1 to ports); anything else gives nullopt.
struct PortCommand {
    bool plug = false;
    int port = 0;
};
std::optional<PortCommand> ParsePortCommand(std::string_view line, int ports);

// Controllers in the order ports take them: dummy_udc.2 before dummy_udc.10.
bool UdcOrderLess(const std::string& a, const std::string& b);

// Name of the port's gadget in configfs and of its FunctionFS instance; a single
// mouse keeps the plain name.
std::string PortGadgetName(int port, int ports);

}  // namespace bw
