#include "cli/interrupt_flag.h"

#include <atomic>
#include <csignal>

#include "production/result_text.h"

namespace bw {
namespace {

// A signal handler can reach nothing but static storage; lock-free atomics are safe there.
std::atomic<int> g_interrupts{0};   // SIGINT presses
std::atomic<int> g_firstSignal{0};  // SIGINT or SIGTERM, whichever came first
static_assert(std::atomic<int>::is_always_lock_free);

using Handler = void (*)(int);
Handler g_previousInt = SIG_DFL;
Handler g_previousTerm = SIG_DFL;

void OnSignal(int signal) {
    int none = 0;
    g_firstSignal.compare_exchange_strong(none, signal);
    if (signal == SIGINT) g_interrupts.fetch_add(1);
    // Some systems reset the handler before calling it; keep catching further signals.
    std::signal(signal, OnSignal);
}

Handler Install(int signal) {
    const Handler previous = std::signal(signal, OnSignal);
    return previous == SIG_ERR ? SIG_DFL : previous;
}

}  // namespace

InterruptFlag::InterruptFlag(Clock now) : now_(std::move(now)) {
    g_interrupts.store(0);
    g_firstSignal.store(0);
    g_previousInt = Install(SIGINT);
    g_previousTerm = Install(SIGTERM);
}

InterruptFlag::~InterruptFlag() {
    std::signal(SIGINT, g_previousInt);
    std::signal(SIGTERM, g_previousTerm);
}

StopRequest InterruptFlag::request() {
    const int presses = g_interrupts.load();
    while (pressesSeen_ < presses) {
        const auto at = now_();
        if (pressesSeen_ > 0 && at - lastPress_ <= kAbortWindow) abort_ = true;
        lastPress_ = at;
        ++pressesSeen_;
    }
    if (abort_) return StopRequest::Abort;
    return firstSignal() != 0 ? StopRequest::Finish : StopRequest::None;
}

int InterruptFlag::firstSignal() const {
    return g_firstSignal.load();
}

int InterruptFlag::exitCode(int code) const {
    switch (firstSignal()) {
        case SIGINT:
            return exitcode::Interrupted;
        case SIGTERM:
            return exitcode::Terminated;
        default:
            return code;
    }
}

StopRequest SignalAwareHost::stopRequest() {
    return flag_.request();
}

}  // namespace bw
