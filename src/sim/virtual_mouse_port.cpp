#include "sim/virtual_mouse_port.h"

#include <linux/usb/functionfs.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>

#include "sim/virtual_mouse_layout.h"
#include "sim/virtual_mouse_ports.h"

namespace bw {
namespace {

using Clock = std::chrono::steady_clock;

// An automatic-line mouse is pulled out once written and quiet this long.
constexpr auto kQuietAfterWrite = std::chrono::milliseconds(700);
constexpr auto kUnpluggedTime = std::chrono::milliseconds(1500);
constexpr int kPollMs = 100;

std::string SerialNumber(int port) {
    std::string digits = std::to_string(port);
    return std::string(digits.size() < 4 ? 4 - digits.size() : 0, '0') + digits;
}

// One setup request on ep0. Stalling is a transfer in the wrong direction.
void ServeSetup(int ep0, const usb_ctrlrequest& raw, VirtualMouseRequests& requests) {
    ControlSetup setup;
    setup.requestType = raw.bRequestType;
    setup.request = raw.bRequest;
    setup.value = raw.wValue;
    setup.index = raw.wIndex;
    setup.length = raw.wLength;
    std::uint8_t none = 0;
    const bool in = (setup.requestType & USB_DIR_IN) != 0;
    if (in) {
        const ControlAnswer answer = requests.answer(setup);
        if (answer.stall) {
            (void)!::read(ep0, &none, 0);
        } else {
            (void)!::write(ep0, answer.data.data(), answer.data.size());
        }
    } else if (setup.length == 0) {
        const ControlAnswer answer = requests.answer(setup);
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

}  // namespace

std::string PortLog::line(int port, const std::string& text, bool namePort) const {
    return "binwright-virtual-mouse: " +
           (port > 0 && (namePorts_ || namePort) ? "port " + std::to_string(port) + ": "
                                                 : std::string()) +
           text + "\n";
}

void PortLog::say(int port, const std::string& text, bool namePort) {
    const std::lock_guard<std::mutex> hold(lock_);
    std::cout << line(port, text, namePort) << std::flush;
}

void PortLog::warn(int port, const std::string& text) {
    const std::lock_guard<std::mutex> hold(lock_);
    std::cerr << line(port, text, false) << std::flush;
}

VirtualPort::VirtualPort(int number, int ports, const Scenario& scenario, const std::string& udc,
                         PortLog& log)
    : number_(number),
      scenario_(scenario),
      log_(log),
      requests_(MakeVirtualMouseLayout(scenario), scenario),
      gadget_(PortGadgetName(number, ports), requests_.layout(), udc, SerialNumber(number)) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        throw GadgetError(std::string("cannot make an eventfd: ") + std::strerror(errno));
}

VirtualPort::~VirtualPort() {
    if (thread_.joinable()) thread_.join();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void VirtualPort::start(std::atomic<bool>& stop) {
    thread_ = std::thread([this, &stop] {
        try {
            serve(stop);
        } catch (const std::exception& e) {
            log_.warn(number_, e.what());
            failed_ = true;
            stop = true;
        }
    });
}

void VirtualPort::request(bool plug) {
    {
        const std::lock_guard<std::mutex> hold(mailboxLock_);
        mailbox_.push_back(plug);
    }
    const std::uint64_t one = 1;
    (void)!::write(wakeFd_, &one, sizeof one);
}

bool VirtualPort::finish() {
    if (thread_.joinable()) thread_.join();
    if (!failed_ && scenario_.mice <= 0 && !scenario_.dumpFile.empty())
        writeDump(scenario_.dumpFile);
    return !failed_;
}

void VirtualPort::writeDump(const std::string& path) {
    const Image& memory = requests_.mouse().memory();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(memory.data()),
              static_cast<std::streamsize>(memory.size()));
    if (!out) log_.warn(number_, "cannot write " + path);
}

void VirtualPort::serveEvents() {
    usb_functionfs_event events[4];
    const ssize_t n = ::read(gadget_.ep0(), events, sizeof events);
    for (ssize_t i = 0; n > 0 && i < n / static_cast<ssize_t>(sizeof events[0]); ++i) {
        if (events[i].type == FUNCTIONFS_SETUP)
            ServeSetup(gadget_.ep0(), events[i].u.setup, requests_);
    }
}

void VirtualPort::carryOutRequests() {
    std::uint64_t count = 0;
    (void)!::read(wakeFd_, &count, sizeof count);
    std::vector<bool> requests;
    {
        const std::lock_guard<std::mutex> hold(mailboxLock_);
        requests.swap(mailbox_);
    }
    for (const bool plug : requests) {
        if (plug) {
            gadget_.bind();
        } else {
            gadget_.unbind();
        }
        // Named whatever the number of ports: the answer to a command that named it.
        log_.say(number_, plug ? "plugged in" : "unplugged", true);
    }
}

void VirtualPort::serve(std::atomic<bool>& stop) {
    gadget_.bind();
    log_.say(number_, "bound to " + gadget_.udc());

    int plugged = 1;
    auto lastTransfer = Clock::now();
    long seenTransfers = 0;
    while (!stop) {
        pollfd p[2] = {{gadget_.ep0(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(p, 2, kPollMs) > 0) {
            if (p[0].revents & POLLIN) serveEvents();
            if (p[1].revents & POLLIN) carryOutRequests();
        }
        if (requests_.transfers() != seenTransfers) {
            seenTransfers = requests_.transfers();
            lastTransfer = Clock::now();
        }
        if (requests_.unplugDue() && gadget_.bound()) {
            gadget_.unbind();
            log_.say(number_,
                     "unplugged after " + std::to_string(requests_.transfers()) + " transfers");
        }
        // Automatic line: pull the written mouse out and plug in a fresh one.
        if (scenario_.mice > 0 && gadget_.bound() && requests_.mouse().written() &&
            Clock::now() - lastTransfer > kQuietAfterWrite) {
            gadget_.unbind();
            if (!scenario_.dumpFile.empty())
                writeDump(scenario_.dumpFile + "." + std::to_string(plugged));
            log_.say(number_, "mouse " + std::to_string(plugged) + " written, unplugged");
            if (plugged < scenario_.mice) {
                std::this_thread::sleep_for(kUnpluggedTime);
                requests_.replaceMouse();
                gadget_.bind();
                ++plugged;
                log_.say(number_, "mouse " + std::to_string(plugged) + " plugged");
            }
        }
    }
}

}  // namespace bw
