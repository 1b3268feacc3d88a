#include "sim/virtual_mouse_ports.h"

#include <cctype>
#include <charconv>

namespace bw {
namespace {

// dummy_hcd accepts at most this many controllers.
constexpr int kMaxPorts = 32;

std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

[[noreturn]] void Usage(const std::string& why) {
    throw ScenarioError(why);
}

// The line of ports is the simulated platform's; here every port is a USB controller.
Scenario PortScenario(const std::string& text) {
    Scenario scenario = ParseScenario(text);
    if (scenario.ports.portCount > 0)
        Usage("slots, handling-ms and fault-slot are for --simulate; several mice: --ports N");
    return scenario;
}

}  // namespace

VirtualMouseOptions ParseVirtualMouseArgs(const std::vector<std::string>& args) {
    VirtualMouseOptions options;
    std::optional<int> ports;
    std::vector<std::string> scenarios;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        }
        if (arg == "--ports" || arg.rfind("--ports=", 0) == 0) {
            std::string value;
            if (arg == "--ports") {
                if (i + 1 == args.size()) Usage("--ports needs a number");
                value = args[++i];
            } else {
                value = arg.substr(8);
            }
            ports = WholeNumber(value);
            if (!ports || *ports < 1 || *ports > kMaxPorts)
                Usage("--ports must be 1 to " + std::to_string(kMaxPorts) + ", not '" + value +
                      "'");
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') Usage("unknown option '" + arg + "'");
        scenarios.push_back(arg);
    }
    if (ports && scenarios.size() > 1)
        Usage("--ports takes one scenario for all ports, not " + std::to_string(scenarios.size()));
    if (static_cast<int>(scenarios.size()) > kMaxPorts)
        Usage("at most " + std::to_string(kMaxPorts) + " mice");

    if (scenarios.empty()) scenarios.emplace_back();
    if (!ports) {
        for (const std::string& text : scenarios) options.ports.push_back(PortScenario(text));
        return options;
    }
    const Scenario shared = PortScenario(scenarios.front());
    for (int port = 1; port <= *ports; ++port) {
        Scenario scenario = shared;
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for "." + text.
        if (*ports > 1 && !scenario.dumpFile.empty()) {
            scenario.dumpFile += '.';
            scenario.dumpFile += std::to_string(port);
        }
        options.ports.push_back(std::move(scenario));
    }
    return options;
}

std::optional<PortCommand> ParsePortCommand(std::string_view line, int ports) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.remove_suffix(1);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())))
        line.remove_prefix(1);
    const auto space = line.find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    const std::string_view verb = line.substr(0, space);
    std::string_view number = line.substr(space + 1);
    while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
    PortCommand command;
    if (verb == "plug") {
        command.plug = true;
    } else if (verb != "unplug") {
        return std::nullopt;
    }
    const auto port = WholeNumber(number);
    if (!port || *port < 1 || *port > ports) return std::nullopt;
    command.port = *port;
    return command;
}

bool UdcOrderLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Runs of digits compare by value: shorter run (leading zeros aside) is smaller.
            std::size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            std::string_view na(a.data() + i, ei - i), nb(b.data() + j, ej - j);
            while (na.size() > 1 && na.front() == '0') na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0') nb.remove_prefix(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) return a.size() - i < b.size() - j;
    return a < b;
}

std::string PortGadgetName(int port, int ports) {
    if (ports <= 1) return "binwright";
    return "binwright-" + std::to_string(port);
}

}  // namespace bw
