#include "CliValues.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

// Reads `minDigits` to `maxDigits` ASCII digits at `pos`.
bool ReadDigits(std::string_view text, size_t& pos, size_t minDigits, size_t maxDigits, int& value)
{
    size_t n = 0;
    value = 0;
    while (pos + n < text.size() && n < maxDigits && text[pos + n] >= '0' && text[pos + n] <= '9') {
        value = value * 10 + (text[pos + n] - '0');
        ++n;
    }
    pos += n;
    return n >= minDigits;
}

bool ReadChar(std::string_view text, size_t& pos, char c)
{
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

// "HH:MM" or "HH:MM:SS" at `pos`, up to the end of the text.
bool ReadTime(std::string_view text, size_t pos, int& hour, int& minute, int& second)
{
    second = 0;
    if (!ReadDigits(text, pos, 1, 2, hour) || !ReadChar(text, pos, ':') || !ReadDigits(text, pos, 2, 2, minute))
        return false;
    if (pos < text.size() && (!ReadChar(text, pos, ':') || !ReadDigits(text, pos, 2, 2, second))) return false;
    return pos == text.size();
}

}  // namespace

bool ParseDecimal(const std::string& text, double& value)
{
    std::string_view t = text;
    // from_chars takes no plus sign; one is allowed before the digits.
    if (t.size() > 1 && t[0] == '+' && t[1] != '-' && t[1] != '+') t.remove_prefix(1);
    if (t.empty()) return false;
    double v = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool ParseCalendarDate(const std::string& text, bool withTime, AutomationDate& date)
{
    std::string_view t = text;
    size_t pos = 0;
    int year, month, day, hour = 0, minute = 0, second = 0;
    if (!ReadDigits(t, pos, 4, 4, year) || pos >= t.size() || (t[pos] != '-' && t[pos] != ':')) return false;
    const char separator = t[pos++];
    if (!ReadDigits(t, pos, 1, 2, month) || !ReadChar(t, pos, separator) || !ReadDigits(t, pos, 1, 2, day))
        return false;
    if (pos < t.size()) {
        if (!withTime || (t[pos] != ' ' && t[pos] != 'T')) return false;
        if (!ReadTime(t, pos + 1, hour, minute, second)) return false;
    }
    const AutomationDate parsed = AutomationDate::FromParts(year, month, day, hour, minute, second);
    if (!parsed.IsValid()) return false;
    date = parsed;
    return true;
}

bool ParseClockTime(const std::string& text, AutomationDate& time)
{
    int hour, minute, second;
    if (!ReadTime(text, 0, hour, minute, second)) return false;
    const AutomationDate parsed = AutomationDate::FromParts(1899, 12, 30, hour, minute, second);
    if (!parsed.IsValid()) return false;
    time = parsed;
    return true;
}
