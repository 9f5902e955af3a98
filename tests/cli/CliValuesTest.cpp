// The option values are read whole or not at all, whatever the locale.
#include <gtest/gtest.h>

#include <clocale>

#include "CliValues.h"

namespace {

struct DecimalCase {
    const char* Text;
    bool Taken;
    double Value;
};

// Test names show the text read, not the bytes of the case.
void PrintTo(const DecimalCase& c, std::ostream* os)
{
    *os << '"' << c.Text << '"';
}

class CliDecimal : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(CliDecimal, IsTheWholeText)
{
    double value = -999;
    EXPECT_EQ(ParseDecimal(GetParam().Text, value), GetParam().Taken) << GetParam().Text;
    EXPECT_DOUBLE_EQ(value, GetParam().Taken ? GetParam().Value : -999) << "a refused text leaves the value alone";
}

INSTANTIATE_TEST_SUITE_P(Texts, CliDecimal,
                         ::testing::Values(DecimalCase{"48.858844", true, 48.858844}, DecimalCase{"-0.5", true, -0.5},
                                           DecimalCase{"+12", true, 12}, DecimalCase{".5", true, 0.5},
                                           DecimalCase{"1e3", true, 1000}, DecimalCase{"0x10", false, 0},
                                           DecimalCase{" 12", false, 0}, DecimalCase{"12 ", false, 0},
                                           DecimalCase{"1,5", false, 0}, DecimalCase{"+-1", false, 0},
                                           DecimalCase{"++1", false, 0}, DecimalCase{"+", false, 0},
                                           DecimalCase{"", false, 0}, DecimalCase{"nan", false, 0},
                                           DecimalCase{"inf", false, 0}, DecimalCase{"1e999", false, 0},
                                           DecimalCase{"12N", false, 0}));

TEST(CliDecimal, ACommaLocaleChangesNothing)
{
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_FAIL() << "the de_DE.UTF-8 locale is missing (scripts/setup)";
    double value = 0;
    EXPECT_TRUE(ParseDecimal("2.5", value));
    EXPECT_DOUBLE_EQ(value, 2.5);
    EXPECT_FALSE(ParseDecimal("2,5", value));
    std::setlocale(LC_ALL, "C");
}

struct DateCase {
    const char* Text;
    bool WithTime;
    const char* Expected;  // as "%Y-%m-%d %H:%M:%S", or nullptr when refused
};

void PrintTo(const DateCase& c, std::ostream* os)
{
    *os << '"' << c.Text << '"' << (c.WithTime ? " with time" : "");
}

class CliDate : public ::testing::TestWithParam<DateCase> {};

TEST_P(CliDate, IsADateThatExists)
{
    AutomationDate date;
    const bool taken = ParseCalendarDate(GetParam().Text, GetParam().WithTime, date);
    ASSERT_EQ(taken, GetParam().Expected != nullptr) << GetParam().Text;
    if (taken) {
        EXPECT_EQ(date.Format("%Y-%m-%d %H:%M:%S"), GetParam().Expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CliDate,
    ::testing::Values(DateCase{"2013-05-07 14:03:09", true, "2013-05-07 14:03:09"},
                      DateCase{"2013:05:07T14:03", true, "2013-05-07 14:03:00"},
                      DateCase{"2013-5-7", true, "2013-05-07 00:00:00"},
                      DateCase{"2013-05-07", false, "2013-05-07 00:00:00"},
                      DateCase{"2013-05-07 14:03:09", false, nullptr},
                      DateCase{"2013-05-07 14:03:09 junk", true, nullptr},
                      DateCase{"2013-05-07 14:03:09.5", true, nullptr},
                      DateCase{" 2013-05-07", true, nullptr}, DateCase{"2013-05:07", true, nullptr},
                      DateCase{"2013-02-29", true, nullptr}, DateCase{"2012-02-29", true, "2012-02-29 00:00:00"},
                      DateCase{"2013-05-07 24:00", true, nullptr}, DateCase{"13-05-07", true, nullptr},
                      DateCase{"2013-05-07 14:3:09", true, nullptr}, DateCase{"", true, nullptr}));

TEST(CliClockTime, IsATimeOfDay)
{
    AutomationDate time;
    ASSERT_TRUE(ParseClockTime("9:03", time));
    EXPECT_EQ(time.Format("%H:%M:%S"), "09:03:00");
    ASSERT_TRUE(ParseClockTime("23:59:59", time));
    EXPECT_EQ(time.Format("%H:%M:%S"), "23:59:59");
    for (const char* refused : {"24:00", "12:60", "12", "12:00:00 ", "12:00:00Z", "-1:00", "12:0"})
        EXPECT_FALSE(ParseClockTime(refused, time)) << refused;
}

}  // namespace
