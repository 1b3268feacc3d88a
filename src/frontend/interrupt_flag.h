#pragma once
// Ctrl-C (SIGINT) and SIGTERM while a command runs. The handlers only count the signals;
// the command asks for the resulting stop request between pieces, attempts and mice:
//   - the first signal: the attempt in progress ends, nothing further starts (Finish);
//   - a second Ctrl-C within 3 s of the one before: stop at the next piece (Abort).
// After a signal the command ends with 130 (SIGINT first) or 143 (SIGTERM first).
// On Windows the console's Ctrl-C is SIGINT; Ctrl-Break, closing the console window, logoff
// and shutdown are SIGTERM, and so is a stop from the service manager (Terminate()).

#include <chrono>
#include <functional>

#include "device/operation_host.h"

namespace bw {

class InterruptFlag {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::seconds kAbortWindow{3};

    // Clears the counts and installs the handlers. `now` times the presses (tests).
    explicit InterruptFlag(Clock now = std::chrono::steady_clock::now);
    ~InterruptFlag();  // puts the previous handlers back
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;

    // A press is timed when this first sees it; it is asked often, so that is close enough.
    StopRequest request();
    // The first signal caught (SIGINT or SIGTERM); 0 while none came.
    int firstSignal() const;
    // The exit code of a command that ended with `code`: 130 or 143 once a signal came.
    int exitCode(int code) const;

    // SIGTERM from within the process (the service manager's stop); also taken by a flag
    // made after it.
    static void Terminate();
    // A service outlives the user's logoff: the console's logoff event is no stop then.
    static void AsService();

  private:
    Clock now_;
    int pressesSeen_ = 0;
    bool abort_ = false;
    std::chrono::steady_clock::time_point lastPress_{};
};

// Passes everything to the host that runs the command and answers stopRequest() from the
// signals, so the core hears of them through its one interface.
class SignalAwareHost : public OperationHost {
  public:
    SignalAwareHost(OperationHost& inner, InterruptFlag& flag) : inner_(inner), flag_(flag) {}

    void showLoading() override { inner_.showLoading(); }
    void hideLoading() override { inner_.hideLoading(); }
    void processEvents() override { inner_.processEvents(); }
    void progress(int done, int total) override { inner_.progress(done, total); }
    void beginPhase(const std::string& label, int bytes) override {
        inner_.beginPhase(label, bytes);
    }
    void relabelPhase(const std::string& label) override { inner_.relabelPhase(label); }
    void startAttempt() override { inner_.startAttempt(); }
    void transferred(int bytes) override { inner_.transferred(bytes); }
    void endPhase(bool ok) override { inner_.endPhase(ok); }
    void sleepMs(int ms) override { inner_.sleepMs(ms); }
    void delayUs(int us) override { inner_.delayUs(us); }
    StopRequest stopRequest() override;

  private:
    OperationHost& inner_;
    InterruptFlag& flag_;
};

}  // namespace bw
