#include <gtest/gtest.h>

#include "AutomationDate.h"

TEST(AutomationDate, DayCountMatchesTheBaseDate)
{
    EXPECT_EQ(AutomationDate::FromParts(1899, 12, 30, 0, 0, 0).Value, 0.0);
    EXPECT_EQ(AutomationDate::FromParts(1900, 1, 1, 0, 0, 0).Value, 2.0);
    EXPECT_DOUBLE_EQ(AutomationDate::FromParts(2000, 1, 1, 12, 0, 0).Value, 36526.5);
    // Before the base date the time of day counts away from zero.
    EXPECT_DOUBLE_EQ(AutomationDate::FromParts(1899, 12, 29, 6, 0, 0).Value, -1.25);
    DateTimeParts p;
    ASSERT_TRUE(AutomationDate::FromDays(-1.25).ToParts(p));
    EXPECT_EQ(p.Day, 29);
    EXPECT_EQ(p.Hour, 6);
}

TEST(AutomationDate, InvalidPartsGiveInvalidDate)
{
    for (auto d : {AutomationDate::FromParts(2013, 2, 30, 10, 0, 0), AutomationDate::FromParts(2013, 13, 1, 0, 0, 0),
                   AutomationDate::FromParts(2013, 1, 1, 24, 0, 0), AutomationDate::FromParts(0, 0, 0, 0, 0, 0)}) {
        EXPECT_FALSE(d.IsValid());
        EXPECT_EQ(d.Format("%Y:%m:%d"), "Invalid DateTime");
    }
    EXPECT_TRUE(AutomationDate::FromParts(2012, 2, 29, 23, 59, 59).IsValid());
}

TEST(AutomationDate, Formats)
{
    const auto d = AutomationDate::FromParts(2013, 5, 7, 14, 3, 9);
    EXPECT_EQ(d.Format("%Y:%m:%d %H:%M:%S"), "2013:05:07 14:03:09");
    EXPECT_EQ(d.Format("%#d-%B-%Y %#I:%M:%S %p"), "7-May-2013 2:03:09 PM");
    const auto midnight = AutomationDate::FromParts(2000, 1, 1, 0, 0, 0);
    EXPECT_EQ(midnight.Format("%#I:%M %p"), "12:00 AM");
    EXPECT_EQ(midnight.Format("%A %a %b"), "Saturday Sat Jan");
}

TEST(AutomationDate, PartsRoundTripToTheSecond)
{
    for (int s = 0; s < 60; s += 7) {
        DateTimeParts p;
        ASSERT_TRUE(AutomationDate::FromParts(2021, 12, 31, 23, 59, s).ToParts(p));
        EXPECT_EQ(p.Year, 2021);
        EXPECT_EQ(p.Second, s);
        EXPECT_EQ(p.Minute, 59);
    }
}
