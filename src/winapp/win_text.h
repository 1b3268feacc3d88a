#pragma once
// UTF-8 inside, UTF-16 at the Windows API: the conversions and a window's text.

#include <windows.h>

#include <string>
#include <string_view>

#include "os/utf8_path.h"
#include "production/result_text.h"

namespace bw::winapp {

inline std::wstring Wide(std::string_view text) {
    return WideFromUtf8(text);
}

inline std::string Utf8(std::wstring_view text) {
    return Utf8FromWide(text);
}

inline std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

inline COLORREF ColourRef(const Rgb& rgb) {
    return RGB(rgb.r, rgb.g, rgb.b);
}

}  // namespace bw::winapp
