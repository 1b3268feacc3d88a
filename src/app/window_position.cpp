#include "app/window_position.h"

namespace bw {

std::uint32_t WindowsLocaleId(const QLocale& locale) {
    if (locale.language() == QLocale::Chinese) {
        switch (locale.territory()) {
            case QLocale::China:
                return 2052;
            case QLocale::Taiwan:
                return 1028;
            case QLocale::HongKong:
                return 3076;
            case QLocale::Singapore:
                return 4100;
            case QLocale::Macao:
                return 5124;
            default:
                return 4;  // Chinese, no territory
        }
    }
    if (locale.language() == QLocale::English && locale.territory() == QLocale::UnitedStates) {
        return 1033;
    }
    // Primary language identifier only (LANG_NEUTRAL sub-language); never 2052.
    return 0x0400;  // LOCALE_USER_DEFAULT
}

}  // namespace bw
