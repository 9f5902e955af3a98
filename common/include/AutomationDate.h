// A date-time as a count of days since 30 December 1899 00:00 (the fraction
// is the time of day) with a valid/invalid status. Values made from calendar
// parts that do not survive a round trip (30 February, month 13, hour 24) are
// invalid and print as "Invalid DateTime".
#pragma once

#include <cstdint>
#include <string>

#include "SharedExport.h"

struct DateTimeParts {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int DayOfWeek = 0;  // 0 = Sunday, filled by ToParts
};

struct CORVANE_SHARED_API AutomationDate {
    enum Status : std::int32_t { Valid = 0, Invalid = 1 };

    double Value = 0.0;
    std::int32_t DateStatus = Valid;

    static AutomationDate FromParts(int year, int month, int day, int hour, int minute, int second);
    static AutomationDate FromDays(double days);

    bool IsValid() const { return DateStatus == Valid; }
    // Calendar parts rounded to the nearest second; false when invalid or out of range.
    bool ToParts(DateTimeParts& parts) const;
    // strftime-like formatting: %Y %m %d %H %M %S %I %p %B %b %A %a %y %% and the
    // "%#" flag that drops leading zeros (%#d, %#I). Invalid values give
    // "Invalid DateTime".
    std::string Format(const char* pattern) const;
    std::wstring FormatW(const char* pattern) const;

    bool operator==(const AutomationDate& o) const { return Value == o.Value && DateStatus == o.DateStatus; }
};

// Days since 1899-12-30 of a civil date (proleptic Gregorian), and back.
CORVANE_SHARED_API std::int64_t DaysFromCivil(int year, int month, int day);
CORVANE_SHARED_API void CivilFromDays(std::int64_t days, int& year, int& month, int& day);
