#pragma once
// File names are UTF-8 everywhere inside the tool. On Windows the C++ library turns a narrow
// string into a path with neither UTF-8 nor the ANSI code page, and the narrow C calls take
// the ANSI code page only, so every name goes through UTF-16 there; elsewhere the bytes are
// the name as they stand.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace bw {

// The path named by UTF-8 text. On Windows a byte that is not UTF-8 becomes U+FFFD.
std::filesystem::path PathFromUtf8(std::string_view text);

// A path's name as UTF-8, for messages and for passing on.
std::string Utf8FromPath(const std::filesystem::path& path);

// std::fopen for a UTF-8 name.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

#ifdef _WIN32
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
#endif

}  // namespace bw
