#pragma once
// Placement of the main window and the locale it takes its captions from.

#include <QLocale>
#include <cstdint>

namespace bw {

inline constexpr int DesignWidth = 625;
inline constexpr int DesignHeight = 680;

// Origin that centres a window of `design` pixels on a screen of `screen`
// pixels; the division truncates toward zero, so a screen one pixel too small gives 0.
inline int CentredOrigin(int screen, int design) {
    return (screen - design) / 2;
}

// Windows locale identifier of a locale: 2052 for Chinese as used in China,
// 1033 for English (United States); other locales map to nearby identifiers
// that only matter in that they are not 2052.
std::uint32_t WindowsLocaleId(const QLocale& locale);

}  // namespace bw
