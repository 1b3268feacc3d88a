#include "station/gang_runner.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <utility>

#include "image/ic_types.h"
#include "image/mouse_session.h"
#include "image/operation_scope.h"
#include "image/operations.h"
#include "station/paced_waits.h"

namespace bw::station {

using Clock = std::chrono::steady_clock;

namespace {
// Ports in the order an operator counts them: runs of digits by their value, so port2
// comes before port10 and 1-2.9 before 1-2.10 when several first show a mouse at once.
struct PortOrder {
    bool operator()(const std::string& a, const std::string& b) const {
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < a.size() && j < b.size()) {
            const bool digitA = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
            const bool digitB = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
            if (digitA && digitB) {
                const std::size_t endA = a.find_first_not_of("0123456789", i);
                const std::size_t endB = b.find_first_not_of("0123456789", j);
                const std::string_view runA = std::string_view(a).substr(
                    i, (endA == std::string::npos ? a.size() : endA) - i);
                const std::string_view runB = std::string_view(b).substr(
                    j, (endB == std::string::npos ? b.size() : endB) - j);
                const std::string_view valueA =
                    runA.substr(std::min(runA.find_first_not_of('0'), runA.size()));
                const std::string_view valueB =
                    runB.substr(std::min(runB.find_first_not_of('0'), runB.size()));
                if (valueA.size() != valueB.size()) return valueA.size() < valueB.size();
                if (valueA != valueB) return valueA < valueB;
                if (runA.size() != runB.size()) return runA.size() < runB.size();
                i += runA.size();
                j += runB.size();
                continue;
            }
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
        return a.size() - i < b.size() - j;
    }
};
}  // namespace

class GangRunner::Impl {
  public:
    Impl(HidPlatform& platform, const GangSettings& settings, SerialSource& serials,
         GangObserver& observer, OperationHost* waits)
        : platform_(platform),
          settings_(settings),
          serials_(serials),
          observer_(observer),
          sharedWaits_(waits),
          held_(settings.held) {}

    ~Impl() { joinAll(); }

    GangSummary run(OperationHost& host);

    void takeNoMore(const std::string& why) {
        const std::lock_guard<std::mutex> hold(lock_);
        if (noMoreWhy_.empty()) noMoreWhy_ = why.empty() ? "no further mouse" : why;
    }

  private:
    // A port with a slot. Only the runner's thread adds slots or starts their workers;
    // busy and the totals are under lock_.
    struct Slot {
        int number = 0;
        std::string port;
        std::thread worker;
        bool busy = false;
        int mice = 0;
        int passes = 0;
        int leftAlone = 0;
    };
    // What the runner knows of a port's mouse (runner's thread only).
    struct PortWatch {
        std::set<std::string> paths;  // the interfaces of the mouse on it now
        bool pending = false;         // a mouse that no worker took yet
        Clock::time_point plugSeen{};
        bool ignoredTold = false;
        std::optional<HeldMouse> held;  // the pending mouse is one of GangSettings::held
    };

    class WorkerHost;

    template <typename F>
    void tell(F&& event) {
        const std::lock_guard<std::mutex> hold(observerLock_);
        event(observer_);
    }

    // The host's stop request, asked by one thread at a time; once asked it stays (an
    // abort over a finish).
    StopRequest asked();
    bool matches(const HidInterfaceInfo& info) const;
    Slot* slotFor(const std::string& port);
    void scan(bool taking);
    void start(Slot& slot, Clock::time_point plugSeen);
    void work(Slot& slot, Clock::time_point plugSeen);
    bool anyBusy();
    bool anyPending() const;  // a mouse seen that no worker took yet (runner's thread)
    void joinAll();

    HidPlatform& platform_;
    const GangSettings settings_;
    SerialSource& serials_;
    GangObserver& observer_;
    OperationHost* sharedWaits_;

    OperationHost* host_ = nullptr;  // the front end's, during run()
    std::mutex stopLock_;
    StopRequest stop_ = StopRequest::None;
    std::mutex observerLock_;
    std::mutex lock_;  // busy and totals of the slots, noMoreWhy_, refusal_
    std::string noMoreWhy_;
    std::string refusal_;
    std::vector<std::unique_ptr<Slot>> slots_;  // by slot number
    std::map<std::string, PortWatch, PortOrder> ports_;
    int started_ = 0;
    std::vector<HeldMouse> held_;        // until the first look (runner's thread only)
    std::set<std::string> unnamedSeen_;  // target paths without a port at the last look
};

// The host of one worker: its own waits, the runner's stop request, phases and progress to
// the observer under the slot's number.
class GangRunner::Impl::WorkerHost : public OperationHost {
  public:
    WorkerHost(Impl& runner, int slot) : runner_(runner), slot_(slot) {}

