#include "cli/terminal_host.h"

namespace bw {

void TerminalHost::progress(int done, int total) {
    if (!show_ || total <= 0) return;
    const int percent = static_cast<int>(100LL * done / total);
    // A new block starts over at a low percentage: that is a new line of progress.
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    err_ << "\r" << percent << "%  " << std::flush;
    lineOpen_ = true;
    if (done >= total) {
        endLine();
    }
}

void TerminalHost::endLine() {
    if (!lineOpen_) return;
    err_ << "\r     \r" << std::flush;
    lineOpen_ = false;
    lastPercent_ = -1;
}

}  // namespace bw
