#include "sim/sim_platform.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <stdexcept>

#include "device/timing.h"
#include "image/regular_file.h"

namespace bw {
namespace {

constexpr int kEnumerationsPerTick = 10;

std::uint16_t HexField(std::string_view text) {
    std::uint16_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

bool WriteDump(const std::string& path, const Image& memory) {
    if (!RegularFileProblem(path, true).empty()) return false;  // never block on a FIFO
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(memory.data()),
              static_cast<std::streamsize>(memory.size()));
    return static_cast<bool>(out);
}

}  // namespace

SimulatedPlatform::SimulatedPlatform(const Scenario& s) : scenario_(s), faults_(s.faults) {
    initialMemory_.fill(0xFF);
    if (s.memory) initialMemory_ = *s.memory;
    for (int i = 0; i < s.others; ++i) plugOther();
    if (!s.lineDir.empty()) {
        // The line goes on where the last process left it.
        lineFolder_.emplace(s.lineDir);
        micePlugged_ = lineFolder_->position().mouse - 1;
        miceDone_ = std::min(micePlugged_, s.mice);
    }
    if (s.mice > 0) {
        if (micePlugged_ < s.mice) plugNextMouse();
    } else {
        firstMouseId_ = plugMouse(s.ic);
    }
}

SimulatedPlatform::~SimulatedPlatform() {
    finish();
}

std::vector<HidInterfaceInfo> SimulatedPlatform::enumerate() {
    if (lineFolder_) lineFolder_->settle();
    // The next mouse of an automatic line arrives once a whole poll tick has
    // seen the previous one gone.
    if (nextMousePending_) {
        if (enumerationsSinceRemoval_ >= kEnumerationsPerTick) {
            nextMousePending_ = false;
            plugNextMouse();
        } else {
            ++enumerationsSinceRemoval_;
        }
    }
    std::vector<HidInterfaceInfo> list;
    for (const Device& d : present_) {
        for (std::size_t i = 0; i < d.layout.interfaces.size(); ++i) {
            const SimInterfaceSpec& iface = d.layout.interfaces[i];
            HidInterfaceInfo info;
            info.path = "sim:" + std::to_string(d.id) + "/" + std::to_string(i);
            info.vendorId = d.layout.vendorId;
            info.productId = d.layout.productId;
            info.release = d.layout.release;
            info.featureLength = iface.attributesRead ? iface.featureLength : 0;
            info.attributesRead = iface.attributesRead;
            list.push_back(std::move(info));
        }
    }
    return list;
}

HidHandle SimulatedPlatform::open(const std::string& path, std::string* error) {
    int deviceId = 0;
    int iface = 0;
    const std::string_view prefix = "sim:";
    const auto slash = path.find('/');
    bool parsed = path.rfind(prefix, 0) == 0 && slash != std::string::npos;
    if (parsed) {
        const char* begin = path.data() + prefix.size();
        const char* mid = path.data() + slash;
        const char* end = path.data() + path.size();
        const auto a = std::from_chars(begin, mid, deviceId);
        const auto b = std::from_chars(mid + 1, end, iface);
        parsed = a.ec == std::errc() && a.ptr == mid && b.ec == std::errc() && b.ptr == end;
    }
    const Device* device = parsed ? findDevice(deviceId) : nullptr;
    if (!device || iface < 0 || iface >= static_cast<int>(device->layout.interfaces.size())) {
        if (error) *error = "no such device";
        return kInvalidHandle;
    }
    if (!device->layout.interfaces[static_cast<std::size_t>(iface)].openable) {
        if (error) *error = "permission denied";
        return kInvalidHandle;
    }
    const HidHandle handle = nextHandle_++;
    handles_[handle] = Binding{deviceId, iface};
    return handle;
}

int SimulatedPlatform::setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) {
    return transfer(true, handle, const_cast<std::uint8_t*>(data), length);
}

int SimulatedPlatform::getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) {
    return transfer(false, handle, data, length);
}

void SimulatedPlatform::close(HidHandle handle) {
    handles_.erase(handle);
}

