#pragma once
// The one place where the window's event handlers fail. A failure a handler does
// not handle itself ends it; the guard shows the error box and then puts the window
// back into a usable state, so the operator can go on without restarting.

#include <functional>
#include <string_view>

namespace bw::window {

class HandlerGuard {
  public:
    struct Recovery {
        // Before the error box: hide the loading window, which would cover the box.
        std::function<void()> beforeBox;
        // After the error box: operation buttons and the poll timer as the current
        // state implies, the poll guard released, a deferred close carried out.
        std::function<void()> afterBox;
    };
    // Shows the error box with a failure's text.
    using ErrorBox = std::function<void(std::string_view message)>;

    HandlerGuard(ErrorBox showError, Recovery recovery);

    // Runs one handler; false when it failed. A failure inside a nested Run (a
    // handler called from another one) ends the outermost handler, so the
    // caller does not go on with half-done work.
    bool Run(const std::function<void()>& handler);

    bool Running() const { return depth_ > 0; }

  private:
    void Recover(const char* message);

    ErrorBox showError_;
    Recovery recovery_;
    int depth_ = 0;
};

}  // namespace bw::window
