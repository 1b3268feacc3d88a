#pragma once
// Builds the HID platform both front ends run on: the host's real backend or the
// simulated line (--simulate[=SCENARIO]), optionally wrapped in the transfer
// trace (--trace FILE).

#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "device/hid_platform.h"

namespace bw {

class SimulatedPlatform;
class TracingPlatform;

// The backend of the machine the program runs on: hidraw on Linux, HID.dll on Windows.
std::unique_ptr<HidPlatform> MakeHostPlatform();

// The trace file cannot be created.
class PlatformError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct PlatformOptions {
    bool simulate = false;
    std::string scenario;   // text after "--simulate="; empty: one ready mouse of IC type 0
    std::string traceFile;  // empty: no trace
};

// Owns the platform chain for the life of a run.
class PlatformStack {
  public:
    // Throws ScenarioError for a bad scenario and PlatformError when the trace file
    // cannot be created; nothing is touched then.
    explicit PlatformStack(const PlatformOptions& options);
    ~PlatformStack();
    PlatformStack(const PlatformStack&) = delete;
    PlatformStack& operator=(const PlatformStack&) = delete;

    // The platform to hand to MouseSession: the trace when tracing, else the backend.
    HidPlatform& platform();
    // The simulated line, or null on real hardware.
    SimulatedPlatform* simulated() { return simulated_; }
    bool isSimulated() const { return simulated_ != nullptr; }

    // Ends the run: the simulated line writes its dump file. False with a message when
    // that fails.
    bool finish(std::string* message);

  private:
    std::unique_ptr<HidPlatform> backend_;
    SimulatedPlatform* simulated_ = nullptr;
    std::ofstream traceOut_;
    std::unique_ptr<TracingPlatform> tracing_;
};

// A sentence for an interface that could not be opened, with the fix where one is known
// (on Linux, a udev rule for a node without permission).
std::string OpenFailureText(const std::string& path, const std::string& reason,
                            std::uint16_t vendorId, bool realHardware, std::uint16_t productId = 0);

}  // namespace bw
