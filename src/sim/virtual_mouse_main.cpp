// binwright-virtual-mouse: serves simulated mouse controllers as real USB HID devices
// through configfs + FunctionFS (dummy_hcd), one per USB device controller, until
// SIGTERM/SIGINT. Lines "unplug P" and "plug P" on standard input pull the mouse of
// port P out and put it back.

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "sim/virtual_mouse_gadget.h"
#include "sim/virtual_mouse_port.h"
#include "sim/virtual_mouse_ports.h"

namespace {

// Set by the signal handler and by a port that fails; every port thread watches it.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnSignal(int) {
    g_stop = true;
}

constexpr const char* kUsage =
    "usage: binwright-virtual-mouse [SCENARIO]\n"
    "       binwright-virtual-mouse SCENARIO SCENARIO ...\n"
    "       binwright-virtual-mouse --ports N [SCENARIO]\n"
    "Serves the simulated mouse (scenario keys as for --simulate) as a USB HID device,\n"
    "one mouse per USB device controller (dummy_hcd num=N gives N): one per scenario,\n"
    "or N of one scenario (dump=F writes F.1 ... F.N). Lines 'unplug P' and 'plug P'\n"
    "on standard input pull port P's mouse out and put it back. Needs root, configfs\n"
    "and FunctionFS.\n";

// Hands the plug/unplug lines of standard input to the ports until stop; after end of
// input the ports go on serving.
void ReadCommands(std::vector<std::unique_ptr<bw::VirtualPort>>& ports, bw::PortLog& log) {
    bool open = true;
    std::string pending;
    while (!g_stop) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (!open) {
            ::poll(nullptr, 0, 100);
            continue;
        }
        if (::poll(&p, 1, 100) <= 0) continue;
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            open = false;
            continue;
        }
        pending.append(buffer, static_cast<std::size_t>(n));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const auto command = bw::ParsePortCommand(line, static_cast<int>(ports.size()));
            if (command) {
                ports[static_cast<std::size_t>(command->port - 1)]->request(command->plug);
            } else if (line.find_first_not_of(" \t\r") != std::string::npos) {
                log.warn(0, "ignored '" + line + "' (expected 'plug P' or 'unplug P', P 1 to " +
                                std::to_string(ports.size()) + ")");
            }
        }
    }
}

int Serve(const bw::VirtualMouseOptions& options) {
    const int count = static_cast<int>(options.ports.size());
    const std::vector<std::string> udcs = bw::ListUdcs();
    if (static_cast<int>(udcs.size()) < count)
        throw bw::GadgetError(std::to_string(count) +
                              " mice need as many USB device controllers; " +
                              "/sys/class/udc has " + std::to_string(udcs.size()) +
                              " (load dummy_hcd with num=" + std::to_string(count) + ")");
    bw::PortLog log(count > 1);
    std::vector<std::unique_ptr<bw::VirtualPort>> ports;
    for (int i = 0; i < count; ++i) {
        ports.push_back(std::make_unique<bw::VirtualPort>(
            i + 1, count, options.ports[static_cast<std::size_t>(i)],
            udcs[static_cast<std::size_t>(i)], log));
    }
    // The signals go to this thread only, so that none breaks a port's transfer on ep0.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    for (auto& port : ports) port->start(g_stop);
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
    ReadCommands(ports, log);
    bool ok = true;
    for (auto& port : ports) ok = port->finish() && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    bw::VirtualMouseOptions options;
    try {
        options = bw::ParseVirtualMouseArgs(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const bw::ScenarioError& e) {
        std::cerr << "binwright-virtual-mouse: " << e.what() << "\n";
        return 2;
    }
    if (options.help) {
        std::cerr << kUsage;
        return 0;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    try {
        return Serve(options);
    } catch (const std::exception& e) {
        std::cerr << "binwright-virtual-mouse: " << e.what() << "\n";
        return 1;
    }
}
