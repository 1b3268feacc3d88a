#include "production/number_text.h"

#include <cstdio>

#include "production/conversion_error.h"

namespace bw {

namespace {

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void Fail(std::string_view prefix, std::string_view text) {
    throw ConversionError(std::string(prefix) + std::string(text));
}

}  // namespace

bool IsFieldDigit(NumberBase base, char32_t c) {
    if (c >= U'0' && c <= U'9') return true;
    if (base == NumberBase::Decimal) return false;
    return (c >= U'a' && c <= U'f') || (c >= U'A' && c <= U'F');
}

bool TypedCharacterAccepted(NumberBase base, char32_t c) {
    return c == kBackspace || IsFieldDigit(base, c);
}

bool IsFieldText(NumberBase base, std::string_view text) {
    for (const char c : text) {
        if (!IsFieldDigit(base, static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::int32_t HexTextValue(std::string_view text) {
    std::uint32_t value = 0;
    int significant = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) Fail("$0", text);
        if (significant == 0 && digit == 0) continue;
        if (++significant > 8) Fail("$0", text);
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    // The 32-bit pattern, read as a signed value.
    return static_cast<std::int32_t>(value);
}

std::int32_t DecimalTextValue(std::string_view text) {
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') Fail("0", text);
        value = value * 10 + (c - '0');
        if (value > 2147483647) Fail("0", text);
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t FieldTextValue(NumberBase base, std::string_view text) {
    return base == NumberBase::Hex ? HexTextValue(text) : DecimalTextValue(text);
}

std::string HexValueText(std::int32_t value) {
    if (value <= 0) return {};
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

std::string DecimalValueText(std::int32_t value) {
    if (value <= 0) return {};
    return std::to_string(value);
}

std::string FieldValueText(NumberBase base, std::int32_t value) {
    return base == NumberBase::Hex ? HexValueText(value) : DecimalValueText(value);
}

}  // namespace bw
