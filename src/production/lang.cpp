#include "production/lang.h"

namespace bw {

namespace {
constexpr CaptionRow Same(std::uint8_t index, std::string_view text) {
    return CaptionRow{index, {text, text, text}};
}
}  // namespace

const std::array<CaptionRow, 39> CaptionTable{{
    Same(0, "No Find Mouse"),
    Same(1, "Mouse Ready"),
    {2, {"MIRQ IC Type:", "MIRQ IC Type", "MIRQ IC Type"}},
    Same(3, "VID:"),
    Same(4, "PID:"),
    Same(5, "Write Mode:"),
    Same(6, "Auto Write"),
    Same(7, "BIN File Path:"),
    Same(8, "Load BIN"),
    Same(9, "Write"),
    Same(10, "Verify"),
    Same(11, "Save"),
    Same(12, "Write Pass"),
    Same(13, "Write Fail"),
    Same(14, "Verify Pass"),
    Same(15, "Verify Fail"),
    Same(16, "Save Pass"),
    Same(17, "Save Fail"),
    Same(18, "Result:"),
    Same(19, "BIN file not match Mouse"),
    Same(20, "BIN file not match IC Type"),
    Same(21, "PASS"),
    Same(22, "FAIL"),
    Same(23, "PASS Number:"),
    Same(24, "Write Parameter:"),
    Same(25, "Total Times"),
    Same(26, "Retry Times"),
    Same(27, "Data Format"),
    Same(28, "Factory Config"),
    Same(29, "Write Product ID"),
    Same(30, "Factory Config"),
    Same(31, "Product"),
    Same(32, "Date"),
    Same(33, "SN"),
    Same(34, "Factory"),
    Same(35, "Line"),
    Same(36, "Station"),
    Same(37, "Read"),
    Same(38, "SleepTimes"),
}};

std::string_view GetCaption(std::uint8_t index, std::uint8_t uiLanguage) {
    if (uiLanguage > 2) uiLanguage = 0;
    for (const CaptionRow& row : CaptionTable) {
        if (row.index == index) return row.text[uiLanguage];
    }
    return {};
}

std::uint8_t UiLanguageForLocale(std::uint32_t localeId) {
    return localeId == 2052 ? 2 : 0;
}

std::string_view CaptionFontFace(std::uint8_t uiLanguage) {
    return uiLanguage == 0 ? "MS Sans Serif" : "Microsoft JhengHei";
}

}  // namespace bw
