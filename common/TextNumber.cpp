#include "TextNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cwctype>
#include <string_view>
#include <type_traits>

#include "XmlPullReader.h"

namespace {

// Longest numbers worth reading; longer digit runs are cut off (a double has
// no more precision to give, an integer would overflow anyway).
constexpr std::size_t kMaxNumberChars = 400;

template <typename Char>
bool IsDigit(Char c)
{
    return c >= '0' && c <= '9';
}

// White space as iswspace() has it; the ASCII characters without the call.
template <typename Char>
bool IsSpace(Char c)
{
    if (static_cast<std::make_unsigned_t<Char>>(c) < 0x80)
        return c == ' ' || (c >= '\t' && c <= '\r');
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

template <typename Char>
std::size_t SkipSpace(std::basic_string_view<Char> text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return i;
}

// Copies [sign]digits into `out`; returns false when no digit follows.
template <typename Char>
bool TakeInteger(std::basic_string_view<Char> text, std::size_t& i, std::string& out, bool allowMinus)
{
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            if (!allowMinus)
                return false;
            out += '-';
        }
        ++i;
    }
    const std::size_t start = out.size();
    while (i < text.size() && IsDigit(text[i]) && out.size() < kMaxNumberChars)
        out += static_cast<char>(text[i++]);
    return out.size() > start;
}

template <typename T, typename Char>
bool ParseInteger(std::basic_string_view<Char> text, T& value, bool allowMinus)
{
    std::size_t i = SkipSpace(text);
    std::string digits;
    if (!TakeInteger(text, i, digits, allowMinus))
        return false;
    T parsed{};
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parsed);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return false;
    value = parsed;
    return true;
}

// UTF-8 text whose leading white space goes beyond ASCII: the wide reading
// judges that space, as for text that came wide.
bool LeadsWithWideSpace(std::string_view utf8, std::size_t& start)
{
    start = 0;
    while (start < utf8.size() && static_cast<unsigned char>(utf8[start]) < 0x80 && IsSpace(utf8[start]))
        ++start;
    return start < utf8.size() && static_cast<unsigned char>(utf8[start]) >= 0x80;
}

std::wstring Wide(std::string_view utf8)
{
    std::wstring wide;
    AppendUtf8AsWide(wide, utf8.data(), utf8.size());
    return wide;
}

template <typename T>
bool ParseLeadingInteger(std::string_view utf8, T& value, bool allowMinus)
{
    std::size_t start;
    if (LeadsWithWideSpace(utf8, start))
        return ParseInteger(std::wstring_view(Wide(utf8)), value, allowMinus);
    return ParseInteger(utf8, value, allowMinus);
}

}  // namespace

namespace {

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
// Digits that a whole number below 2^53 always holds.
constexpr std::size_t kExactDigits = 15;

// A plain decimal, [sign] digits [. digits] of at most 15 digits in all and
// no exponent, is its digits as a whole number divided by its power of ten:
// both are exact as doubles, so the one division gives the correctly rounded
// value that the general reading would. Most numbers of a track are such.
template <typename Char>
bool ParsePlainDecimal(std::basic_string_view<Char> text, double& value)
{
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::uint64_t whole = 0;
    const std::size_t integerStart = i;
    while (i < text.size() && IsDigit(text[i]) && i - integerStart <= kExactDigits)
        whole = whole * 10 + static_cast<std::uint64_t>(text[i++] - '0');
    const std::size_t integerDigits = i - integerStart;
    std::size_t decimals = 0;
    if (i < text.size() && text[i] == '.') {
        const std::size_t decimalStart = ++i;
        while (i < text.size() && IsDigit(text[i]) && integerDigits + (i - decimalStart) <= kExactDigits)
            whole = whole * 10 + static_cast<std::uint64_t>(text[i++] - '0');
        decimals = i - decimalStart;
        if (decimals == 0)
            return false;
    }
    if (integerDigits == 0 || integerDigits + decimals > kExactDigits)
        return false;
    if (i < text.size() && (IsDigit(text[i]) || text[i] == 'e' || text[i] == 'E'))
        return false;
    const double magnitude = static_cast<double>(whole) / kPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return true;
}

// [sign] digits [. digits] [e [sign] digits], copied as narrow characters;
// `text` starts after the leading white space.
template <typename Char>
bool ParseDouble(std::basic_string_view<Char> text, double& value)
{
    if (ParsePlainDecimal(text, value))
        return true;
    char number[kMaxNumberChars + 16];
    std::size_t n = 0;
    std::size_t i = 0;
    const auto copyDigits = [&](std::size_t limit) {
        std::size_t count = 0;
        while (i < text.size() && IsDigit(text[i]) && n < limit) {
            number[n++] = static_cast<char>(text[i++]);
            ++count;
        }
        return count;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            number[n++] = '-';
        ++i;
    }
    const std::size_t integerDigits = copyDigits(kMaxNumberChars);
    std::size_t decimals = 0;
    if (i < text.size() && text[i] == '.') {
        number[n++] = '.';
        ++i;
        decimals = copyDigits(kMaxNumberChars);
    }
    const std::size_t digits = integerDigits + decimals;
    if (digits == 0)
        return false;
    bool exponent = false;
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const std::size_t mark = n, resume = i;
        number[n++] = 'e';
        ++i;
        if (text[i] == '+' || text[i] == '-')
            number[n++] = static_cast<char>(text[i++]);
        exponent = copyDigits(n + 8) > 0;
        if (!exponent) {
            n = mark;  // "7e" or "7e+": the exponent is not part of the number
            i = resume;
        }
    }
    double parsed = 0;
    const auto [end, ec] = std::from_chars(number, number + n, parsed);
    if (ec != std::errc() || end != number + n)
        return false;
    value = parsed;
    return true;
}

}  // namespace

bool ParseLeadingDouble(const std::wstring& text, double& value)
{
    const std::wstring_view view(text);
    return ParseDouble(view.substr(SkipSpace(view)), value);
}

bool ParseLeadingDouble(std::string_view utf8, double& value)
{
    std::size_t start;
    if (LeadsWithWideSpace(utf8, start))
        return ParseLeadingDouble(Wide(utf8), value);
    return ParseDouble(utf8.substr(start), value);
}

bool ParseLeadingInt32(const std::wstring& text, std::int32_t& value)
{
    return ParseInteger(std::wstring_view(text), value, true);
}

bool ParseLeadingInt32(std::string_view utf8, std::int32_t& value)
{
    return ParseLeadingInteger(utf8, value, true);
}

bool ParseLeadingUInt32(const std::wstring& text, std::uint32_t& value)
{
    return ParseInteger(std::wstring_view(text), value, false);
}

bool ParseLeadingUInt32(std::string_view utf8, std::uint32_t& value)
{
    return ParseLeadingInteger(utf8, value, false);
}

bool ParseWholeDouble(std::string_view text, double& value)
{
    // from_chars takes no '+', but numbers written by others may carry one.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') return false;
    }
    double parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

std::string FormatFixed(double value, int decimals)
{
    // 309 digits before the point at most, and the decimals asked for.
    char buf[400];
    const int precision = std::clamp(decimals, 0, 60);
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    if (ec != std::errc()) return std::string();
    return std::string(buf, end);
}
