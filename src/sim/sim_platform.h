#pragma once
// A simulated production line behind the HID seam: mice of the three IC types,
// unrelated HID interfaces, plug and unplug, fault injection, and a record of
// every feature transfer.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_platform.h"
#include "sim/scenario.h"
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

class SimulatedPlatform : public HidPlatform {
  public:
    explicit SimulatedPlatform(const Scenario& s = {});
    ~SimulatedPlatform() override;
    SimulatedPlatform(const SimulatedPlatform&) = delete;
    SimulatedPlatform& operator=(const SimulatedPlatform&) = delete;

    // HidPlatform
    std::vector<HidInterfaceInfo> enumerate() override;
    HidHandle open(const std::string& path, std::string* error = nullptr) override;
    int setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) override;
    int getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) override;
    void close(HidHandle handle) override;
    void beginOperation() override { ++operationDepth_; }
    void endOperation() override;

    // Line control. Device ids are unique over the platform's life.
    int plugMouse(int icType);  // with the scenario's identity, status and layout
    int plugOther();
    int plug(const SimDeviceSpec& layout);      // any device, for unusual layouts
    SimDeviceSpec mouseSpec(int icType) const;  // what plugMouse(icType) plugs
    void unplug(int deviceId);
    std::vector<int> devices() const;  // present devices in enumeration order
    // The mouse of a device plugged at some time (kept after unplug), or null.
    SimulatedMouse* mouse(int deviceId);
    SimulatedMouse* currentMouse();  // last plugged mouse still present, or null
    Faults& faults() { return faults_; }

    const std::vector<TransferRecord>& transfers() const { return transfers_; }
    void clearTransfers() { transfers_.clear(); }
    long transferCount() const { return transferCount_; }  // all transfers so far
    int openHandleCount() const { return static_cast<int>(handles_.size()); }

    // Automatic line (mice=N): mice pulled out after their write.
    int miceDone() const { return miceDone_; }

    // Writes the dump file of the single-mouse scenario, once. False on a write error.
    bool finish();

  private:
    struct Device {
        int id = 0;
        SimDeviceSpec layout;
        std::shared_ptr<SimulatedMouse> mouse;
        int ordinal = 0;             // 1-based mouse number of the automatic line
        bool writtenBefore = false;  // line-dir: a write had started before this process
    };
    struct Binding {
        int deviceId = 0;
        int iface = 0;
    };

    Device* findDevice(int deviceId);
    const SimInterfaceSpec* bindingInterface(const Binding& b);
    int enumerationIndex(const Binding& b) const;
    // Bytes moved, or -1.
    int transfer(bool isSet, HidHandle handle, std::uint8_t* data, std::size_t length);
    void plugNextMouse();

    Scenario scenario_;
    Faults faults_;
    Image initialMemory_{};
    std::vector<Device> present_;
    std::map<int, std::shared_ptr<SimulatedMouse>> allMice_;
    std::map<HidHandle, Binding> handles_;
    int nextDeviceId_ = 1;
    HidHandle nextHandle_ = 1;
    int otherCount_ = 0;
    std::vector<TransferRecord> transfers_;
    long transferCount_ = 0;
    long getCount_ = 0;  // get-feature calls so far, for short-reply

    int firstMouseId_ = 0;
    int micePlugged_ = 0;
    int miceDone_ = 0;
    bool nextMousePending_ = false;
    int enumerationsSinceRemoval_ = 0;
    bool finished_ = false;
    int operationDepth_ = 0;  // an operation made of operations ends once, at the outer end
    std::optional<SimLineFolder> lineFolder_;
};

}  // namespace bw
