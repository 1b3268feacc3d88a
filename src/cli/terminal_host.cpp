#include "cli/terminal_host.h"

#include <algorithm>
#include <cstdio>

namespace bw {
namespace {

constexpr int kBarWidth = 24;
constexpr std::size_t kLabelWidth = 24;

std::string Seconds(std::chrono::steady_clock::duration elapsed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1fs", std::chrono::duration<double>(elapsed).count());
    return text;
}

}  // namespace

std::string TerminalHost::phaseLine(const char* result) const {
    std::string line = label_;
    if (line.size() < kLabelWidth) line.append(kLabelWidth - line.size(), ' ');
    if (bytes_ > 0) {
        const int done = std::min(done_, bytes_);
        const int filled = static_cast<int>(static_cast<long long>(kBarWidth) * done / bytes_);
        line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] ";
        char counts[48];
        std::snprintf(counts, sizeof counts, "%4d/%d %3d%%", done, bytes_,
                      static_cast<int>(100LL * done / bytes_));
        line += counts;
    }
    line += "  " + Seconds(Clock::now() - started_);
    if (attempts_ > 1 && result == nullptr) line += "  attempt " + std::to_string(attempts_);
    if (result != nullptr) line += std::string("  ") + result;
    return line;
}

void TerminalHost::redraw(bool force) {
    if (!style_.terminal || style_.quiet) return;
    const long long percent = bytes_ > 0 ? 100LL * std::min(done_, bytes_) / bytes_ : 0;
    const long long tenths =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count() /
        100;
    const long long step = tenths * 101 + percent;
    if (!force && step == drawnStep_) return;
    drawnStep_ = step;
    const std::string line = phaseLine(nullptr);
    if (line == drawn_) return;
    // Spaces cover what a longer line before left; no terminal control codes needed.
    const std::size_t pad = drawn_.size() > line.size() ? drawn_.size() - line.size() : 0;
    err_ << '\r' << line << std::string(pad, ' ') << std::flush;
    drawn_ = line;
}

void TerminalHost::beginPhase(const std::string& label, int bytes) {
    finishLine();
    open_ = true;
    label_ = label;
    bytes_ = std::max(0, bytes);
    done_ = 0;
    attempts_ = 0;
    started_ = Clock::now();
    redraw(true);
}

void TerminalHost::relabelPhase(const std::string& label) {
    if (!open_) return;
    label_ = label;
    redraw(true);
}

void TerminalHost::startAttempt() {
    if (!open_) return;
    ++attempts_;
    done_ = 0;
    redraw(true);
}

void TerminalHost::transferred(int bytes) {
    if (!open_) return;
    done_ += bytes;
    redraw(false);
}

void TerminalHost::endPhase(bool ok) {
    if (!open_) return;
    open_ = false;
    const bool show = !style_.quiet && (style_.terminal || style_.verbose);
    if (!show) return;
    std::string line = phaseLine(ok ? "ok" : "failed");
    if (style_.verbose) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_).count();
        const int attempts = std::max(1, attempts_);
        line += "  (" + std::to_string(ms) + " ms, " + std::to_string(attempts) +
                (attempts == 1 ? " attempt)" : " attempts)");
    }
    if (style_.terminal) {
        const std::size_t pad = drawn_.size() > line.size() ? drawn_.size() - line.size() : 0;
        err_ << '\r' << line << std::string(pad, ' ') << '\n' << std::flush;
    } else {
        err_ << line << '\n' << std::flush;
    }
    drawn_.clear();
    drawnStep_ = -1;
}

void TerminalHost::finishLine() {
    // A phase left open (an operation that ended early) keeps what it drew on its own line.
    if (!drawn_.empty()) err_ << '\n' << std::flush;
    drawn_.clear();
    drawnStep_ = -1;
    open_ = false;
}

}  // namespace bw
