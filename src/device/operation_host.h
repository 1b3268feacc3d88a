#pragma once
// What the device and image layers may ask of whoever runs them: the window
// (loading animation, event pump), the command line (progress), or a test
// (a recording clock). This layer never includes Qt.

#include <string>

namespace bw {

class OperationHost {
  public:
    virtual ~OperationHost() = default;

    // Place the loading window centred over the main window and show it.
    virtual void showLoading() {}
    virtual void hideLoading() {}
    // Let pending window messages run.
    virtual void processEvents() {}
    // Progress of a block transfer, called once per piece: piece index done, pieces in all.
    virtual void progress(int /*done*/, int /*total*/) {}

    // Phases: the labelled stages of an operation ("Checking mouse", "Writing 2048 bytes"),
    // for a front end that shows them. bytes: what the phase moves, 0 for none.
    virtual void beginPhase(const std::string& /*label*/, int /*bytes*/) {}
    // The running phase moved on to a part of its own ("Reading back block 3/8").
    virtual void relabelPhase(const std::string& /*label*/) {}
    // An attempt of the running phase starts; its bytes count from zero again.
    virtual void startAttempt() {}
    // Bytes of the running phase that one piece moved.
    virtual void transferred(int /*bytes*/) {}
    virtual void endPhase(bool /*ok*/) {}

    // Waits. The defaults really wait (precisely); tests override them with a virtual clock.
    virtual void sleepMs(int ms);
    virtual void delayUs(int us);
};

// A host that does nothing but wait; serves the command line without a terminal.
class NullHost : public OperationHost {};

}  // namespace bw
