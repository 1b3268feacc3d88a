#include "device/link.h"

#include <vector>

namespace bw {

namespace {

constexpr int kKeptFeatureLength = 8;

// The feature length an interface reports; 0 when its attributes could not be read.
int FeatureLengthOf(const HidInterfaceInfo& info) {
    return info.attributesRead ? info.featureLength : 0;
}

bool MatchesIds(const HidInterfaceInfo& info, std::int32_t vendorId, std::int32_t productId) {
    return info.attributesRead && static_cast<std::int32_t>(info.vendorId) == vendorId &&
           static_cast<std::int32_t>(info.productId) == productId;
}

// An empty port takes every interface.
bool OnPort(const HidInterfaceInfo& info, std::string_view port) {
    return port.empty() || info.port == port;
}

}  // namespace

// Transfers `length` bytes of an 8-byte buffer; refuses lengths the buffer cannot hold.
// Succeeds only when the whole feature report moved: after a short reply the rest of the
// buffer still holds the frame sent before, which must never be read as the answer.
bool Link::transfer(HidHandle handle, Report& buffer, std::int32_t length, bool set) {
    LastTransferShort = false;
    if (handle == kInvalidHandle) return false;
    if (length <= 0 || length > static_cast<std::int32_t>(buffer.size())) return false;
    const auto n = static_cast<std::size_t>(length);
    const int moved = set ? platform_.setFeature(handle, buffer.data(), n)
                          : platform_.getFeature(handle, buffer.data(), n);
    LastTransferShort = moved > 0 && moved != length;
    ++Record.transfers;
    if (moved == length) {
        Record.failedRun = 0;
        Record.failedRunStart = 0;
        return true;
    }
    if (LastTransferShort) {
        // Something came back: the mouse is there, so no run of failures goes on.
        Record.failedRun = 0;
        Record.failedRunStart = 0;
    } else if (Record.failedRun++ == 0) {
        Record.failedRunStart = Record.transfers;
    }
    LinkFault fault;
    fault.kind = LastTransferShort ? LinkFaultKind::ShortReply : LinkFaultKind::FailedTransfer;
    fault.report = buffer[0];
    NoteFault(fault);
    return false;
}

void Link::NoteFault(LinkFault fault) {
    fault.transfer = Record.transfers;
    Record.lastFault = fault;
}

Link::~Link() {
    ForgetHandles();
}

std::int32_t Link::CountHidInterfaces() {
    std::int32_t count = 0;
    for (const auto& info : platform_.enumerate()) {
        // The backend already opened it while enumerating: one open per interface is enough.
        if (info.openable) {
            count += *info.openable ? 1 : 0;
            continue;
        }
        const HidHandle handle = platform_.open(info.path);
        if (handle == kInvalidHandle) continue;
        ++count;
        platform_.close(handle);
    }
    return count;
}

bool Link::OpenDeviceReport4(std::int32_t vendorId, std::int32_t productId,
                             std::int32_t expectedVersion, std::string_view port) {
    bool matched = false;
    for (const auto& info : platform_.enumerate()) {
        if (!OnPort(info, port)) continue;
        const HidHandle handle = platform_.open(info.path);
        if (handle == kInvalidHandle) continue;
        const int featureLength = FeatureLengthOf(info);
        if (featureLength == kKeptFeatureLength && MatchesIds(info, vendorId, productId) &&
            static_cast<std::int32_t>(info.release) == expectedVersion) {
            matched = true;
            setHandle(Report4Handle, handle);
            FeatureLength4 = featureLength;
            OpenedPath = info.path;
        } else {
            platform_.close(handle);
        }
    }
    return matched;
}

bool Link::OpenDeviceReport40(std::int32_t vendorId, std::int32_t productId,
                              std::int32_t& expectedVersion, std::string_view port) {
    bool matched = false;
    for (const auto& info : platform_.enumerate()) {
        if (!OnPort(info, port)) continue;
        const HidHandle handle = platform_.open(info.path);
        if (handle == kInvalidHandle) continue;
        const int featureLength = FeatureLengthOf(info);
        if (featureLength != kKeptFeatureLength || !MatchesIds(info, vendorId, productId)) {
            platform_.close(handle);
            continue;
        }
        matched = true;
        expectedVersion = info.release;
        FeatureLength40 = featureLength;

        // Command probe: an interface that takes report 0x40 carries the commands.
        Report40Buffer = {0x40, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
        const bool commandProbe = SetFeature40(handle, Report40Buffer);
        // Data probe: an interface that gives report 0x41 carries the data pieces.
        Report40Buffer = {0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
        const bool dataProbe = GetFeature40(handle, Report40Buffer);

        if (commandProbe) {
            setHandle(Report40Handle, handle);
            OpenedPath = info.path;
        }
        if (dataProbe) {
            setHandle(Report41Handle, handle);
            if (!commandProbe) DataPath = info.path;
        }
        if (!commandProbe && !dataProbe) platform_.close(handle);
    }
    // A mouse is only ready when both commands and data can travel.
    return matched && Report40Handle != kInvalidHandle && Report41Handle != kInvalidHandle;
}

bool Link::SetFeature4(HidHandle handle, Report& buffer) {
    return transfer(handle, buffer, FeatureLength4, true);
}

bool Link::GetFeature4(HidHandle handle, Report& buffer) {
    return transfer(handle, buffer, FeatureLength4, false);
}

bool Link::SetFeature40(HidHandle handle, Report& buffer) {
    return transfer(handle, buffer, FeatureLength40, true);
}

bool Link::GetFeature40(HidHandle handle, Report& buffer) {
    return transfer(handle, buffer, FeatureLength40, false);
}

void Link::ForgetHandles() {
    OpenedPath.clear();
    DataPath.clear();
    setHandle(Report4Handle, kInvalidHandle);
    setHandle(Report40Handle, kInvalidHandle);
    setHandle(Report41Handle, kInvalidHandle);
}

void Link::setHandle(HidHandle& slot, HidHandle value) {
    const HidHandle previous = slot;
    slot = value;
    if (previous != value) releaseIfUnused(previous);
}

void Link::releaseIfUnused(HidHandle handle) {
    if (handle == kInvalidHandle) return;
    if (handle == Report4Handle || handle == Report40Handle || handle == Report41Handle) return;
    platform_.close(handle);
}

}  // namespace bw
