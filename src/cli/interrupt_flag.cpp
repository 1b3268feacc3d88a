#include "cli/interrupt_flag.h"

#include <csignal>

namespace bw {
namespace {

// A signal handler can reach nothing but static storage; a lock-free atomic is safe there.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

using Handler = void (*)(int);
Handler g_previous = SIG_DFL;

void OnInterrupt(int) {
    g_interrupted.store(true);
    // Some systems reset the handler before calling it; keep catching further presses.
    std::signal(SIGINT, OnInterrupt);
}

}  // namespace

InterruptFlag::InterruptFlag() {
    g_interrupted.store(false);
    g_previous = std::signal(SIGINT, OnInterrupt);
    if (g_previous == SIG_ERR) g_previous = SIG_DFL;
}

InterruptFlag::~InterruptFlag() {
    std::signal(SIGINT, g_previous);
}

const std::atomic<bool>& InterruptFlag::raised() const {
    return g_interrupted;
}

}  // namespace bw
