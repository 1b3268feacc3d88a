// binwright-virtual-mouse: serves the simulated mouse controller as a real USB
// HID device through configfs + FunctionFS (dummy_hcd), until SIGTERM/SIGINT.
// Usage: binwright-virtual-mouse [SCENARIO] (the keys of --simulate)

#include <linux/usb/functionfs.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <thread>

#include "sim/scenario.h"
#include "sim/virtual_mouse_gadget.h"
#include "sim/virtual_mouse_layout.h"
#include "sim/virtual_mouse_requests.h"

namespace {

using Clock = std::chrono::steady_clock;

// An automatic-line mouse is pulled out once written and quiet this long.
constexpr auto kQuietAfterWrite = std::chrono::milliseconds(700);
constexpr auto kUnpluggedTime = std::chrono::milliseconds(1500);

volatile sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

void WriteDump(const std::string& path, const bw::Image& memory) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(memory.data()),
              static_cast<std::streamsize>(memory.size()));
    if (!out) std::cerr << "binwright-virtual-mouse: cannot write " << path << "\n";
}

// One setup request on ep0. Stalling is a transfer in the wrong direction.
void ServeSetup(int ep0, const usb_ctrlrequest& raw, bw::VirtualMouseRequests& requests) {
    bw::ControlSetup setup;
    setup.requestType = raw.bRequestType;
    setup.request = raw.bRequest;
    setup.value = raw.wValue;
    setup.index = raw.wIndex;
    setup.length = raw.wLength;
    std::uint8_t none = 0;
    const bool in = (setup.requestType & USB_DIR_IN) != 0;
    if (in) {
        const bw::ControlAnswer answer = requests.answer(setup);
        if (answer.stall) {
            (void)!::read(ep0, &none, 0);
        } else {
            (void)!::write(ep0, answer.data.data(), answer.data.size());
        }
    } else if (setup.length == 0) {
        const bw::ControlAnswer answer = requests.answer(setup);
        if (answer.stall) {
            (void)!::write(ep0, &none, 0);
        } else {
            (void)!::read(ep0, &none, 0);
        }
    } else if (requests.acceptsData(setup)) {
        std::uint8_t data[64];
        const ssize_t n = ::read(ep0, data, std::min<std::size_t>(setup.length, sizeof data));
        if (n > 0) requests.deliver(setup, data, static_cast<std::size_t>(n));
    } else {
        (void)!::write(ep0, &none, 0);
    }
}

int Serve(const bw::Scenario& scenario) {
    bw::VirtualMouseRequests requests(bw::MakeVirtualMouseLayout(scenario), scenario);
    bw::UsbGadget gadget("binwright", requests.layout());
    gadget.bind();
    std::cout << "binwright-virtual-mouse: bound to " << gadget.udc() << std::endl;

    int plugged = 1;
    auto lastTransfer = Clock::now();
    long seenTransfers = 0;
    while (!g_stop) {
        pollfd p{gadget.ep0(), POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready > 0) {
            usb_functionfs_event events[4];
            const ssize_t n = ::read(gadget.ep0(), events, sizeof events);
            for (ssize_t i = 0; n > 0 && i < n / static_cast<ssize_t>(sizeof events[0]); ++i) {
                if (events[i].type == FUNCTIONFS_SETUP)
                    ServeSetup(gadget.ep0(), events[i].u.setup, requests);
            }
        }
        if (requests.transfers() != seenTransfers) {
            seenTransfers = requests.transfers();
            lastTransfer = Clock::now();
        }
        if (requests.unplugDue() && gadget.bound()) {
            gadget.unbind();
            std::cout << "binwright-virtual-mouse: unplugged after " << requests.transfers()
                      << " transfers" << std::endl;
        }
        // Automatic line: pull the written mouse out and plug in a fresh one.
        if (scenario.mice > 0 && gadget.bound() && requests.mouse().written() &&
            Clock::now() - lastTransfer > kQuietAfterWrite) {
            gadget.unbind();
            if (!scenario.dumpFile.empty())
                WriteDump(scenario.dumpFile + "." + std::to_string(plugged),
                          requests.mouse().memory());
            std::cout << "binwright-virtual-mouse: mouse " << plugged << " written, unplugged"
                      << std::endl;
            if (plugged < scenario.mice) {
                std::this_thread::sleep_for(kUnpluggedTime);
                requests.replaceMouse();
                gadget.bind();
                ++plugged;
                std::cout << "binwright-virtual-mouse: mouse " << plugged << " plugged"
                          << std::endl;
            }
        }
    }
    if (scenario.mice <= 0 && !scenario.dumpFile.empty())
        WriteDump(scenario.dumpFile, requests.mouse().memory());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 ||
        (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0))) {
        std::cerr << "usage: binwright-virtual-mouse [SCENARIO]\n"
                     "Serves the simulated mouse (scenario keys as for --simulate) as a USB\n"
                     "HID device on the first UDC; needs root, configfs and FunctionFS.\n";
        return argc == 2 ? 0 : 2;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    try {
        return Serve(bw::ParseScenario(argc == 2 ? argv[1] : ""));
    } catch (const bw::ScenarioError& e) {
        std::cerr << "binwright-virtual-mouse: " << e.what() << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "binwright-virtual-mouse: " << e.what() << "\n";
        return 1;
    }
}
