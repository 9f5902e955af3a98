#include "TextNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <string_view>

#include "XmlPullReader.h"

namespace {

// Longest numbers worth reading; longer digit runs are cut off (a double has
// no more precision to give, an integer would overflow anyway).
constexpr std::size_t kMaxNumberChars = 400;

bool IsDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

std::size_t SkipSpace(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i])))
        ++i;
    return i;
}

// Copies [sign]digits into `out`; returns false when no digit follows.
bool TakeInteger(const std::wstring& text, std::size_t& i, std::string& out, bool allowMinus)
{
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        if (text[i] == L'-') {
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

template <typename T>
bool ParseInteger(const std::wstring& text, T& value, bool allowMinus)
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

}  // namespace

namespace {

// [sign] digits [. digits] [e [sign] digits], copied as narrow characters;
// `text` starts after the leading white space.
template <typename Char>
bool ParseDouble(std::basic_string_view<Char> text, double& value)
{
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
    std::size_t digits = copyDigits(kMaxNumberChars);
    if (i < text.size() && text[i] == '.') {
        number[n++] = '.';
        ++i;
        digits += copyDigits(kMaxNumberChars);
    }
    if (digits == 0)
        return false;
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        const std::size_t mark = n, resume = i;
        number[n++] = 'e';
        ++i;
        if (text[i] == '+' || text[i] == '-')
            number[n++] = static_cast<char>(text[i++]);
        if (copyDigits(n + 8) == 0) {
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
    const std::size_t start = SkipSpace(text);
    return ParseDouble(std::wstring_view(text).substr(start), value);
}

bool ParseLeadingDouble(std::string_view utf8, double& value)
{
    std::size_t start = 0;
    while (start < utf8.size() && static_cast<unsigned char>(utf8[start]) < 0x80 &&
           std::iswspace(static_cast<wint_t>(utf8[start])))
        ++start;
    // White space beyond ASCII is the wide reading's to judge.
    if (start < utf8.size() && static_cast<unsigned char>(utf8[start]) >= 0x80) {
        std::wstring wide;
        AppendUtf8AsWide(wide, utf8.data(), utf8.size());
        return ParseLeadingDouble(wide, value);
    }
    return ParseDouble(utf8.substr(start), value);
}

bool ParseLeadingInt32(const std::wstring& text, std::int32_t& value)
{
    return ParseInteger(text, value, true);
}

bool ParseLeadingUInt32(const std::wstring& text, std::uint32_t& value)
{
    return ParseInteger(text, value, false);
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