int SimulatedPlatform::transfer(bool isSet, HidHandle handle, std::uint8_t* data,
                                std::size_t length) {
    ++transferCount_;
    const bool shortReply =
        !isSet && faults_.shortReply > 0 && ++getCount_ % faults_.shortReply == 0;
    std::size_t moved = length;
    if (faults_.latencyUs > 0) DelayMicroseconds(faults_.latencyUs);

    TransferRecord record;
    record.isSet = isSet;
    bool ok = false;
    const auto it = handles_.find(handle);
    if (it != handles_.end() && data != nullptr && length > 0) {
        record.iface = enumerationIndex(it->second);
        Device* device = findDevice(it->second.deviceId);
        const SimInterfaceSpec* iface = device ? bindingInterface(it->second) : nullptr;
        const bool pulled = faults_.failAfter >= 0 && transferCount_ > faults_.failAfter;
        const bool carried = iface && std::find(iface->reportIds.begin(), iface->reportIds.end(),
                                                data[0]) != iface->reportIds.end();
        if (carried && !pulled && device->mouse && length == iface->featureLength) {
            SimFrame frame{};
            const std::size_t n = std::min(length, frame.size());
            std::copy(data, data + n, frame.begin());
            if (isSet) {
                ok = device->mouse->setFeature(frame, faults_);
                if (lineFolder_ && device->ordinal > 0) {
                    lineFolder_->changed(device->ordinal, device->mouse->memory(),
                                         device->mouse->written() || device->writtenBefore);
                }
            } else {
                ok = device->mouse->getFeature(frame, faults_);
                if (ok && shortReply) {
                    // The mouse took the request as answered; only the report ID came
                    // back, the rest of the buffer keeps what it held.
                    moved = 1;
                } else if (ok) {
                    std::fill(data, data + length, std::uint8_t{0});
                    std::copy(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(n), data);
                }
            }
        }
    }
    if (data != nullptr) {
        std::copy(data, data + std::min(length, record.data.size()), record.data.begin());
    }
    record.ok = ok && moved == length;
    transfers_.push_back(record);
    return ok ? static_cast<int>(moved) : -1;
}

void SimulatedPlatform::endOperation() {
    if (operationDepth_ > 0 && --operationDepth_ > 0) return;
    if (scenario_.mice <= 0) return;
    // Only the mice of the automatic line are pulled out, once written.
    for (auto it = present_.rbegin(); it != present_.rend(); ++it) {
        if (!it->mouse) continue;
        if (it->ordinal == 0 || !(it->mouse->written() || it->writtenBefore)) return;
        if (!scenario_.dumpFile.empty()) {
            WriteDump(scenario_.dumpFile + "." + std::to_string(it->ordinal), it->mouse->memory());
        }
        if (lineFolder_) lineFolder_->pulledOut(it->ordinal);
        unplug(it->id);
        ++miceDone_;
        if (micePlugged_ < scenario_.mice) {
            nextMousePending_ = true;
            enumerationsSinceRemoval_ = 0;
        }
        return;
    }
}

int SimulatedPlatform::plugMouse(int icType) {
    return plug(mouseSpec(icType));
}

int SimulatedPlatform::plugOther() {
    // Keyboards and the like: other identities, no 8-byte feature reports.
    const int n = otherCount_++;
    SimDeviceSpec layout;
    layout.vendorId = 0x0B0B;
    layout.productId = static_cast<std::uint16_t>(0x1000 + n);
    layout.release = 0x0110;
    layout.interfaces.push_back(SimInterfaceSpec{static_cast<std::uint16_t>(n % 2 ? 9 : 0), {}});
    return plug(layout);
}

