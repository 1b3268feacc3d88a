#include "window/handler_guard.h"

#include <exception>
#include <string>
#include <utility>

namespace bw::window {

namespace {

// Text of the failure in flight; a failure without one gets a fixed text.
const char* FailureText(std::exception_ptr failure) {
    try {
        std::rethrow_exception(std::move(failure));
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown failure";
    }
}

}  // namespace

HandlerGuard::HandlerGuard(ErrorBox showError, Recovery recovery)
    : showError_(std::move(showError)), recovery_(std::move(recovery)) {}

bool HandlerGuard::Run(const std::function<void()>& handler) {
    ++depth_;
    try {
        handler();
    } catch (...) {
        --depth_;
        if (depth_ > 0) throw;
        // Keep the text before recovery runs: what() belongs to the exception object.
        const std::string message = FailureText(std::current_exception());
        Recover(message.c_str());
        return false;
    }
    --depth_;
    return true;
}

void HandlerGuard::Recover(const char* message) {
    // A recovery step that fails itself must not leave the guard by throwing.
    const auto step = [this](const std::function<void()>& work) {
        if (!work) return;
        try {
            work();
        } catch (...) {
            if (showError_) showError_(FailureText(std::current_exception()));
        }
    };
    step(recovery_.beforeBox);
    if (showError_) showError_(message);
    step(recovery_.afterBox);
}

}  // namespace bw::window
