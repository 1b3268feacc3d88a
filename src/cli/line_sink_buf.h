#pragma once
// A stream buffer that hands each line to a sink as soon as its end is written, without
// its end (a '\r' before it is dropped): the Windows service turns each into an event, so
// the event log shows how far a station got even when its process ends abruptly.

#include <functional>
#include <streambuf>
#include <string>

namespace bw {

class LineSinkBuf : public std::streambuf {
  public:
    using Sink = std::function<void(const std::string&)>;
    explicit LineSinkBuf(Sink sink) : sink_(std::move(sink)) {}
    // Hands over a last line written without its end; nothing when there is none.
    void finish();

  protected:
    int_type overflow(int_type c) override;

  private:
    Sink sink_;
    std::string line_;
};

}  // namespace bw
