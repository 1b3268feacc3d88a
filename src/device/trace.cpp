#include "device/trace.h"

#include <nlohmann/json.hpp>

namespace bw {

namespace {

std::string Hex(const std::uint8_t* data, std::size_t length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        text.push_back(kDigits[data[i] >> 4]);
        text.push_back(kDigits[data[i] & 0x0F]);
    }
    return text;
}

}  // namespace

TracingPlatform::TracingPlatform(HidPlatform& inner, std::ostream& out)
    : inner_(inner), out_(out), start_(std::chrono::steady_clock::now()) {}

std::vector<HidInterfaceInfo> TracingPlatform::enumerate() {
    auto interfaces = inner_.enumerate();
    const std::lock_guard<std::mutex> hold(lock_);
    pathIndex_.clear();
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        pathIndex_.emplace(interfaces[i].path, static_cast<int>(i));
    }
    return interfaces;
}

HidHandle TracingPlatform::open(const std::string& path, std::string* error) {
    const HidHandle handle = inner_.open(path, error);
    if (handle != kInvalidHandle) {
        const std::lock_guard<std::mutex> hold(lock_);
        const auto found = pathIndex_.find(path);
        handleIndex_[handle] = found == pathIndex_.end() ? -1 : found->second;
    }
    return handle;
}

// "ok" is true only when the whole report moved, as the link counts it.
int TracingPlatform::setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) {
    const int moved = inner_.setFeature(handle, data, length);
    write("set", handle, data, length, moved >= 0 && static_cast<std::size_t>(moved) == length);
    return moved;
}

int TracingPlatform::getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) {
    const int moved = inner_.getFeature(handle, data, length);
    write("get", handle, data, length, moved >= 0 && static_cast<std::size_t>(moved) == length);
    return moved;
}

void TracingPlatform::close(HidHandle handle) {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        handleIndex_.erase(handle);
    }
    inner_.close(handle);
}

void TracingPlatform::write(const char* op, HidHandle handle, const std::uint8_t* data,
                            std::size_t length, bool ok) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start_);
    const std::lock_guard<std::mutex> hold(lock_);
    const auto found = handleIndex_.find(handle);
    nlohmann::ordered_json line;
    line["t_ms"] = static_cast<double>(elapsed.count()) / 1000.0;
    line["op"] = op;
    line["iface"] = found == handleIndex_.end() ? -1 : found->second;
    line["data"] = Hex(data, length);
    line["ok"] = ok;
    out_ << line.dump() << '\n' << std::flush;
}

}  // namespace bw
