#include "sim/sim_platform.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <utility>

#include "image/regular_file.h"
#include "os/utf8_path.h"

namespace bw {
namespace {

constexpr int kEnumerationsPerTick = 10;

std::uint16_t HexField(std::string_view text) {
    std::uint16_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return value;
}

// Mice of a line of ports: mice=N, or one per port.
int LineMice(const Scenario& s) {
    return s.mice > 0 ? s.mice : s.ports.portCount;
}

bool WriteDump(const std::string& path, const Image& memory) {
    if (!RegularFileProblem(path, true).empty()) return false;  // never block on a FIFO
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(memory.data()),
              static_cast<std::streamsize>(memory.size()));
    return static_cast<bool>(out);
}

}  // namespace

// Waits for the line's plugs and unplugs, and for the time the next mouse of a port is due.
class SimulatedPlatform::Watcher : public PresenceWatcher {
  public:
    explicit Watcher(SimulatedPlatform& line) : line_(line) {
        const std::lock_guard<std::mutex> hold(line_.lock_);
        seen_ = line_.generation_;
    }

    bool waitForChange(int timeoutMs) override {
        std::unique_lock<std::mutex> lock(line_.lock_);
        const std::int64_t deadline =
            line_.clock_.nowUs() + static_cast<std::int64_t>(std::max(0, timeoutMs)) * 1000;
        while (true) {
            if (line_.portLine()) line_.advancePorts();
            if (line_.generation_ != seen_) {
                seen_ = line_.generation_;
                return true;
            }
            if (line_.clock_.nowUs() >= deadline) return false;
            const std::int64_t due = line_.nextPlugDueUs();
            line_.clock_.waitUntil(line_.changed_, lock,
                                   due >= 0 ? std::min(due, deadline) : deadline);
        }
    }

  private:
    SimulatedPlatform& line_;
    long seen_ = 0;
};

SimulatedPlatform::SimulatedPlatform(const Scenario& s, SimClock* clock)
    : ownClock_(clock == nullptr ? std::make_unique<RealSimClock>() : nullptr),
      clock_(clock == nullptr ? *ownClock_ : *clock),
      scenario_(s),
      faults_(s.faults) {
    initialMemory_.fill(0xFF);
    if (s.memory) initialMemory_ = *s.memory;
    const std::lock_guard<std::mutex> hold(lock_);
    nextOtherPort_ = std::max(1, s.ports.portCount) + 1;
    for (int i = 0; i < s.others; ++i) plugLocked(otherSpec(), 0);
    if (portLine()) {
        ports_.resize(static_cast<std::size_t>(s.ports.portCount));
        for (int port = 1; port <= s.ports.portCount && micePlugged_ < LineMice(s); ++port)
            plugNextMouse(port);
    } else if (s.mice > 0) {
        if (!s.lineDir.empty()) {
            // The line goes on where the last process left it.
            lineFolder_.emplace(s.lineDir);
            micePlugged_ = lineFolder_->position().mouse - 1;
            miceDone_ = std::min(micePlugged_, s.mice);
        }
        if (micePlugged_ < s.mice) plugNextMouse(1);
    } else {
        firstMouseId_ = plugLocked(mouseSpec(s.ic), 1);
    }
}

SimulatedPlatform::~SimulatedPlatform() {
    finish();
}

