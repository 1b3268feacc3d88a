#pragma once
// The command line's operation host: real waits, and on a terminal a progress
// percentage on stderr, rewritten in place. In a pipe it shows nothing.

#include <ostream>

#include "device/operation_host.h"

namespace bw {

class TerminalHost : public OperationHost {
  public:
    // showProgress: both stdout and stderr are terminals.
    TerminalHost(std::ostream& err, bool showProgress) : err_(err), show_(showProgress) {}
    ~TerminalHost() override { endLine(); }

    void hideLoading() override { endLine(); }
    void progress(int done, int total) override;

  private:
    void endLine();

    std::ostream& err_;
    bool show_;
    int lastPercent_ = -1;
    bool lineOpen_ = false;
};

}  // namespace bw
