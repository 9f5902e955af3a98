// The values of corvane-cli's options, read strictly: the whole text must be
// the value (no leading or trailing blanks, no hexadecimal, no words after a
// date), whatever the user's locale, or it is refused.
#pragma once

#include <string>

#include "AutomationDate.h"

// A finite decimal number with a full stop as decimal point ("-12.5", "+3",
// "1e3"); false for anything else.
bool ParseDecimal(const std::string& text, double& value);
// "YYYY-MM-DD" or "YYYY:MM:DD"; with `withTime`, optionally followed by a
// space or "T" and "HH:MM" or "HH:MM:SS". False for a date that does not exist.
bool ParseCalendarDate(const std::string& text, bool withTime, AutomationDate& date);
// "HH:MM" or "HH:MM:SS" of a 24-hour clock, as a fraction of a day.
bool ParseClockTime(const std::string& text, AutomationDate& time);
