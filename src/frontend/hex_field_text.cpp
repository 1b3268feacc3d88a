#include "frontend/hex_field_text.h"

#include <cstdio>

namespace bw {

std::string HexFieldText(std::int32_t value) {
    if (value <= 0) return "";
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

std::string ProductNumberText(std::int32_t value) {
    return value == 0 ? std::string("0") : HexFieldText(value);
}

}  // namespace bw
