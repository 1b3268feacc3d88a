#pragma once
// Numbers as the front ends show them: the window's hex fields, the product number in the
// lines of `run`, `run --gang` and the gang window.

#include <cstdint>
#include <string>

namespace bw {

// A hex field after SetValue: minimal upper-case digits, empty for 0 or less.
std::string HexFieldText(std::int32_t value);
// A product number in the lines of `run` and `run --gang`: as HexFieldText, but 0 is "0"
// (a blank would read as no number at all).
std::string ProductNumberText(std::int32_t value);

}  // namespace bw
