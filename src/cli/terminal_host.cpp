#include "cli/terminal_host.h"

namespace bw {

void TerminalHost::progress(int done, int total) {
    if (!show_ || total <= 0) return;
    const int percent = static_cast<int>(100LL * done / total);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    err_ << "\r" << percent << "%  " << std::flush;
    lineOpen_ = true;
    // The line is cleared when the block ends, so the result text starts on a clean line.
    if (done >= total) endLine();
}

void TerminalHost::endLine() {
    if (!lineOpen_) return;
    err_ << "\r     \r" << std::flush;
    lineOpen_ = false;
    lastPercent_ = -1;
}

}  // namespace bw
