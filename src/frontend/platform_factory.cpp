#include "frontend/platform_factory.h"

#include "device/trace.h"
#include "image/regular_file.h"
#include "os/utf8_path.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"

#if defined(_WIN32)
#include "device/hid_win32.h"
#else
#include "device/hid_linux_hidraw.h"
#endif

namespace bw {

std::unique_ptr<HidPlatform> MakeHostPlatform() {
#if defined(_WIN32)
    return std::make_unique<Win32HidPlatform>();
#else
    return std::make_unique<HidrawPlatform>();
#endif
}

PlatformStack::PlatformStack(const PlatformOptions& options) {
    if (options.simulate) {
        auto simulated = std::make_unique<SimulatedPlatform>(ParseScenario(options.scenario));
        simulated_ = simulated.get();
        backend_ = std::move(simulated);
    } else {
        backend_ = MakeHostPlatform();
    }
    if (!options.traceFile.empty()) {
        // A FIFO without a reader would block the open for ever.
        if (const std::string problem = RegularFileProblem(options.traceFile, true);
            !problem.empty()) {
            throw PlatformError("trace file \"" + options.traceFile + "\" " + problem);
        }
        traceOut_.open(PathFromUtf8(options.traceFile), std::ios::out | std::ios::trunc);
        if (!traceOut_)
            throw PlatformError("cannot create trace file \"" + options.traceFile + "\"");
        tracing_ = std::make_unique<TracingPlatform>(*backend_, traceOut_);
    }
}

PlatformStack::~PlatformStack() {
    // The trace refers to the backend and the stream: it goes first.
    tracing_.reset();
}

HidPlatform& PlatformStack::platform() {
    if (tracing_) return *tracing_;
    return *backend_;
}

bool PlatformStack::finish(std::string* message) {
    bool ok = true;
    if (simulated_ != nullptr && !simulated_->finish()) {
        ok = false;
        if (message != nullptr) *message = "cannot write the simulated mouse's dump file";
    }
    if (traceOut_.is_open()) {
        traceOut_.flush();
        if (!traceOut_) {
            ok = false;
            if (message != nullptr) *message = "cannot write the trace file";
        }
    }
    return ok;
}

std::string OpenFailureText(const std::string& path, const std::string& reason,
                            std::uint16_t vendorId, bool realHardware, std::uint16_t productId) {
#if !defined(_WIN32)
    if (realHardware && reason == "permission denied")
        return PermissionHint(path, vendorId, productId);
#else
    (void)vendorId;
    (void)realHardware;
    (void)productId;
#endif
    return "cannot open " + path + ": " + reason;
}

}  // namespace bw
