#include "AutomationDate.h"

#include <cmath>
#include <cstdio>

#include "StringUtil.h"

namespace {

// Dates outside years 100..9999 are outside what the automation date covers.
constexpr double kMinDays = -657434.0;     // 0100-01-01
constexpr double kMaxDays = 2958465.99999; // 9999-12-31 23:59:59

const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};
const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::int64_t CivilToUnixDays(int y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::int64_t kUnixEpochFromBase = 25569;  // 1970-01-01 in days since 1899-12-30

void AppendNumber(std::string& out, int value, int width, bool dropZeros)
{
    char buf[16];
    if (dropZeros)
        std::snprintf(buf, sizeof buf, "%d", value);
    else
        std::snprintf(buf, sizeof buf, "%0*d", width, value);
    out += buf;
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day)
{
    return CivilToUnixDays(year, month, day) + kUnixEpochFromBase;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day)
{
    std::int64_t z = days - kUnixEpochFromBase + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

AutomationDate AutomationDate::FromDays(double days)
{
    AutomationDate d;
    d.Value = days;
    d.DateStatus = (std::isfinite(days) && days >= kMinDays && days <= kMaxDays) ? Valid : Invalid;
    return d;
}

AutomationDate AutomationDate::FromParts(int year, int month, int day, int hour, int minute, int second)
{
    AutomationDate d;
    d.DateStatus = Invalid;
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return d;
    const std::int64_t days = DaysFromCivil(year, month, day);
    int y, m, dd;
    CivilFromDays(days, y, m, dd);
    if (y != year || m != month || dd != day) return d;  // 30 February and the like
    const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before the base date the fraction counts away from zero, as the
    // automation date does (-1.25 is 1899-12-29 06:00).
    d.Value = days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
    d.DateStatus = Valid;
    return d;
}

bool AutomationDate::ToParts(DateTimeParts& parts) const
{
    if (!IsValid() || !std::isfinite(Value) || Value < kMinDays || Value > kMaxDays) return false;
    double whole = std::trunc(Value);
    double frac = std::fabs(Value - whole);
    long long seconds = std::llround(frac * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += Value >= 0 ? 1 : -1;
    }
    const auto days = static_cast<std::int64_t>(whole);
    CivilFromDays(days, parts.Year, parts.Month, parts.Day);
    parts.Hour = static_cast<int>(seconds / 3600);
    parts.Minute = static_cast<int>((seconds / 60) % 60);
    parts.Second = static_cast<int>(seconds % 60);
    // 1899-12-30 was a Saturday.
    parts.DayOfWeek = static_cast<int>(((days % 7) + 7 + 6) % 7);
    return true;
}

std::string AutomationDate::Format(const char* pattern) const
{
    DateTimeParts p;
    if (!ToParts(p)) return "Invalid DateTime";
    std::string out;
    for (const char* c = pattern; *c; ++c) {
        if (*c != '%') {
            out += *c;
            continue;
        }
        ++c;
        bool drop = false;
        if (*c == '#') {
            drop = true;
            ++c;
        }
        const int hour12 = p.Hour % 12 == 0 ? 12 : p.Hour % 12;
        switch (*c) {
        case 'Y': AppendNumber(out, p.Year, 4, drop); break;
        case 'y': AppendNumber(out, p.Year % 100, 2, drop); break;
        case 'm': AppendNumber(out, p.Month, 2, drop); break;
        case 'd': AppendNumber(out, p.Day, 2, drop); break;
        case 'H': AppendNumber(out, p.Hour, 2, drop); break;
        case 'I': AppendNumber(out, hour12, 2, drop); break;
        case 'M': AppendNumber(out, p.Minute, 2, drop); break;
        case 'S': AppendNumber(out, p.Second, 2, drop); break;
        case 'p': out += p.Hour < 12 ? "AM" : "PM"; break;
        case 'B': out += kMonths[p.Month - 1]; break;
        case 'b': out.append(kMonths[p.Month - 1], 3); break;
        case 'A': out += kDays[p.DayOfWeek]; break;
        case 'a': out.append(kDays[p.DayOfWeek], 3); break;
        case '%': out += '%'; break;
        case '\0': return out;
        default: out += '%'; out += *c; break;
        }
    }
    return out;
}

std::wstring AutomationDate::FormatW(const char* pattern) const
{
    return Utf8ToWide(Format(pattern));
}
