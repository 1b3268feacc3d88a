#pragma once
// Raised when a numeric field's text is not a number; the caller's handler
// stops and the message goes to the error box.

#include <stdexcept>
#include <string>

namespace bw {

class ConversionError : public std::runtime_error {
  public:
    // `prefixedText` is the text as converted, with its "$0" or "0" prefix.
    explicit ConversionError(const std::string& prefixedText)
        : std::runtime_error("'" + prefixedText + "' is not a valid integer value") {}
};

}  // namespace bw
