#include "GPXConversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <utility>

#include "StatusException.h"

namespace {

const wchar_t* const kFixWords[] = {L"none", L"2d", L"3d", L"dgps", L"pps"};
const wchar_t* const kDisplayModeWords[] = {L"", L"SymbolOnly", L"SymbolAndName", L"SymbolAndDescription"};
const wchar_t* const kDisplayColorWords[] = {
    L"",        L"Black",     L"DarkRed", L"DarkGreen", L"DarkYellow", L"DarkBlue",
    L"DarkMagenta", L"DarkCyan", L"LightGray", L"DarkGray", L"Red", L"Green",
    L"Yellow",  L"Blue",      L"Magenta", L"Cyan",      L"White",      L"Transparent"};

template <std::size_t N>
const wchar_t* WordOf(const wchar_t* const (&words)[N], std::int32_t value)
{
    return value >= 0 && static_cast<std::size_t>(value) < N ? words[value] : L"";
}

// Index of the word in the table; 0 (the "not set" entry) when absent.
template <std::size_t N>
std::int32_t ValueOf(const wchar_t* const (&words)[N], const std::wstring& word)
{
    for (std::size_t i = 1; i < N; ++i)
        if (word == words[i])
            return static_cast<std::int32_t>(i);
    return 0;
}

constexpr int kLastYear = 9999;
constexpr std::int64_t kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr std::int64_t DaysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The first second after the last year a GPX time may have.
constexpr std::int64_t kEndOfTime = DaysFromCivil(kLastYear + 1, 1, 1) * kSecondsPerDay;

void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

int DaysInMonth(std::int64_t year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// A cursor over a time text, taking the pieces of an XML Schema dateTime.
// Wide or UTF-8: every piece is ASCII, which no byte of a longer UTF-8
// sequence can be taken for.
template <typename Char>
class TimeText {
public:
    explicit TimeText(std::basic_string_view<Char> text_) : text(text_) {}
    bool NextIsDigit() const { return i < text.size() && text[i] >= '0' && text[i] <= '9'; }
    bool Take(char c)
    {
        if (i < text.size() && text[i] == static_cast<Char>(c)) {
            ++i;
            return true;
        }
        return false;
    }
    bool TakeOneOf(const char* set, char& taken)
    {
        for (; i < text.size() && *set; ++set)
            if (text[i] == static_cast<Char>(*set)) {
                taken = *set;
                ++i;
                return true;
            }
        return false;
    }
    // Between `least` and `most` decimal digits.
    bool Digits(std::size_t least, std::size_t most, std::int64_t& value)
    {
        std::size_t n = 0;
        value = 0;
        while (i < text.size() && n < most && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i++] - '0');
            ++n;
        }
        return n >= least;
    }
    // The digits of a decimal fraction; those beyond a nanosecond are read past.
    bool Fraction(double& fraction)
    {
        std::int64_t digits = 0, scale = 1;
        std::size_t n = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++n)
            if (n < 9) {
                digits = digits * 10 + (text[i] - '0');
                scale *= 10;
            }
        fraction = static_cast<double>(digits) / static_cast<double>(scale);
        return n > 0;
    }

private:
    std::basic_string_view<Char> text;
    std::size_t i = 0;
};

[[noreturn]] void InvalidTime()
{
    throw CStatusException(E_FAIL, "invalid time");
}

struct TimeFields {
    std::int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    double fraction = 0;
    std::int64_t offsetSeconds = 0;  // east of UTC
};

// "hh:mm[:ss[.f]]" after the date's separator.
template <typename Char>
void ReadClock(TimeText<Char>& t, TimeFields& f)
{
    if (!t.Digits(1, 2, f.hour) || !t.Take(':') || !t.Digits(1, 2, f.minute))
        InvalidTime();
    if (t.Take(':')) {
        if (!t.Digits(1, 2, f.second))
            InvalidTime();
        if ((t.Take('.') || t.Take(',')) && !t.Fraction(f.fraction))
            InvalidTime();
    }
}

// "Z", or "+hh:mm", "-hhmm", "+hh"; nothing means UTC.
template <typename Char>
void ReadZone(TimeText<Char>& t, TimeFields& f)
{
    char sign;
    if (t.Take('Z') || t.Take('z') || !t.TakeOneOf("+-", sign))
        return;
    std::int64_t hours = 0, minutes = 0;
    if (!t.Digits(2, 2, hours))
        InvalidTime();
    if ((t.Take(':') || t.NextIsDigit()) && !t.Digits(2, 2, minutes))
        InvalidTime();
    if (hours > 23 || minutes > 59)
        InvalidTime();
    f.offsetSeconds = (sign == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
}

template <typename Char>
TimeFields ReadTimeFields(std::basic_string_view<Char> text)
{
    TimeText<Char> t(text);
    TimeFields f;
    if (!t.Digits(4, 9, f.year) || !t.Take('-') || !t.Digits(1, 2, f.month) || !t.Take('-') ||
        !t.Digits(1, 2, f.day))
        InvalidTime();
    char separator;
    if (t.TakeOneOf("Tt ", separator)) {
        ReadClock(t, f);
        ReadZone(t, f);
    }
    if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > 31 || f.hour > 23 || f.minute > 59 || f.second > 59)
        InvalidTime();
    return f;
}

