#pragma once
// What the device and image layers may ask of whoever runs them: the window
// (loading animation, event pump), the command line (progress), or a test
// (a recording clock). This layer never includes Qt.

namespace bw {

// What the one running an operation asks of it while it runs (the command line after a
// signal). The window never asks.
enum class StopRequest {
    None,
    Finish,  // the attempt in progress ends as usual; no further attempt or retry starts
    Abort,   // stop at the next piece, close the exchange, end as Aborted
};

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

    // Waits. The defaults really wait (precisely); tests override them with a virtual clock.
    virtual void sleepMs(int ms);
    virtual void delayUs(int us);

    // Asked between pieces and before every further attempt; cheap.
    virtual StopRequest stopRequest() { return StopRequest::None; }
};

inline bool StopAsked(OperationHost& host) {
    return host.stopRequest() != StopRequest::None;
}
inline bool Aborting(OperationHost& host) {
    return host.stopRequest() == StopRequest::Abort;
}

// A host that does nothing but wait; serves the command line without a terminal.
class NullHost : public OperationHost {};

}  // namespace bw
