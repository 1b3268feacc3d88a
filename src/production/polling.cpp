#include "production/polling.h"

#include <algorithm>
#include <vector>

#include "image/ic_types.h"

namespace bw {

CountSamples SampleInterfaceCounts(Link& link) {
    CountSamples samples{};
    for (CountPair& pair : samples) {
        pair.first = link.CountHidInterfaces();
        pair.second = link.CountHidInterfaces();
    }
    return samples;
}

PresenceDecision DecidePresence(const CountSamples& samples, std::int32_t lastDeviceCount) {
    PresenceDecision decision;
    decision.current = samples.back().first;
    if (decision.current == lastDeviceCount) return decision;
    int stable = 0;
    for (const CountPair& pair : samples) {
        if (pair.first == pair.second) ++stable;
    }
    if (stable < 2) {
        decision.change = PresenceChange::Unstable;
    } else {
        decision.change =
            decision.current < lastDeviceCount ? PresenceChange::Removed : PresenceChange::Arrived;
    }
    return decision;
}

bool OpenTarget(MouseSession& state, int icIndex, std::int32_t vid, std::int32_t pid) {
    const IcType* type = IcTypeAt(icIndex);
    if (type == nullptr) return false;
    state.ExpectedVersion = type->release;
    if (type->protocol == Protocol::Report4) {
        return state.link.OpenDeviceReport4(vid, pid, state.ExpectedVersion);
    }
    return state.link.OpenDeviceReport40(vid, pid, state.ExpectedVersion);
}

std::int32_t NextProductNumber(std::int32_t current) {
    // The value may grow past the field's six digits (FFFFFF + 1 shows 1000000); a write with
    // the record then refuses it (ProductNumberProblem) instead of storing 000000 again.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(current) + 1u);
}

namespace {
// Releases the busy guard however the tick ends, so a failed tick does not stop polling.
class BusyGuard {
  public:
    explicit BusyGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyGuard() { flag_ = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

  private:
    bool& flag_;
};

// Accepts the new count when the tick leaves, also when a step failed, so a failure is
// not repeated every second for the same device change.
class CountAcceptor {
  public:
    CountAcceptor(std::int32_t& slot, std::int32_t value) : slot_(slot), value_(value) {}
    ~CountAcceptor() { slot_ = value_; }
    CountAcceptor(const CountAcceptor&) = delete;
    CountAcceptor& operator=(const CountAcceptor&) = delete;

  private:
    std::int32_t& slot_;
    std::int32_t value_;
};
}  // namespace

namespace {
// The mouse written last stops counting as written once one of its interfaces is gone.
void ForgetWrittenMouseIfGone(StationState& station, Link& link) {
    if (station.WrittenPaths.empty()) return;
    const std::vector<HidInterfaceInfo> present = link.platform().enumerate();
    for (const std::string& path : station.WrittenPaths) {
        const bool here = std::any_of(present.begin(), present.end(),
                                      [&](const HidInterfaceInfo& i) { return i.path == path; });
        if (!here) {
            station.WrittenPaths.clear();
            return;
        }
    }
}
}  // namespace

PresenceDecision RunPollTick(StationState& station, MouseSession& state, PollTickHooks& hooks,
                             OperationHost& host) {
    if (station.PollBusy) return {};
    BusyGuard busy(station.PollBusy);

    const PresenceDecision decision =
        DecidePresence(SampleInterfaceCounts(state.link), station.LastDeviceCount);
    if (decision.change == PresenceChange::None || decision.change == PresenceChange::Unstable) {
        return decision;
    }
    CountAcceptor accept(station.LastDeviceCount, decision.current);

    ForgetWrittenMouseIfGone(station, state.link);
    if (decision.change == PresenceChange::Removed) {
        state.link.ForgetHandles();
        hooks.deviceRemoved();
        return decision;
    }

    const std::int32_t settle = hooks.settleMs();
    for (std::int32_t i = 0; settle >= 0 && i <= settle; ++i) {
        host.sleepMs(1);
        host.processEvents();
    }

    // Opened before the number advances: the mouse written last, still there beside the
    // device that came, is no new mouse.
    const int icIndex = hooks.icTypeIndex();
    bool opened = false;
    if (IcTypeAt(icIndex) != nullptr) {
        const std::int32_t vid = hooks.vid();
        const std::int32_t pid = hooks.pid();
        opened = OpenTarget(state, icIndex, vid, pid);
    }
    if (opened && station.isWritten(state.link)) {
        hooks.writtenMouseFound();
        return decision;
    }
    if (hooks.lastResultWasWritePass()) hooks.advanceProductNumber();
    if (opened) hooks.deviceFound();
    return decision;
}

}  // namespace bw