std::vector<HidInterfaceInfo> SimulatedPlatform::enumerate() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (lineFolder_) lineFolder_->settle();
    if (portLine()) {
        advancePorts();
    } else if (nextMousePending_) {
        // The next mouse of an automatic line arrives once a whole poll tick has
        // seen the previous one gone.
        if (enumerationsSinceRemoval_ >= kEnumerationsPerTick) {
            nextMousePending_ = false;
            plugNextMouse(1);
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
            info.port = "port" + std::to_string(d.port);
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
    const std::lock_guard<std::mutex> hold(lock_);
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
    const std::lock_guard<std::mutex> hold(lock_);
    handles_.erase(handle);
}

int SimulatedPlatform::transfer(bool isSet, HidHandle handle, std::uint8_t* data,
                                std::size_t length) {
    TransferRecord record;
    record.isSet = isSet;
    std::shared_ptr<LockedMouse> target;  // the mouse that takes the transfer, if any
    int targetOrdinal = 0;
    bool targetWrittenBefore = false;
    Faults faults;
    bool shortReply = false;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        ++transferCount_;
        const auto it = handles_.find(handle);
        Device* device = it == handles_.end() ? nullptr : findDevice(it->second.deviceId);
        faults = faultsFor(device);
        // The line of one port counts the line's transfers; a line of ports each mouse's.
        long transfers = transferCount_;
        long* gets = &getCount_;
        if (portLine()) {
            transfers = device != nullptr ? ++device->transfers : 0;
            gets = device != nullptr ? &device->gets : nullptr;
        }
        shortReply =
            !isSet && faults.shortReply > 0 && gets != nullptr && ++*gets % faults.shortReply == 0;
        if (it != handles_.end() && data != nullptr && length > 0) {
            record.iface = enumerationIndex(it->second);
            const SimInterfaceSpec* iface = device ? bindingInterface(it->second) : nullptr;
            const bool pulled = faults.failAfter >= 0 && transfers > faults.failAfter;
            const bool carried =
                iface && std::find(iface->reportIds.begin(), iface->reportIds.end(), data[0]) !=
                             iface->reportIds.end();
            if (carried && !pulled && device->mouse && length == iface->featureLength) {
                target = device->mouse;
                targetOrdinal = device->ordinal;
                targetWrittenBefore = device->writtenBefore;
            }
        }
    }
    // The bus time passes outside the locks: transfers of different mice overlap.
    if (faults.latencyUs > 0) clock_.sleepUs(faults.latencyUs);

    bool ok = false;
    std::size_t moved = length;
    std::optional<std::pair<Image, bool>> kept;  // line-dir: the memory after a set
    if (target) {
        SimFrame frame{};
        const std::size_t n = std::min(length, frame.size());
        std::copy(data, data + n, frame.begin());
        const std::lock_guard<std::mutex> hold(target->lock);
        if (isSet) {
            ok = target->model.setFeature(frame, faults);
            if (lineFolder_ && targetOrdinal > 0)
                kept.emplace(target->model.memory(),
                             target->model.written() || targetWrittenBefore);
        } else {
            ok = target->model.getFeature(frame, faults);
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
    if (data != nullptr) {
        std::copy(data, data + std::min(length, record.data.size()), record.data.begin());
    }
    record.ok = ok && moved == length;
    {
        const std::lock_guard<std::mutex> hold(lock_);
        if (kept) lineFolder_->changed(targetOrdinal, kept->first, kept->second);
        transfers_.push_back(record);
    }
    return ok ? static_cast<int>(moved) : -1;
}

void SimulatedPlatform::beginOperation() {
    const std::lock_guard<std::mutex> hold(lock_);
    ++operationDepth_;
}

void SimulatedPlatform::endOperation() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (operationDepth_ > 0 && --operationDepth_ > 0) return;
    if (scenario_.mice <= 0 || portLine()) return;
    // Only the mice of the automatic line are pulled out, once written.
    for (auto it = present_.rbegin(); it != present_.rend(); ++it) {
        if (!it->mouse) continue;
        if (it->ordinal == 0 || !(it->mouse->written() || it->writtenBefore)) return;
        pullOut(*it);
        if (micePlugged_ < scenario_.mice) {
            nextMousePending_ = true;
            enumerationsSinceRemoval_ = 0;
        }
        return;
    }
}

void SimulatedPlatform::operationEnded(HidHandle handle) {
    if (!portLine()) return;
    const std::lock_guard<std::mutex> hold(lock_);
    const auto it = handles_.find(handle);
    Device* device = it == handles_.end() ? nullptr : findDevice(it->second.deviceId);
    // Only the line's mice are pulled out, once written; the port frees for the next.
    if (device == nullptr || !device->mouse || device->ordinal == 0 ||
        device->port > scenario_.ports.portCount || !device->mouse->written())
        return;
    pullOut(*device);
}

std::unique_ptr<PresenceWatcher> SimulatedPlatform::watchPresence() {
    return std::make_unique<Watcher>(*this);
}

std::string SimulatedPlatform::portProblem(const std::string& port) {
    const int ports = std::max(1, scenario_.ports.portCount);
    const std::string prefix = "port";
    const std::string digits = port.rfind(prefix, 0) == 0 ? port.substr(prefix.size()) : "";
    const bool named = !digits.empty() && digits.size() <= 3 &&
                       digits.find_first_not_of("0123456789") == std::string::npos;
    if (named && std::stoi(digits) >= 1 && std::stoi(digits) <= ports) return {};
    return "the simulated line has port1" + (ports > 1 ? " to port" + std::to_string(ports) : "") +
           " only";
}

int SimulatedPlatform::plugMouse(int icType) {
    const SimDeviceSpec layout = mouseSpec(icType);
    const std::lock_guard<std::mutex> hold(lock_);
    return plugLocked(layout, 0);
}

int SimulatedPlatform::plugOther() {
    const std::lock_guard<std::mutex> hold(lock_);
    return plugLocked(otherSpec(), 0);
}

// Keyboards and the like: other identities, no 8-byte feature reports.
SimDeviceSpec SimulatedPlatform::otherSpec() {
    const int n = otherCount_++;
    SimDeviceSpec layout;
    layout.vendorId = 0x0B0B;
    layout.productId = static_cast<std::uint16_t>(0x1000 + n);
    layout.release = 0x0110;
    layout.interfaces.push_back(SimInterfaceSpec{static_cast<std::uint16_t>(n % 2 ? 9 : 0), {}});
    return layout;
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
    const std::lock_guard<std::mutex> hold(lock_);
    return plugLocked(layout, 0);
}

int SimulatedPlatform::plugLocked(const SimDeviceSpec& layout, int port) {
    Device device;
    device.id = nextDeviceId_++;
    device.layout = layout;
    device.port = port > 0 ? port : nextOtherPort_++;
    if (IcTypeAt(layout.icType)) {
        const SimStatusBytes status{scenario_.status1, scenario_.status2, scenario_.chip};
        device.mouse = std::make_shared<LockedMouse>(layout.icType, status, initialMemory_);
        allMice_[device.id] = device.mouse;
    }
    present_.push_back(std::move(device));
    ++generation_;
    changed_.notify_all();
    return present_.back().id;
}

void SimulatedPlatform::unplug(int deviceId) {
    const std::lock_guard<std::mutex> hold(lock_);
    unplugLocked(deviceId);
}

void SimulatedPlatform::unplugLocked(int deviceId) {
    const Device* device = findDevice(deviceId);
    if (device == nullptr) return;
    // A port of the line takes the next mouse after the handling time.
    if (portLine() && device->port <= scenario_.ports.portCount)
        ports_[static_cast<std::size_t>(device->port - 1)] = Port{0, clock_.nowUs()};
    // Handles stay registered until closed; their transfers fail from now on.
    std::erase_if(present_, [deviceId](const Device& d) { return d.id == deviceId; });
    ++generation_;
    changed_.notify_all();
}

void SimulatedPlatform::pullOut(Device& device) {
    if (!scenario_.dumpFile.empty()) {
        const std::lock_guard<std::mutex> hold(device.mouse->lock);
        // A dump that cannot be written is said when the line finishes.
        if (!WriteDump(scenario_.dumpFile + "." + std::to_string(device.ordinal),
                       device.mouse->model.memory())) {
            dumpLost_ = true;
        }
    }
    if (lineFolder_) lineFolder_->pulledOut(device.ordinal);
    unplugLocked(device.id);
    ++miceDone_;
}

std::vector<int> SimulatedPlatform::devices() const {
    const std::lock_guard<std::mutex> hold(lock_);
    std::vector<int> ids;
    for (const Device& d : present_) ids.push_back(d.id);
    return ids;
}

SimulatedMouse* SimulatedPlatform::mouse(int deviceId) {
    const std::lock_guard<std::mutex> hold(lock_);
    return mouseLocked(deviceId);
}

SimulatedMouse* SimulatedPlatform::mouseLocked(int deviceId) {
    const auto it = allMice_.find(deviceId);
    return it == allMice_.end() ? nullptr : &it->second->model;
}

SimulatedMouse* SimulatedPlatform::currentMouse() {
    const std::lock_guard<std::mutex> hold(lock_);
    for (auto it = present_.rbegin(); it != present_.rend(); ++it) {
        if (it->mouse) return &it->mouse->model;
    }
    return nullptr;
}

void SimulatedPlatform::clearTransfers() {
    const std::lock_guard<std::mutex> hold(lock_);
    transfers_.clear();
}

long SimulatedPlatform::transferCount() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return transferCount_;
}

