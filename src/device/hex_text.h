#pragma once
// A number in upper-case hex, zero-padded to at least `digits` digits: how ids, addresses,
// bytes and product numbers appear in reasons, logs, JSON and listings.

#include <cstdint>
#include <cstdio>
#include <string>

namespace bw {

inline std::string HexText(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

}  // namespace bw