    void beginPhase(const std::string& label, int bytes) override {
        total_ = bytes;
        done_ = 0;
        runner_.tell([&](GangObserver& o) { o.phase(slot_, label, bytes); });
    }
    void relabelPhase(const std::string& label) override {
        runner_.tell([&](GangObserver& o) { o.phase(slot_, label, total_); });
    }
    void startAttempt() override { done_ = 0; }
    void transferred(int bytes) override {
        done_ = std::min(total_, done_ + bytes);
        runner_.tell([&](GangObserver& o) { o.progress(slot_, done_, total_); });
    }
    void sleepMs(int ms) override { waits().sleepMs(ms); }
    void delayUs(int us) override { waits().delayUs(us); }
    StopRequest stopRequest() override { return runner_.asked(); }

  private:
    OperationHost& waits() {
        return runner_.sharedWaits_ != nullptr ? *runner_.sharedWaits_ : own_;
    }

    Impl& runner_;
    int slot_;
    PacedWaits own_;
    int total_ = 0;
    int done_ = 0;
};

StopRequest GangRunner::Impl::asked() {
    const std::lock_guard<std::mutex> hold(stopLock_);
    const StopRequest now = host_ != nullptr ? host_->stopRequest() : StopRequest::None;
    if (now == StopRequest::Abort || (now == StopRequest::Finish && stop_ == StopRequest::None))
        stop_ = now;
    return stop_;
}

bool GangRunner::Impl::matches(const HidInterfaceInfo& info) const {
    const IcType* type = IcTypeAt(settings_.ic);
    if (type == nullptr) return false;
    if (info.vendorId != settings_.vid || info.productId != settings_.pid) return false;
    // The first IC type is told by its release; the others report theirs when opened.
    return !type->releaseCompared || info.release == type->release;
}

GangRunner::Impl::Slot* GangRunner::Impl::slotFor(const std::string& port) {
    for (const auto& slot : slots_) {
        if (slot->port == port) return slot.get();
    }
    if (!settings_.ports.empty()) return nullptr;
    if (settings_.maxSlots > 0 && static_cast<int>(slots_.size()) >= settings_.maxSlots)
        return nullptr;
    auto slot = std::make_unique<Slot>();
    slot->number = static_cast<int>(slots_.size()) + 1;
    slot->port = port;
    slots_.push_back(std::move(slot));
    Slot& added = *slots_.back();
    tell([&](GangObserver& o) { o.slotAssigned(added.number, added.port); });
    return &added;
}

void GangRunner::Impl::scan(bool taking) {
    std::map<std::string, std::set<std::string>, PortOrder> present;
    std::set<std::string> unnamed;
    for (const HidInterfaceInfo& info : platform_.enumerate()) {
        if (!matches(info)) continue;
        if (!info.port.empty()) {
            present[info.port].insert(info.path);
        } else {
            // A slot is a port: a mouse whose port has no name cannot have one. Said once.
            if (unnamedSeen_.count(info.path) == 0)
                tell([&](GangObserver& o) { o.portUnnamed(info.path); });
            unnamed.insert(info.path);
        }
    }
    unnamedSeen_ = std::move(unnamed);
    const Clock::time_point now = Clock::now();
    // A mouse is gone once one of its paths is.
    for (auto& [port, watch] : ports_) {
        if (watch.paths.empty()) continue;
        const auto here = present.find(port);
        const bool gone =
            here == present.end() || !std::includes(here->second.begin(), here->second.end(),
                                                    watch.paths.begin(), watch.paths.end());
        if (!gone) continue;
        watch.paths.clear();
        watch.pending = false;
        for (const auto& slot : slots_) {
            if (slot->port == port) tell([&](GangObserver& o) { o.mouseRemoved(slot->number); });
        }
    }
    // A path on a port without a mouse is a new mouse; on a port with one, the same mouse
    // (its further interfaces came up later).
    for (auto& [port, paths] : present) {
        PortWatch& watch = ports_[port];
        if (watch.paths.empty()) {
            watch.pending = true;
            watch.plugSeen = now;
            watch.held.reset();
            for (const HeldMouse& held : held_) {
                if (held.port == port && paths.count(held.path) > 0) watch.held = held;
            }
        }
        watch.paths.insert(paths.begin(), paths.end());
    }
    // Only a mouse there from the start is held: a path seen later may be a new mouse's.
    held_.clear();
    if (!taking) return;
    for (auto& [port, watch] : ports_) {
        if (!watch.pending) continue;
        Slot* slot = slotFor(port);
        if (slot == nullptr) {
            watch.pending = false;
            const std::string& ignored = port;  // a lambda may not capture a binding
            if (!watch.ignoredTold) tell([&](GangObserver& o) { o.portIgnored(ignored); });
            watch.ignoredTold = true;
            continue;
        }
        {
            const std::lock_guard<std::mutex> hold(lock_);
            if (slot->busy) continue;  // the last mouse's write is still ending
        }
        if (watch.held) {
            watch.pending = false;
            const HeldMouse held = *watch.held;
            watch.held.reset();
            tell([&](GangObserver& o) { o.mouseHeld(slot->number, held); });
            continue;
        }
        if (settings_.count > 0 && started_ >= settings_.count) break;
        watch.pending = false;
        start(*slot, watch.plugSeen);
    }
}

void GangRunner::Impl::start(Slot& slot, Clock::time_point plugSeen) {
    if (slot.worker.joinable()) slot.worker.join();
    {
        const std::lock_guard<std::mutex> hold(lock_);
        slot.busy = true;
    }
    ++started_;
    tell([&](GangObserver& o) { o.mousePlugged(slot.number); });
    slot.worker = std::thread([this, &slot, plugSeen] { work(slot, plugSeen); });
}

void GangRunner::Impl::work(Slot& slot, Clock::time_point plugSeen) {
    WorkerHost host(*this, slot.number);
    const auto done = [&] {
        const std::lock_guard<std::mutex> hold(lock_);
        slot.busy = false;
    };
    // The settle wait of the poll tick: S + 1 steps of 1 ms; a stop within it starts nothing.
    for (std::int32_t i = 0; i <= settings_.params.sleep && !StopAsked(host); ++i) {
        host.sleepMs(1);
    }
    if (StopAsked(host)) return done();

    MouseSession state(platform_);
    state.takeImage(settings_.image, settings_.imageType);
    const IcType* type = IcTypeAt(settings_.ic);
    state.ExpectedVersion = type->release;

    GangResult result;
    result.slot = slot.number;
    result.port = slot.port;
    result.factory = settings_.factory;
    // Only this mouse's interfaces are opened: the others may be in the middle of a write.
    result.opened = type->protocol == Protocol::Report4
                        ? state.link.OpenDeviceReport4(settings_.vid, settings_.pid,
                                                       state.ExpectedVersion, slot.port)
                        : state.link.OpenDeviceReport40(settings_.vid, settings_.pid,
                                                        state.ExpectedVersion, slot.port);
    result.devicePath = state.link.OpenedPath;
    // The read before the number and the write are one operation for the platform (the
    // simulated line pulls a written mouse out at the end of one).
    std::unique_ptr<OperationScope> scope;
    if (result.opened && settings_.params.writeId && settings_.ic == 0) {
        scope = std::make_unique<OperationScope>(state.link);
        const MouseVerdict verdict = serials_.examine(slot.number, state, host);
        std::string refusal = verdict.refusal.value_or(std::string());
        if (verdict.leftAlone) {
            result.leftAlone = true;
            result.heldNumber = verdict.heldNumber;
            result.text = *verdict.leftAlone;
            result.reason = verdict.reason;
        } else if (verdict.keep) {
            result.numberTaken = verdict.keep;
        } else if (!verdict.refusal) {
            result.numberTaken = serials_.take(slot.number, host, &refusal);
        }
        if (!result.numberTaken && !result.leftAlone) {
            {
                const std::lock_guard<std::mutex> hold(lock_);
                if (refusal_.empty()) refusal_ = refusal.empty() ? "no product number" : refusal;
            }
            takeNoMore("no product number for this mouse");
            return done();
        }
        if (result.numberTaken) {
            result.factory.number = *result.numberTaken;
            state.RecordGate = serials_.gate(slot.number);
        }
    }

    if (result.leftAlone) {
        result.factory.number = result.heldNumber;
    } else if (result.opened) {
        tell([&](GangObserver& o) {
            o.mouseStarted(slot.number, result.devicePath, result.numberTaken);
        });
        result.timing = OperationTiming{};
        result.outcome = WriteImage(state, settings_.ic, settings_.params, result.factory, host);
        result.writtenNumber = WrittenProductNumber(state, result.factory);
        result.recordSent = state.FactoryRecordSent;
        result.text = LogResultText(Operation::Write, result.outcome, settings_.ic);
        result.reason = state.LastReason;
        result.attempts = state.WriteAttempts;
    } else {
        result.outcome = Outcome::Fail;
        result.text = "not opened";
        std::string why = "no interface of the mouse on port ";
        why += slot.port;
        why += " could be opened";
        result.reason = MakeReason(ReasonCode::NoTarget, why);
    }
    state.RecordGate = nullptr;
    scope.reset();
    state.link.ForgetHandles();
    result.sincePlug = Clock::now() - plugSeen;

    std::string problem;
    if (!serials_.settle(slot.number, result, host, &problem)) {
        result.notRecorded = problem.empty() ? "not recorded" : problem;
        takeNoMore("a result was not recorded");
    }
    {
        const std::lock_guard<std::mutex> hold(lock_);
        if (result.leftAlone) {
            ++slot.leftAlone;
        } else {
            ++slot.mice;
            if (result.outcome == Outcome::Pass) ++slot.passes;
        }
    }
    tell([&](GangObserver& o) { o.mouseFinished(result); });
    done();
}

bool GangRunner::Impl::anyPending() const {
    for (const auto& [port, watch] : ports_) {
        if (watch.pending) return true;
    }
    return false;
}

bool GangRunner::Impl::anyBusy() {
    const std::lock_guard<std::mutex> hold(lock_);
    return std::any_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->busy; });
}

