#include "ui/handler_guard.h"

#include <QString>
#include <exception>
#include <string>
#include <utility>

#include "ui/message_boxes.h"

namespace bw {

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

// Runs one recovery step; a step that fails itself must not leave the guard by throwing.
void RunStep(QWidget* window, const std::function<void()>& step) {
    if (!step) return;
    try {
        step();
    } catch (...) {
        ShowErrorBox(window, QString::fromUtf8(FailureText(std::current_exception())));
    }
}

}  // namespace

HandlerGuard::HandlerGuard(QWidget* window, Recovery recovery)
    : window_(window), recovery_(std::move(recovery)) {}

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
    RunStep(window_, recovery_.beforeBox);
    ShowErrorBox(window_, QString::fromUtf8(message));
    RunStep(window_, recovery_.afterBox);
}

}  // namespace bw
