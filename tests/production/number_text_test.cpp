#include "production/number_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

#include "production/conversion_error.h"

namespace bw {
namespace {

std::string ConversionMessage(const std::function<void()>& read) {
    try {
        read();
    } catch (const ConversionError& error) {
        return error.what();
    }
    return "no error";
}

TEST(HexTextValue, ReadsHexadecimalAsSigned32BitPattern) {
    EXPECT_EQ(HexTextValue(""), 0);
    EXPECT_EQ(HexTextValue("3a5c"), 0x3A5C);
    EXPECT_EQ(HexTextValue("3A5C"), 0x3A5C);
    EXPECT_EQ(HexTextValue("FFFFFFFF"), -1);
    EXPECT_EQ(HexTextValue("80000000"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(HexTextValue("7fffffff"), std::numeric_limits<std::int32_t>::max());
    // Leading zeros are not significant digits.
    EXPECT_EQ(HexTextValue("000000000001"), 1);
}

TEST(HexTextValue, RejectsNonNumbersWithThePrefixedText) {
    EXPECT_EQ(ConversionMessage([] { HexTextValue("123456789"); }),
              "'$0123456789' is not a valid integer value");
    EXPECT_EQ(ConversionMessage([] { HexTextValue("12g"); }),
              "'$012g' is not a valid integer value");
    EXPECT_EQ(ConversionMessage([] { HexTextValue("-1"); }), "'$0-1' is not a valid integer value");
    EXPECT_EQ(ConversionMessage([] { HexTextValue(" 1"); }), "'$0 1' is not a valid integer value");
    // A pasted wide character is named as it stands (UTF-8).
    EXPECT_EQ(ConversionMessage([] { HexTextValue("1\xC4\xB1"); }),
              "'$01\xC4\xB1' is not a valid integer value");
}

TEST(DecimalTextValue, ReadsUpToInt32Max) {
    EXPECT_EQ(DecimalTextValue(""), 0);
    EXPECT_EQ(DecimalTextValue("0100"), 100);
    EXPECT_EQ(DecimalTextValue("2147483647"), 2147483647);
    EXPECT_EQ(ConversionMessage([] { DecimalTextValue("2147483648"); }),
              "'02147483648' is not a valid integer value");
    EXPECT_EQ(ConversionMessage([] { DecimalTextValue("12a"); }),
              "'012a' is not a valid integer value");
    EXPECT_EQ(ConversionMessage([] { DecimalTextValue("-3"); }),
              "'0-3' is not a valid integer value");
}

TEST(ValueText, HexHasNoLeadingZerosAndNothingForZeroOrLess) {
    EXPECT_EQ(HexValueText(5), "5");
    EXPECT_EQ(HexValueText(15), "F");
    EXPECT_EQ(HexValueText(16), "10");
    EXPECT_EQ(HexValueText(255), "FF");
    EXPECT_EQ(HexValueText(4096), "1000");
    EXPECT_EQ(HexValueText(0xC21), "C21");
    EXPECT_EQ(HexValueText(0x20200527), "20200527");
    EXPECT_EQ(HexValueText(0), "");
    EXPECT_EQ(HexValueText(-1), "");
    EXPECT_EQ(HexValueText(std::numeric_limits<std::int32_t>::max()), "7FFFFFFF");
}

TEST(ValueText, DecimalPositiveOnly) {
    EXPECT_EQ(DecimalValueText(42), "42");
    EXPECT_EQ(DecimalValueText(0), "");
    EXPECT_EQ(DecimalValueText(-7), "");
}

// The filter every window applies to typed characters: the field's digits and backspace
// reach it, nothing else does. Wide characters are tested whole: U+0131 and U+0661 end in
// the byte of a digit ('1', 'a') and must still stay out.
TEST(TypedCharacterAccepted, DigitsOfTheBaseAndBackspaceOnly) {
    struct Row {
        char32_t c;
        bool hex;
        bool decimal;
    };
    const Row rows[] = {
        {U'0', true, true},
        {U'9', true, true},
        {U'a', true, false},
        {U'f', true, false},
        {U'A', true, false},
        {U'F', true, false},
        {U'g', false, false},
        {U'G', false, false},
        {U'-', false, false},
        {U' ', false, false},
        {U'$', false, false},
        {U'x', false, false},
        {kBackspace, true, true},
        {22, false, false} /* Ctrl+V */,
        {3, false, false},
        {13, false, false},
        {0x131, false, false},
        {0x161, false, false},
        {0xFF10, false, false} /* fullwidth 0 */,
        {0x10030, false, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TypedCharacterAccepted(NumberBase::Hex, row.c), row.hex)
            << std::hex << static_cast<std::uint32_t>(row.c);
        EXPECT_EQ(TypedCharacterAccepted(NumberBase::Decimal, row.c), row.decimal)
            << std::hex << static_cast<std::uint32_t>(row.c);
    }
}

TEST(IsFieldText, EveryCharacterADigitOfTheBase) {
    EXPECT_TRUE(IsFieldText(NumberBase::Hex, ""));
    EXPECT_TRUE(IsFieldText(NumberBase::Hex, "c0De"));
    EXPECT_FALSE(IsFieldText(NumberBase::Hex, "c0 de"));
    EXPECT_FALSE(IsFieldText(NumberBase::Decimal, "12a"));
    EXPECT_FALSE(IsFieldText(NumberBase::Decimal, "1\xD9\xA1"));  // U+0661 in UTF-8
    EXPECT_TRUE(IsFieldText(NumberBase::Decimal, "0123"));
    // What the field takes, it reads.
    EXPECT_EQ(FieldTextValue(NumberBase::Hex, "c0De"), 0xC0DE);
    EXPECT_EQ(FieldTextValue(NumberBase::Decimal, "0123"), 123);
    EXPECT_EQ(FieldValueText(NumberBase::Hex, 0xC0DE), "C0DE");
    EXPECT_EQ(FieldValueText(NumberBase::Decimal, 123), "123");
}

}  // namespace
}  // namespace bw
