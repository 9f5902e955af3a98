// Numbers read from XML text: a stream-like prefix, never garbage as 0.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "LocaleScope.h"
#include "TextNumber.h"

namespace {

struct DoubleCase {
    const wchar_t* text;
    bool parsed;
    double value;
};

void PrintTo(const DoubleCase& c, std::ostream* out)
{
    *out << testing::PrintToString(std::wstring(c.text));
}

class ParseDoubleTest : public testing::TestWithParam<DoubleCase> {};

TEST_P(ParseDoubleTest, ReadsTheLongestNumericPrefix)
{
    double value = -7;
    EXPECT_EQ(GetParam().parsed, ParseLeadingDouble(GetParam().text, value)) << GetParam().text;
    EXPECT_DOUBLE_EQ(GetParam().parsed ? GetParam().value : -7, value) << GetParam().text;
}

// The reader hands out UTF-8; reading it directly must give what reading
// its wide form gives.
std::string Utf8Of(const std::wstring& text)
{
    std::string out;
    for (wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

TEST_P(ParseDoubleTest, ReadsUtf8AsItsWideForm)
{
    double value = -7;
    EXPECT_EQ(GetParam().parsed, ParseLeadingDouble(std::string_view(Utf8Of(GetParam().text)), value))
        << GetParam().text;
    EXPECT_DOUBLE_EQ(GetParam().parsed ? GetParam().value : -7, value) << GetParam().text;
}

TEST(ParseDouble, Utf8WithTextBeyondAsciiAgreesWithTheWideReading)
{
    for (const std::wstring text : {L"\u00A05", L"\u30005", L" \u00E97", L"5\u00E9", L"\u20002.5"}) {
        double wide = -1, narrow = -1;
        EXPECT_EQ(ParseLeadingDouble(text, wide), ParseLeadingDouble(std::string_view(Utf8Of(text)), narrow));
        EXPECT_EQ(wide, narrow);
    }
}

TEST(ParseInteger, Utf8AgreesWithTheWideReading)
{
    for (const std::wstring text : {L"7", L" +12 ", L"-3", L"\u00A042", L"\u300042x", L"\u00E97", L"4294967295",
                                    L"4294967296", L"-2147483648", L"2147483648", L"", L" ", L"+", L"12\u00BD"}) {
        std::int32_t wide = -1, narrow = -1;
        EXPECT_EQ(ParseLeadingInt32(text, wide), ParseLeadingInt32(std::string_view(Utf8Of(text)), narrow));
        EXPECT_EQ(wide, narrow);
        std::uint32_t wideCount = 9, narrowCount = 9;
        EXPECT_EQ(ParseLeadingUInt32(text, wideCount), ParseLeadingUInt32(std::string_view(Utf8Of(text)), narrowCount));
        EXPECT_EQ(wideCount, narrowCount);
    }
}

// Short plain decimals take a quicker way than the general reading; both
// must give the same double to the last bit, for every digit count and
// position of the point, and keep the sign of a negative zero.
TEST(ParseDouble, PlainDecimalsReadToTheSameBitsAsTheGeneralReading)
{
    std::mt19937_64 random(20261207);
    for (int round = 0; round < 20000; ++round) {
        const int digits = 1 + static_cast<int>(random() % 17);
        std::string text = random() % 4 == 0 ? "-" : "";
        const int point = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point && d > 0)
                text += '.';
            text += static_cast<char>('0' + random() % 10);
        }
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        double read = -7;
        ASSERT_TRUE(ParseLeadingDouble(std::string_view(text), read)) << text;
        EXPECT_EQ(std::signbit(expected), std::signbit(read)) << text;
        EXPECT_EQ(expected, read) << text;
    }
    for (const char* text : {"-0", "-0.000", "0.1", "9007199254740993", "123456789012345.6", "0.30000000000000004"}) {
        double expected = 0, read = -7;
        std::from_chars(text, text + std::strlen(text), expected);
        ASSERT_TRUE(ParseLeadingDouble(std::string_view(text), read)) << text;
        EXPECT_EQ(std::signbit(expected), std::signbit(read)) << text;
        EXPECT_EQ(expected, read) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, ParseDoubleTest,
                         testing::Values(DoubleCase{L"48.858844", true, 48.858844}, DoubleCase{L"  -0.5m", true, -0.5},
                                         DoubleCase{L"+12", true, 12}, DoubleCase{L".25", true, 0.25},
                                         DoubleCase{L"1e3", true, 1000}, DoubleCase{L"2E-2x", true, 0.02},
                                         DoubleCase{L"7e", true, 7}, DoubleCase{L"1,5", true, 1},
                                         DoubleCase{L"abc", false, 0}, DoubleCase{L"", false, 0},
                                         DoubleCase{L"-", false, 0}, DoubleCase{L"nan", false, 0},
                                         DoubleCase{L"inf", false, 0}, DoubleCase{L"1e999", false, 0}));

TEST(ParseInteger, SignedAndUnsignedRanges)
{
    std::int32_t i = 5;
    EXPECT_TRUE(ParseLeadingInt32(L" -42abc", i));
    EXPECT_EQ(-42, i);
    EXPECT_FALSE(ParseLeadingInt32(L"2147483648", i));
    EXPECT_FALSE(ParseLeadingInt32(L"x1", i));
    EXPECT_EQ(-42, i);
    EXPECT_TRUE(ParseLeadingInt32(L"12.9", i));
    EXPECT_EQ(12, i);
    std::uint32_t u = 9;
    EXPECT_TRUE(ParseLeadingUInt32(L"4294967295", u));
    EXPECT_EQ(4294967295u, u);
    EXPECT_FALSE(ParseLeadingUInt32(L"-1", u)) << "no wrap-around";
    EXPECT_EQ(4294967295u, u);
}

TEST(WholeDouble, TheWholeTextOrNothing)
{
    const std::pair<const char*, bool> cases[] = {
        {"28.0469", true}, {"-12.5", true}, {"+3", true}, {"3e2", true},  {"1,5", false},  {"", false},
        {" 5", false},     {"5 ", false},   {"+-5", false}, {"nan", false}, {"inf", false}, {"1e999", false},
    };
    for (const auto& c : cases) {
        double value = -7;
        EXPECT_EQ(ParseWholeDouble(c.first, value), c.second) << c.first;
        if (!c.second) {
            EXPECT_EQ(value, -7) << c.first;
        }
    }
    double value = 0;
    ASSERT_TRUE(ParseWholeDouble("28.0469", value));
    EXPECT_EQ(value, 28.0469);
}

TEST(FormatFixed, FullStopAndExactDecimalsUnderEveryLocale)
{
    for (const char* name : testsupport::kTestLocales) {
        testsupport::LocaleScope locale(name);
        ASSERT_TRUE(locale.Active()) << name << " is not generated (scripts/setup)";
        EXPECT_EQ(FormatFixed(28.0469, 8), "28.04690000") << name;
        EXPECT_EQ(FormatFixed(-1234567.5, 1), "-1234567.5") << name;  // no thousands grouping either
        EXPECT_EQ(FormatFixed(639.611111, 2), "639.61") << name;
        EXPECT_EQ(FormatFixed(1e300, 2).size(), 304u) << name;
        double value = 0;
        EXPECT_TRUE(ParseWholeDouble("28.0469", value)) << name;
        EXPECT_EQ(value, 28.0469) << name;
    }
}

}  // namespace
