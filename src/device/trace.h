#pragma once
// A platform decorator that writes every feature transfer as one JSON line:
// {"t_ms": ..., "op": "set"|"get", "iface": ..., "data": "<hex>", "ok": ...}.

#include <chrono>
#include <map>
#include <mutex>
#include <ostream>
#include <string>

#include "device/hid_platform.h"

namespace bw {

// Lines of transfers from several threads never mix: each is written whole under the
// decorator's lock (the inner platform is called outside it).
class TracingPlatform : public HidPlatform {
  public:
    TracingPlatform(HidPlatform& inner, std::ostream& out);

    std::vector<HidInterfaceInfo> enumerate() override;
    HidHandle open(const std::string& path, std::string* error = nullptr) override;
    int setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) override;
    int getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) override;
    void close(HidHandle handle) override;
    std::string serviceError() override { return inner_.serviceError(); }
    void beginOperation() override { inner_.beginOperation(); }
    void endOperation() override { inner_.endOperation(); }
    void operationEnded(HidHandle handle) override { inner_.operationEnded(handle); }
    std::unique_ptr<PresenceWatcher> watchPresence() override { return inner_.watchPresence(); }
    std::string portProblem(const std::string& port) override { return inner_.portProblem(port); }

  private:
    void write(const char* op, HidHandle handle, const std::uint8_t* data, std::size_t length,
               bool ok);

    HidPlatform& inner_;
    std::mutex lock_;  // the maps below and the stream
    std::ostream& out_;
    std::chrono::steady_clock::time_point start_;
    std::map<std::string, int> pathIndex_;  // from the last enumeration
    std::map<HidHandle, int> handleIndex_;  // interface index when the handle was opened
};

}  // namespace bw
