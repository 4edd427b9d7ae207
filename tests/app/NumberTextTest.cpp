#include <gtest/gtest.h>

#include "app/config/NumberText.h"

// The cases every stored ratio meets sit with ParseDecimal, which applies this same rule.
TEST(ParseNumber, AcceptsEitherSeparatorSignBlanksAndExponent) {
    const std::pair<const char16_t*, double> cases[] = {{u"1,5", 1.5},    {u"+200", 200},
                                                        {u"  200 ", 200}, {u"2,5E+2", 250},
                                                        {u".5", 0.5},     {u"5,", 5}};
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        ASSERT_TRUE(parseNumber(text).has_value());
        EXPECT_DOUBLE_EQ(*parseNumber(text), value);
    }
    for (const char16_t* text : {u" ", u"+", u",", u"1e", u"1e+", u"e5", u"--1", u"1 2", u"0x10",
                                 u"inf", u"nan", u"1e999", u"١٢"}) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        EXPECT_FALSE(parseNumber(text).has_value());
    }
}

TEST(ParseWholeNumber, RoundsHalvesToEvenAndRefusesOutOfRange) {
    EXPECT_EQ(*parseWholeNumber(u"2,5"), 2);
    EXPECT_EQ(*parseWholeNumber(u"3.5"), 4);
    EXPECT_EQ(*parseWholeNumber(u"-2.5"), -2);
    EXPECT_EQ(*parseWholeNumber(u"2147483647"), 2147483647);
    EXPECT_FALSE(parseWholeNumber(u"2147483648").has_value());
    EXPECT_FALSE(parseWholeNumber(u"-2147483649").has_value());
}

TEST(RoundUp, IsTheSmallestWholeNumberNotBelow) {
    EXPECT_EQ(roundUp(1.5), 2);
    EXPECT_EQ(roundUp(2.5), 3);  // half to even gives 2, which lies below 2.5
    EXPECT_EQ(roundUp(3.0), 3);
    EXPECT_EQ(roundUp(3.0000001), 4);
    EXPECT_EQ(roundUp(-1.5), -1);
}

TEST(FormatGeneral, UsesTheDecimalCommaWithoutTrailingZeros) {
    EXPECT_EQ(formatGeneral(-0.005), "-0,005");
    EXPECT_EQ(formatGeneral(200), "200");
    EXPECT_EQ(formatGeneral(0.1 + 0.2), "0,3");
}
