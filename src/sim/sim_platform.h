#pragma once
// A simulated production line behind the HID seam: mice of the three IC types,
// unrelated HID interfaces, plug and unplug, fault injection, and a record of
// every feature transfer.
//
// Several threads may use it at once, as a gang station does: the device list,
// handles and records are under the line's lock, each mouse under its own, and the
// time a transfer takes (latency-us) passes outside both, so transfers of different
// mice overlap. Lock order: the line, then a mouse.

#include <array>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_platform.h"
#include "sim/scenario.h"
#include "sim/sim_clock.h"
#include "sim/sim_line_folder.h"
#include "sim/sim_mouse.h"

namespace bw {

struct SimInterfaceSpec {
    std::uint16_t featureLength = 8;
    std::vector<std::uint8_t> reportIds;  // feature reports the interface carries
    bool openable = true;                 // false: open fails ("permission denied")
    bool attributesRead = true;
};

struct SimDeviceSpec {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t release = 0;
    int icType = -1;  // 0..2: a mouse controller answers the reports; -1: none
    std::vector<SimInterfaceSpec> interfaces;
};

struct TransferRecord {
    bool isSet = false;
    int iface = -1;  // index in the enumeration at the time; -1: device gone
    std::array<std::uint8_t, 8> data{};
    bool ok = false;
};

// Ports: the mice of the scenario's line go to ports 1..K (K = slots, or 1), every other
// device to a port of its own after those. With slots=K, K ports hold a mouse each at once:
// a mouse is pulled out when an operation on it ends once it was written, and the next of
// the mice=N (default K) is plugged into that port handling-ms later on the line's clock.
// In such a line fail-after and short-reply count each mouse's own transfers, and with
// fault-slot=S the fault keys apply to port S only.
class SimulatedPlatform : public HidPlatform {
  public:
    // clock: where the line's time passes; null: real time. It must outlive the line.
    explicit SimulatedPlatform(const Scenario& s = {}, SimClock* clock = nullptr);
    ~SimulatedPlatform() override;
    SimulatedPlatform(const SimulatedPlatform&) = delete;
    SimulatedPlatform& operator=(const SimulatedPlatform&) = delete;

    // HidPlatform
    std::vector<HidInterfaceInfo> enumerate() override;
    HidHandle open(const std::string& path, std::string* error = nullptr) override;
    int setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) override;
    int getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) override;
    void close(HidHandle handle) override;
    void endOperation() override;
    void beginOperation() override;
    void operationEnded(HidHandle handle) override;
    // Wakes at once on a plug or unplug, and when the next mouse of a port is due.
    std::unique_ptr<PresenceWatcher> watchPresence() override;
    // "port1" to "portK" of a line of K ports (one port without slots=K).
    std::string portProblem(const std::string& port) override;

    // Line control. Device ids are unique over the platform's life.
    int plugMouse(int icType);  // with the scenario's identity, status and layout
    int plugOther();
    int plug(const SimDeviceSpec& layout);      // any device, for unusual layouts
    SimDeviceSpec mouseSpec(int icType) const;  // what plugMouse(icType) plugs
    void unplug(int deviceId);
    std::vector<int> devices() const;  // present devices in enumeration order
    // The mouse of a device plugged at some time (kept after unplug), or null. Its state
    // is read without its lock: only while no transfer to it runs.
    SimulatedMouse* mouse(int deviceId);
    SimulatedMouse* currentMouse();  // last plugged mouse still present, or null
    // Changed at once for every later transfer; only while no other thread uses the line.
    Faults& faults() { return faults_; }

    // Only while no other thread uses the line.
    const std::vector<TransferRecord>& transfers() const { return transfers_; }
    void clearTransfers();
    long transferCount() const;  // all transfers so far
    int openHandleCount() const;

    // Automatic line (mice=N) and line of ports: mice pulled out after their write.
    int miceDone() const;
    // Port of the line (1..K) a present device is plugged into; 0: none, or not present.
    int portOf(int deviceId) const;

    // Writes the dump file of the single-mouse scenario, once. False on a write error, also
    // of a dump written when a mouse was pulled out.
    bool finish();

  private:
    class Watcher;
    // A mouse and the lock its transfers take.
    struct LockedMouse {
        LockedMouse(int icType, SimStatusBytes status, const Image& initial)
            : model(icType, status, initial) {}
        bool written() {
            const std::lock_guard<std::mutex> hold(lock);
            return model.written();
        }
        std::mutex lock;
        SimulatedMouse model;
    };
    struct Device {
        int id = 0;
        SimDeviceSpec layout;
        std::shared_ptr<LockedMouse> mouse;
        int ordinal = 0;             // 1-based mouse number of the automatic line, in plug order
        int port = 0;                // 1-based; ports after the line's hold one other device each
        long transfers = 0;          // its own, for fail-after on a line of ports
        long gets = 0;               // its own get-feature calls, for short-reply there
        bool writtenBefore = false;  // line-dir: a write had started before this process
    };
    struct Binding {
        int deviceId = 0;
        int iface = 0;
    };
    // A port of a line of several.
    struct Port {
        int deviceId = 0;              // 0: empty
        std::int64_t freeSinceUs = 0;  // when its last mouse was pulled out
    };

    // The helpers below expect the line's lock to be held.
    Device* findDevice(int deviceId);
    const Device* findDevice(int deviceId) const;
    const SimInterfaceSpec* bindingInterface(const Binding& b);
    int enumerationIndex(const Binding& b) const;
    int plugLocked(const SimDeviceSpec& layout, int port);
    void unplugLocked(int deviceId);
    void plugNextMouse(int port);
    SimDeviceSpec otherSpec();
    SimulatedMouse* mouseLocked(int deviceId);
    bool portLine() const { return scenario_.ports.portCount > 0; }
    // Plugs the mice that are due into free ports.
    void advancePorts();
    // When the next mouse of a free port is due; -1: none.
    std::int64_t nextPlugDueUs() const;
    void pullOut(Device& device);
    Faults faultsFor(const Device* device) const;

    // Bytes moved, or -1.
    int transfer(bool isSet, HidHandle handle, std::uint8_t* data, std::size_t length);

    std::unique_ptr<SimClock> ownClock_;
    SimClock& clock_;

    mutable std::mutex lock_;  // everything below but the mice's own state
    std::condition_variable changed_;
    long generation_ = 0;  // plugs and unplugs so far
    Scenario scenario_;
    Faults faults_;
    Image initialMemory_{};
    std::vector<Device> present_;
    std::map<int, std::shared_ptr<LockedMouse>> allMice_;
    std::map<HidHandle, Binding> handles_;
    int nextDeviceId_ = 1;
    HidHandle nextHandle_ = 1;
    int otherCount_ = 0;
    int nextOtherPort_ = 0;
    std::vector<TransferRecord> transfers_;
    long transferCount_ = 0;
    long getCount_ = 0;  // get-feature calls so far, for short-reply

    int firstMouseId_ = 0;
    int micePlugged_ = 0;
    int miceDone_ = 0;
    bool nextMousePending_ = false;
    int enumerationsSinceRemoval_ = 0;
    bool finished_ = false;
    bool dumpLost_ = false;   // a mouse's dump could not be written
    int operationDepth_ = 0;  // an operation made of operations ends once, at the outer end
    std::optional<SimLineFolder> lineFolder_;
    std::vector<Port> ports_;  // the line of several ports
};

}  // namespace bw
