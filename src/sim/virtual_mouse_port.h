#pragma once
// One port of the virtual mouse: a gadget on its own USB device controller, serving its
// own simulated controller from its own thread. Only that thread touches the gadget and
// the controller; plug and unplug requests from elsewhere go through the port's mailbox,
// which has its own lock.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/scenario.h"
#include "sim/virtual_mouse_gadget.h"
#include "sim/virtual_mouse_requests.h"

namespace bw {

// Lines on stdout and stderr, whole even when several ports speak at once. With several
// ports each line names its port; port 0 is the program itself.
class PortLog {
  public:
    explicit PortLog(bool namePorts) : namePorts_(namePorts) {}
    // namePort: name the port even when it is the only one.
    void say(int port, const std::string& text, bool namePort = false);
    void warn(int port, const std::string& text);

  private:
    std::string line(int port, const std::string& text, bool namePort) const;

    std::mutex lock_;
    bool namePorts_;
};

class VirtualPort {
  public:
    // Makes the gadget (not yet bound). Throws GadgetError.
    VirtualPort(int number, int ports, const Scenario& scenario, const std::string& udc,
                PortLog& log);
    ~VirtualPort();
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    // Plugs the mouse in and serves it until stop is set. A port that fails sets stop too.
    void start(std::atomic<bool>& stop);
    // From any thread: pull the mouse out or put the same mouse back (memory kept).
    void request(bool plug);
    // Waits for the thread; writes the dump of a single-mouse port. False: the port failed.
    bool finish();

  private:
    void serve(std::atomic<bool>& stop);
    void serveEvents();
    void carryOutRequests();
    void writeDump(const std::string& path);

    int number_;
    Scenario scenario_;
    PortLog& log_;
    VirtualMouseRequests requests_;
    UsbGadget gadget_;
    int wakeFd_ = -1;

    std::mutex mailboxLock_;
    std::vector<bool> mailbox_;  // true: plug, false: unplug, in order of arrival

    std::thread thread_;
    bool failed_ = false;
};

}  // namespace bw
