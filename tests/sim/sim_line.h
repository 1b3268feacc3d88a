#pragma once
// Raw feature frames against the simulated platform, bypassing the protocol routines.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "sim/sim_platform.h"

namespace bw::test {

using Frame = std::array<std::uint8_t, 8>;

inline Frame MakeFrame(std::initializer_list<int> bytes) {
    Frame f{};
    std::size_t i = 0;
    for (int b : bytes) f[i++] = static_cast<std::uint8_t>(b);
    return f;
}

// Opens the n-th enumerated interface of a platform and exchanges raw frames on it.
class RawPort {
  public:
    RawPort(SimulatedPlatform& platform, int index) : platform_(platform) {
        const auto list = platform.enumerate();
        handle_ = platform.open(list.at(static_cast<std::size_t>(index)).path);
        EXPECT_NE(handle_, kInvalidHandle);
    }
    ~RawPort() { platform_.close(handle_); }
    RawPort(const RawPort&) = delete;
    RawPort& operator=(const RawPort&) = delete;

    bool set(std::initializer_list<int> bytes) {
        const Frame f = MakeFrame(bytes);
        return platform_.setFeature(handle_, f.data(), f.size()) == static_cast<int>(f.size());
    }
    // Returns the reply; `ok` receives the transfer result.
    Frame get(int reportId, bool* ok = nullptr) {
        Frame f{};
        f[0] = static_cast<std::uint8_t>(reportId);
        const bool result =
            platform_.getFeature(handle_, f.data(), f.size()) == static_cast<int>(f.size());
        if (ok) *ok = result;
        return f;
    }
    HidHandle handle() const { return handle_; }

  private:
    SimulatedPlatform& platform_;
    HidHandle handle_ = kInvalidHandle;
};

}  // namespace bw::test
