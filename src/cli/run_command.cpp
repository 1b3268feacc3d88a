#include "cli/run_command.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/command_log.h"
#include "cli/device_commands.h"
#include "production/auto_write.h"
#include "production/controller_state.h"
#include "production/polling.h"
#include "production/result_text.h"

namespace bw {
namespace {

// Short slices, so that Ctrl-C is noticed soon while waiting for the next tick.
constexpr int kWaitSliceMs = 50;

void WaitForNextTick(OperationHost& host, int intervalMs, const std::atomic<bool>& stop) {
    for (int left = intervalMs; left > 0 && !stop.load(); left -= kWaitSliceMs) {
        host.sleepMs(std::min(left, kWaitSliceMs));
    }
}

std::string ClockTime(std::chrono::system_clock::time_point when) {
    const std::tm local = LocalTime(when);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace

std::string FormatRunLine(std::chrono::system_clock::time_point when, std::int32_t productNumber,
                          const std::string& result, std::chrono::steady_clock::duration taken,
                          std::int32_t passes) {
    const double seconds = std::chrono::duration<double>(taken).count();
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1fs", seconds);
    return ClockTime(when) + "  SN " + HexFieldText(productNumber) + "  " + result + "  " +
           duration + "  passes " + std::to_string(passes);
}

int RunAutomatic(const std::string& imageFile, const DeviceOptions& options, const RunOptions& run,
                 PlatformStack& platforms, OperationHost& host, const std::atomic<bool>& stop,
                 std::ostream& out, std::ostream& err) {
    ControllerState state(platforms.platform());
    if (const auto code = LoadCommandImage(imageFile, options, state, out, err)) return *code;

    const AutoWriteSettings settings{options.ic, options.vid, options.pid, options.params,
                                     options.factory};
    AutoWriteHooks hooks(state, settings, host, [&](const MouseResult& r) {
        out << FormatRunLine(std::chrono::system_clock::now(), r.factory.number, r.text,
                             r.sinceArrival, r.passCount)
            << std::endl;
        DeviceOptions used = options;
        used.factory = r.factory;
        AppendCommandLog(
            run.log,
            CommandLogEntry(Operation::Write, r.outcome, used, r.timing, state.LoadedImageIdentity),
            err);
    });

    // LastDeviceCount starts at 0: the first tick takes every present interface as arrived.
    const auto done = [&] { return run.count > 0 && hooks.mice() >= run.count; };
    while (!done() && !stop.load()) {
        hooks.startTick();
        RunPollTick(state, hooks, host);
        if (done()) break;
        WaitForNextTick(host, run.intervalMs, stop);
    }

    const int fails = hooks.mice() - hooks.passes();
    out << "total " << hooks.mice() << " passed " << hooks.passes() << " failed " << fails
        << std::endl;
    return fails == 0 ? exitcode::Pass : exitcode::Fail;
}

}  // namespace bw
