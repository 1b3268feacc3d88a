#pragma once
// The command line's operation host: real waits, and on a terminal one labelled bar per
// phase on stderr ("Writing 2048 bytes  [#####...]  1024/2048  50%  0.8s"), redrawn in
// place and finished with the phase's result. In a pipe it shows nothing, unless verbose.

#include <chrono>
#include <ostream>
#include <string>

#include "device/operation_host.h"

namespace bw {

struct ProgressStyle {
    bool terminal = false;  // stdout and stderr are terminals: bars, redrawn in place
    bool quiet = false;     // -q: nothing but the result line
    bool verbose = false;   // -v: each finished phase adds its time in ms and its attempts
};

class TerminalHost : public OperationHost {
  public:
    TerminalHost(std::ostream& err, ProgressStyle style) : err_(err), style_(style) {}
    ~TerminalHost() override { finishLine(); }

    void beginPhase(const std::string& label, int bytes) override;
    void relabelPhase(const std::string& label) override;
    void startAttempt() override;
    void transferred(int bytes) override;
    void endPhase(bool ok) override;

  private:
    using Clock = std::chrono::steady_clock;

    std::string phaseLine(const char* result) const;
    // force: the label or attempt changed; otherwise only a new percent or tenth of a second.
    void redraw(bool force);
    void finishLine();

    std::ostream& err_;
    ProgressStyle style_;
    bool open_ = false;  // a phase is running
    std::string label_;
    int bytes_ = 0;
    int done_ = 0;
    int attempts_ = 0;
    Clock::time_point started_;
    std::string drawn_;         // the text on the line now (redrawn lines are padded over it)
    long long drawnStep_ = -1;  // percent and tenth of a second of drawn_
};

}  // namespace bw