// Takes `Zeros` trailing zeros off r when k has that many decimals left. The
// divisor is a constant, which the compiler turns into a multiplication
// rather than a division instruction.
template <std::uint64_t Factor, int Zeros>
void StripZeros(std::uint64_t& r, int& k)
{
    if (k >= Zeros && r % Factor == 0) {
        r /= Factor;
        k -= Zeros;
    }
}

// Most numbers of a track have a few decimals (46.1234567, 372.5). Scaled
// by the largest power of ten 10^K that keeps it below 2^50, such a value
// rounds to a whole number r that reads back as the value, which r / 10^K
// tells exactly (both are exact doubles, and the division rounds correctly
// as reading the text does). Below 2^50 the whole numbers lie further apart
// than the values that read back as one value, so r is the only one that
// does; the shortest text with k decimals, scaled to K, is then r itself, and
// r's trailing zeros give k: the text the general conversion writes.
// 0 when the value is not such a number (zero's sign included).
std::size_t FormatFewDecimals(double value, int decimals, char (&text)[kDecimalsBufferSize])
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    constexpr double kLimit = 1125899906842624.0;  // 2^50
    // Adding and taking away 1.5 * 2^52 rounds a number below 2^51 to the
    // nearest whole number.
    constexpr double kRounder = 6755399441055744.0;
    const double magnitude = std::fabs(value);
    if (value == 0 || !(magnitude < kLimit))
        return 0;
    int k = std::min(decimals, static_cast<int>(std::size(kPowers)) - 1);
    while (k > 0 && !(magnitude * kPowers[k] < kLimit))
        --k;
    const double whole = (magnitude * kPowers[k] + kRounder) - kRounder;
    if (whole / kPowers[k] != magnitude)
        return 0;
    // r with k decimals, less its trailing zeros (at most 15: eight, four,
    // two and one at a time), then its digits with the point k from the right.
    auto r = static_cast<std::uint64_t>(whole);
    StripZeros<100000000, 8>(r, k);
    StripZeros<10000, 4>(r, k);
    StripZeros<100, 2>(r, k);
    StripZeros<10, 1>(r, k);
    char digits[24];
    const int count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, r).ptr - digits);
    char* out = text;
    if (value < 0)
        *out++ = '-';
    if (count <= k) {
        *out++ = '0';
        *out++ = '.';
        for (int i = count; i < k; ++i)
            *out++ = '0';
        out = std::copy(digits, digits + count, out);
    } else {
        out = std::copy(digits, digits + count - k, out);
        if (k > 0) {
            *out++ = '.';
            out = std::copy(digits + count - k, digits + count, out);
        }
    }
    return static_cast<std::size_t>(out - text);
}

}  // namespace

CStatusException::CStatusException(HRESULT status_, const std::string& why) : status(status_), text(why) {}
CStatusException::~CStatusException() = default;
HRESULT CStatusException::Error() const
{
    return status;
}
const char* CStatusException::what() const noexcept
{
    return text.c_str();
}

const wchar_t* FixWord(GPXFixType fix)
{
    return WordOf(kFixWords, fix);
}
const wchar_t* DisplayModeWord(GPXGARDisplayMode mode)
{
    return WordOf(kDisplayModeWords, mode);
}
const wchar_t* DisplayColorWord(GPXGARDisplayColor color)
{
    return WordOf(kDisplayColorWords, color);
}
GPXFixType FixFromWord(const std::wstring& word)
{
    return word == kFixWords[0] ? GPXFixNone : static_cast<GPXFixType>(ValueOf(kFixWords, word));
}
GPXGARDisplayMode DisplayModeFromWord(const std::wstring& word)
{
    return static_cast<GPXGARDisplayMode>(ValueOf(kDisplayModeWords, word));
}
GPXGARDisplayColor DisplayColorFromWord(const std::wstring& word)
{
    return static_cast<GPXGARDisplayColor>(ValueOf(kDisplayColorWords, word));
}

namespace {

template <typename Char>
bool ParseTime(std::basic_string_view<Char> text, GPXTime& seconds, double& fraction)
{
    const TimeFields f = ReadTimeFields(text);
    if (f.day > DaysInMonth(f.year, static_cast<int>(f.month)))
        throw CStatusException(E_INVALIDARG, "time out of range");
    const std::int64_t utc = DaysFromCivil(f.year, static_cast<int>(f.month), static_cast<int>(f.day)) * kSecondsPerDay +
                             f.hour * 3600 + f.minute * 60 + f.second - f.offsetSeconds;
    if (utc < 0 || utc >= kEndOfTime)
        return false;
    seconds = utc;
    fraction = f.fraction;
    return true;
}

}  // namespace

