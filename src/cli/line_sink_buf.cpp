#include "cli/line_sink_buf.h"

namespace bw {

void LineSinkBuf::finish() {
    if (line_.empty()) return;
    const std::string line = std::move(line_);
    line_.clear();
    sink_(line);
}

// No put area: every character comes here, so a line is handed over at its end, not when
// the stream happens to be flushed.
LineSinkBuf::int_type LineSinkBuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    if (ch == '\n') {
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        const std::string line = std::move(line_);
        line_.clear();
        sink_(line);
    } else {
        line_ += ch;
    }
    return c;
}

}  // namespace bw
