#pragma once
// The error box's text: the failure's message with "." appended when its last character
// sorts after "." (so a message ending in ".", "!" or ")" gets none; an empty one stays
// empty). Every window shows its errors this way.

#include <string>
#include <string_view>

namespace bw {

inline std::string ErrorBoxMessage(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
    return text;
}

}  // namespace bw
