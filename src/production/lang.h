#pragma once
// Caption table: one text per caption index and UI language. Plain data, shared
// by the window and the command line.

#include <array>
#include <cstdint>
#include <string_view>

namespace bw {

struct CaptionRow {
    std::uint8_t index;
    std::array<std::string_view, 3> text;  // one per UiLanguage 0, 1, 2
};

extern const std::array<CaptionRow, 39> CaptionTable;

// Text of a caption index in the given language; empty for an index no row holds.
std::string_view GetCaption(std::uint8_t index, std::uint8_t uiLanguage = 0);

// UiLanguage for a Windows locale identifier: 2 for 2052 (Chinese, PRC), otherwise 0.
std::uint8_t UiLanguageForLocale(std::uint32_t localeId);

// Font face the captioned controls use in a language.
std::string_view CaptionFontFace(std::uint8_t uiLanguage);

// Caption indices the operations use.
namespace caption {
inline constexpr std::uint8_t NoFindMouse = 0;
inline constexpr std::uint8_t MouseReady = 1;
inline constexpr std::uint8_t WritePass = 12;
inline constexpr std::uint8_t WriteFail = 13;
inline constexpr std::uint8_t VerifyPass = 14;
inline constexpr std::uint8_t VerifyFail = 15;
inline constexpr std::uint8_t SavePass = 16;
inline constexpr std::uint8_t SaveFail = 17;
inline constexpr std::uint8_t BinNotMatchMouse = 19;
inline constexpr std::uint8_t BinNotMatchIcType = 20;
}  // namespace caption

}  // namespace bw