SimDeviceSpec SimulatedPlatform::mouseSpec(int icType) const {
    const IcType* type = IcTypeAt(icType);
    if (!type) throw std::out_of_range("simulated mouse: IC type must be 0 to 2");
    SimDeviceSpec layout;
    layout.icType = icType;
    layout.vendorId = scenario_.vendorId.value_or(HexField(type->defaultVid));
    layout.productId = scenario_.productId.value_or(HexField(type->defaultPid));
    layout.release = scenario_.release.value_or(type->release);
    if (scenario_.pointer) layout.interfaces.push_back(SimInterfaceSpec{0, {}});
    if (type->protocol == Protocol::Report4) {
        layout.interfaces.push_back(SimInterfaceSpec{8, {0x04}});
    } else if (scenario_.split) {
        layout.interfaces.push_back(SimInterfaceSpec{8, {0x40}});
        layout.interfaces.push_back(SimInterfaceSpec{8, {0x41}});
    } else {
        layout.interfaces.push_back(SimInterfaceSpec{8, {0x40, 0x41}});
    }
    return layout;
}

int SimulatedPlatform::plug(const SimDeviceSpec& layout) {
    Device device;
    device.id = nextDeviceId_++;
    device.layout = layout;
    if (IcTypeAt(layout.icType)) {
        const SimStatusBytes status{scenario_.status1, scenario_.status2, scenario_.chip};
        device.mouse = std::make_shared<SimulatedMouse>(layout.icType, status, initialMemory_);
        allMice_[device.id] = device.mouse;
    }
    present_.push_back(std::move(device));
    return present_.back().id;
}

void SimulatedPlatform::unplug(int deviceId) {
    // Handles stay registered until closed; their transfers fail from now on.
    std::erase_if(present_, [deviceId](const Device& d) { return d.id == deviceId; });
}

std::vector<int> SimulatedPlatform::devices() const {
    std::vector<int> ids;
    for (const Device& d : present_) ids.push_back(d.id);
    return ids;
}

SimulatedMouse* SimulatedPlatform::mouse(int deviceId) {
    const auto it = allMice_.find(deviceId);
    return it == allMice_.end() ? nullptr : it->second.get();
}

SimulatedMouse* SimulatedPlatform::currentMouse() {
    for (auto it = present_.rbegin(); it != present_.rend(); ++it) {
        if (it->mouse) return it->mouse.get();
    }
    return nullptr;
}

bool SimulatedPlatform::finish() {
    if (finished_) return true;
    finished_ = true;
    if (lineFolder_) {
        lineFolder_->settle();  // the station has recorded the mouse it pulled out
        if (!lineFolder_->ok()) return false;
    }
    if (scenario_.mice > 0 || scenario_.dumpFile.empty()) return true;
    const SimulatedMouse* first = mouse(firstMouseId_);
    return first == nullptr || WriteDump(scenario_.dumpFile, first->memory());
}

SimulatedPlatform::Device* SimulatedPlatform::findDevice(int deviceId) {
    for (Device& d : present_) {
        if (d.id == deviceId) return &d;
    }
    return nullptr;
}

const SimInterfaceSpec* SimulatedPlatform::bindingInterface(const Binding& b) {
    const Device* d = findDevice(b.deviceId);
    if (!d || b.iface < 0 || b.iface >= static_cast<int>(d->layout.interfaces.size()))
        return nullptr;
    return &d->layout.interfaces[static_cast<std::size_t>(b.iface)];
}

int SimulatedPlatform::enumerationIndex(const Binding& b) const {
    int index = 0;
    for (const Device& d : present_) {
        if (d.id == b.deviceId) return index + b.iface;
        index += static_cast<int>(d.layout.interfaces.size());
    }
    return -1;
}

void SimulatedPlatform::plugNextMouse() {
    const int id = plugMouse(scenario_.ic);
    Device& device = present_.back();
    device.ordinal = ++micePlugged_;
    if (firstMouseId_ == 0) firstMouseId_ = id;
    if (!lineFolder_) return;
    // The mouse at the station when the last process stopped comes back as it was.
    const SimLineFolder::Position at = lineFolder_->position();
    if (device.ordinal == at.mouse) {
        if (const auto kept = lineFolder_->memory(at.mouse)) device.mouse->memory() = *kept;
        device.writtenBefore = at.written;
    }
    lineFolder_->plugged(device.ordinal, device.mouse->memory());
}

}  // namespace bw
