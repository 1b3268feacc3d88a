#include "frontend/interrupt_flag.h"

#include <atomic>
#include <csignal>

#include "production/result_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace bw {
namespace {

// A signal handler can reach nothing but static storage; lock-free atomics are safe there.
std::atomic<int> g_interrupts{0};           // SIGINT presses
std::atomic<int> g_firstSignal{0};          // SIGINT or SIGTERM, whichever came first
std::atomic<bool> g_terminateEarly{false};  // Terminate() before the flag was made
std::atomic<bool> g_asService{false};       // a service: the user's logoff is not a stop
#ifdef _WIN32
std::atomic<bool> g_eventHeld{false};  // a console handler waits for the process's end
#endif
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

#ifdef _WIN32
// The console's events: Ctrl-C is SIGINT; Ctrl-Break, closing the window, logoff and
// shutdown are SIGTERM. Windows ends the process once the handler returns from the last
// three, so the handler waits there and the command's own end (totals, log line, exit
// code) ends the process first; Windows allows about five seconds for it. The system holds
// its lock on the handler list meanwhile, so the handler may not be removed then.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            OnSignal(SIGINT);
            return TRUE;
        case CTRL_BREAK_EVENT:
            OnSignal(SIGTERM);
            return TRUE;
        case CTRL_LOGOFF_EVENT:
            if (g_asService.load()) return FALSE;
            [[fallthrough]];
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            OnSignal(SIGTERM);
            g_eventHeld.store(true);
            Sleep(INFINITE);
            return TRUE;
        default:
            return FALSE;
    }
}
#endif

}  // namespace

InterruptFlag::InterruptFlag(Clock now) : now_(std::move(now)) {
    g_interrupts.store(0);
    g_firstSignal.store(g_terminateEarly.exchange(false) ? SIGTERM : 0);
    g_previousInt = Install(SIGINT);
    g_previousTerm = Install(SIGTERM);
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#endif
}

InterruptFlag::~InterruptFlag() {
#ifdef _WIN32
    if (!g_eventHeld.load()) SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
#endif
    std::signal(SIGINT, g_previousInt);
    std::signal(SIGTERM, g_previousTerm);
}

void InterruptFlag::AsService() {
    g_asService.store(true);
}

void InterruptFlag::Terminate() {
    g_terminateEarly.store(true);
    int none = 0;
    g_firstSignal.compare_exchange_strong(none, SIGTERM);
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
