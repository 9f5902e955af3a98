#include "StringUtil.h"

#include <cwctype>

namespace {

// Decodes one UTF-8 sequence at s[i]; returns false for an invalid one.
bool DecodeOne(const std::string& s, size_t& i, char32_t& cp)
{
    const auto b0 = static_cast<unsigned char>(s[i]);
    int len;
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        return false;
    }
    if (i + len > s.size()) return false;
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
    return true;
}

void AppendCodePoint(std::wstring& out, char32_t cp)
{
    out += static_cast<wchar_t>(cp);  // wchar_t is 32 bits here
}

}  // namespace

bool IsValidUtf8(const std::string& bytes)
{
    size_t i = 0;
    char32_t cp;
    while (i < bytes.size())
        if (!DecodeOne(bytes, i, cp)) return false;
    return true;
}

std::wstring Utf8ToWide(const std::string& utf8)
{
    std::wstring out;
    out.reserve(utf8.size());
    size_t i = 0;
    char32_t cp;
    while (i < utf8.size()) {
        if (DecodeOne(utf8, i, cp)) {
            AppendCodePoint(out, cp);
        } else {
            out += L'\uFFFD';
            ++i;
        }
    }
    return out;
}

std::wstring Latin1ToWide(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) out += static_cast<wchar_t>(c);
    return out;
}

std::wstring Utf8OrLatin1ToWide(const std::string& bytes)
{
    return IsValidUtf8(bytes) ? Utf8ToWide(bytes) : Latin1ToWide(bytes);
}

std::string WideToUtf8(const std::wstring& wide)
{
    std::string out;
    out.reserve(wide.size());
    for (wchar_t wc : wide) {
        auto cp = static_cast<char32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

std::wstring CutToUtf8Bytes(const std::wstring& text, size_t maxBytes)
{
    size_t bytes = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bytes += WideToUtf8(text.substr(i, 1)).size();
        if (bytes > maxBytes) return text.substr(0, i);
    }
    return text;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}