void GangRunner::Impl::joinAll() {
    for (const auto& slot : slots_) {
        if (slot->worker.joinable()) slot->worker.join();
    }
}

GangSummary GangRunner::Impl::run(OperationHost& host) {
    {
        const std::lock_guard<std::mutex> hold(stopLock_);
        host_ = &host;
    }
    const std::unique_ptr<PresenceWatcher> watcher = platform_.watchPresence();
    for (const std::string& port : settings_.ports) {
        auto slot = std::make_unique<Slot>();
        slot->number = static_cast<int>(slots_.size()) + 1;
        slot->port = port;
        slots_.push_back(std::move(slot));
        tell([&](GangObserver& o) { o.slotAssigned(slots_.back()->number, port); });
    }

    bool toldStop = false;
    // Where the system tells every arrival and removal, the interfaces are enumerated (and
    // opened) only after a change, while a mouse waits for its slot, when a write ended or
    // the runner stops taking mice; elsewhere at every look.
    bool look = true;
    bool wasBusy = false;
    while (true) {
        std::string why;
        if (asked() != StopRequest::None) {
            why = "stop requested";
        } else if (settings_.count > 0 && started_ >= settings_.count) {
            why = "--count mice taken";
        } else {
            const std::lock_guard<std::mutex> hold(lock_);
            why = noMoreWhy_;
        }
        const bool taking = why.empty();
        if (!taking && !toldStop) {
            tell([&](GangObserver& o) { o.stoppedTaking(why); });
            toldStop = true;
        }
        // Busy before the look: the last look comes after the last write ended, so a
        // mouse pulled out during it is heard of.
        const bool busy = anyBusy();
        if (look || !taking || busy != wasBusy || !watcher->tellsEveryChange() || anyPending())
            scan(taking);
        wasBusy = busy;
        if (!taking && !busy) break;
        look = watcher->waitForChange(settings_.lookMs);
    }
    joinAll();
    {
        const std::lock_guard<std::mutex> hold(stopLock_);
        host_ = nullptr;
    }

    GangSummary summary;
    const std::lock_guard<std::mutex> hold(lock_);
    for (const auto& slot : slots_) {
        summary.perSlot.push_back(
            {slot->number, slot->port, slot->mice, slot->passes, slot->leftAlone});
        summary.mice += slot->mice;
        summary.passes += slot->passes;
        summary.leftAlone += slot->leftAlone;
    }
    summary.refusal = refusal_;
    return summary;
}

GangRunner::GangRunner(HidPlatform& platform, const GangSettings& settings, SerialSource& serials,
                       GangObserver& observer, OperationHost* waits)
    : impl_(std::make_unique<Impl>(platform, settings, serials, observer, waits)) {}

GangRunner::~GangRunner() = default;

GangSummary GangRunner::run(OperationHost& host) {
    return impl_->run(host);
}

void GangRunner::takeNoMore(const std::string& why) {
    impl_->takeNoMore(why);
}

}  // namespace bw::station