int SimulatedPlatform::openHandleCount() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return static_cast<int>(handles_.size());
}

int SimulatedPlatform::miceDone() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return miceDone_;
}

int SimulatedPlatform::portOf(int deviceId) const {
    const std::lock_guard<std::mutex> hold(lock_);
    const Device* device = findDevice(deviceId);
    if (device == nullptr || device->port > std::max(1, scenario_.ports.portCount)) return 0;
    return device->port;
}

bool SimulatedPlatform::finish() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (finished_) return true;
    finished_ = true;
    if (lineFolder_) {
        lineFolder_->settle();  // the station has recorded the mouse it pulled out
        if (!lineFolder_->ok()) return false;
    }
    if (dumpLost_) return false;
    if (scenario_.mice > 0 || portLine() || scenario_.dumpFile.empty()) return true;
    const auto first = allMice_.find(firstMouseId_);
    if (first == allMice_.end()) return true;
    const std::lock_guard<std::mutex> mouseHold(first->second->lock);
    return WriteDump(scenario_.dumpFile, first->second->model.memory());
}

SimulatedPlatform::Device* SimulatedPlatform::findDevice(int deviceId) {
    for (Device& d : present_) {
        if (d.id == deviceId) return &d;
    }
    return nullptr;
}

const SimulatedPlatform::Device* SimulatedPlatform::findDevice(int deviceId) const {
    for (const Device& d : present_) {
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

void SimulatedPlatform::plugNextMouse(int port) {
    const int id = plugLocked(mouseSpec(scenario_.ic), port);
    Device& device = present_.back();
    device.ordinal = ++micePlugged_;
    if (firstMouseId_ == 0) firstMouseId_ = id;
    if (portLine()) ports_[static_cast<std::size_t>(port - 1)].deviceId = id;
    if (!lineFolder_) return;
    // The mouse at the station when the last process stopped comes back as it was.
    const SimLineFolder::Position at = lineFolder_->position();
    const std::lock_guard<std::mutex> mouseHold(device.mouse->lock);
    if (device.ordinal == at.mouse) {
        if (const auto kept = lineFolder_->memory(at.mouse)) device.mouse->model.memory() = *kept;
        device.writtenBefore = at.written;
    }
    lineFolder_->plugged(device.ordinal, device.mouse->model.memory());
}

void SimulatedPlatform::advancePorts() {
    const std::int64_t now = clock_.nowUs();
    const std::int64_t handling = static_cast<std::int64_t>(scenario_.ports.handlingMs) * 1000;
    // The port that has waited longest first, so the last mice go where they are due.
    std::vector<int> due;
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (ports_[i].deviceId == 0 && now >= ports_[i].freeSinceUs + handling)
            due.push_back(static_cast<int>(i));
    }
    std::stable_sort(due.begin(), due.end(), [this](int a, int b) {
        return ports_[static_cast<std::size_t>(a)].freeSinceUs <
               ports_[static_cast<std::size_t>(b)].freeSinceUs;
    });
    for (const int i : due) {
        if (micePlugged_ >= LineMice(scenario_)) return;
        plugNextMouse(i + 1);
    }
}

std::int64_t SimulatedPlatform::nextPlugDueUs() const {
    if (!portLine() || micePlugged_ >= LineMice(scenario_)) return -1;
    std::int64_t due = -1;
    for (const Port& port : ports_) {
        if (port.deviceId != 0) continue;
        const std::int64_t at =
            port.freeSinceUs + static_cast<std::int64_t>(scenario_.ports.handlingMs) * 1000;
        if (due < 0 || at < due) due = at;
    }
    return due;
}

Faults SimulatedPlatform::faultsFor(const Device* device) const {
    if (!portLine() || scenario_.ports.faultSlot == 0 ||
        (device != nullptr && device->port == scenario_.ports.faultSlot))
        return faults_;
    // Other ports: no faults, but the same bus.
    Faults none;
    none.latencyUs = faults_.latencyUs;
    return none;
}

}  // namespace bw