bool ParseGPXTime(const std::wstring& text, GPXTime& seconds, double& fraction)
{
    return ParseTime(std::wstring_view(text), seconds, fraction);
}

bool ParseGPXTime(std::string_view utf8, GPXTime& seconds, double& fraction)
{
    return ParseTime(utf8, seconds, fraction);
}

std::wstring FormatGPXTime(GPXTime time)
{
    std::wstring text;
    FormatGPXTime(time, text);
    return text;
}

void FormatGPXTime(GPXTime time, std::wstring& text)
{
    char narrow[kGPXTimeLength + 1];
    const std::size_t length = FormatGPXTime(time, narrow);
    text.assign(narrow, narrow + length);
}

std::size_t FormatGPXTime(GPXTime time, char (&text)[kGPXTimeLength + 1])
{
    if (time < 0 || time >= kEndOfTime)
        throw CStatusException(E_INVALIDARG, "time out of range");
    std::int64_t year;
    int month, day;
    CivilFromDays(time / kSecondsPerDay, year, month, day);
    const std::int64_t seconds = time % kSecondsPerDay;
    const int fields[] = {static_cast<int>(year / 100), static_cast<int>(year % 100), month, day,
                          static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                          static_cast<int>(seconds % 60)};
    // "YYYY-MM-DDTHH:MM:SSZ": two digits per field, the separator after each.
    static const char kAfter[] = {'\0', '-', '-', 'T', ':', ':', 'Z'};
    char* p = text;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        *p++ = static_cast<char>('0' + fields[i] / 10);
        *p++ = static_cast<char>('0' + fields[i] % 10);
        if (kAfter[i])
            *p++ = kAfter[i];
    }
    *p = '\0';
    return static_cast<std::size_t>(p - text);
}

std::size_t FormatGPXTime(GPXTime time, double fraction, char (&text)[kGPXFractionalTimeLength + 1])
{
    char whole[kGPXTimeLength + 1];
    std::size_t length = FormatGPXTime(time, whole);
    std::memcpy(text, whole, length + 1);
    // Microseconds, truncated so that a fraction just below 1 stays in its second.
    const auto micro = std::isfinite(fraction) && fraction > 0 && fraction < 1
                           ? static_cast<std::int64_t>(fraction * 1e6 + 1e-6)
                           : 0;
    if (micro <= 0)
        return length;
    char digits[7];
    std::snprintf(digits, sizeof digits, "%06lld", static_cast<long long>(std::min<std::int64_t>(micro, 999999)));
    std::size_t count = 6;
    while (digits[count - 1] == '0')
        --count;
    char* p = text + length - 1;  // over the "Z"
    *p++ = '.';
    std::memcpy(p, digits, count);
    p += count;
    *p++ = 'Z';
    *p = '\0';
    return static_cast<std::size_t>(p - text);
}

std::wstring FormatDecimals(double value, int decimals)
{
    std::wstring text;
    FormatDecimals(value, decimals, text);
    return text;
}

void FormatDecimals(double value, int decimals, std::wstring& out)
{
    char text[kDecimalsBufferSize];
    const std::size_t length = FormatDecimals(value, decimals, text);
    out.assign(text, text + length);
}

std::size_t FormatDecimals(double value, int decimals, char (&text)[kDecimalsBufferSize])
{
    if (!std::isfinite(value))
        throw std::invalid_argument("GPX numbers must be finite");
    if (const std::size_t length = FormatFewDecimals(value, decimals, text))
        return length;
    // The shortest text that reads back as the same value, when it needs no
    // more decimals than allowed: fixed notation of the exact binary value
    // would show its noise instead (48.858844 as 48.858843999999998).
    auto [end, ec] = std::to_chars(text, text + kDecimalsBufferSize, value, std::chars_format::fixed);
    std::string_view digits(text, ec == std::errc() ? static_cast<std::size_t>(end - text) : 0);
    const std::size_t point = digits.find('.');
    if (digits.empty() || (point != std::string_view::npos && digits.size() - point - 1 > static_cast<std::size_t>(decimals))) {
        const auto rounded = std::to_chars(text, text + kDecimalsBufferSize, value, std::chars_format::fixed, decimals);
        end = rounded.ptr;
        if (rounded.ec != std::errc())
            throw std::invalid_argument("number too long for GPX");
        digits = std::string_view(text, static_cast<std::size_t>(end - text));
    }
    if (digits.find('.') != std::string_view::npos) {
        while (!digits.empty() && digits.back() == '0')
            digits.remove_suffix(1);
        if (!digits.empty() && digits.back() == '.')
            digits.remove_suffix(1);
    }
    if (digits.empty()) {
        text[0] = '0';
        return 1;
    }
    return digits.size();
}
