#pragma once
// The numeric fields' rules, shared by every window: which typed characters a field takes,
// how its text reads as a number (empty reads 0) and how a number is written back as text.

#include <cstdint>
#include <string>
#include <string_view>

namespace bw {

enum class NumberBase { Hex, Decimal };

// Backspace, as typed.
inline constexpr char32_t kBackspace = 8;

// A digit of the field: 0-9, a-f and A-F for hexadecimal, 0-9 for decimal.
bool IsFieldDigit(NumberBase base, char32_t c);

// Whether a character typed into the field reaches it: its digits and backspace. The whole
// character is tested, so a wide character whose low byte happens to be a digit stays out.
bool TypedCharacterAccepted(NumberBase base, char32_t c);

// Whether a text may stand in the field (every character a digit of its base).
bool IsFieldText(NumberBase base, std::string_view text);

// Value of the text: hexadecimal up to 8 significant digits read as a signed 32-bit
// pattern, decimal up to 2147483647; empty reads 0. Any other text throws ConversionError
// naming the text with its "$0" or "0" prefix.
std::int32_t HexTextValue(std::string_view text);
std::int32_t DecimalTextValue(std::string_view text);
std::int32_t FieldTextValue(NumberBase base, std::string_view text);

// Text of a value: upper-case hexadecimal or decimal without leading zeros; empty for 0
// or a negative value.
std::string HexValueText(std::int32_t value);
std::string DecimalValueText(std::int32_t value);
std::string FieldValueText(NumberBase base, std::int32_t value);

}  // namespace bw
