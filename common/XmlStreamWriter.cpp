#include "XmlStreamWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "XmlPullReader.h"

namespace {

constexpr std::size_t kDrainSize = 1 << 16;

// Characters allowed in an XML 1.0 document.
bool IsXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

// Writes one character as UTF-8 at `p`; returns the position after it.
inline char* PutUtf8(char* p, char32_t c)
{
    if (c < 0x80) {
        *p++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return p;
}

// Characters that cannot be part of a name we write.
bool BreaksMarkup(char32_t c)
{
    return !IsXmlChar(c) || c <= 0x20 || c == '<' || c == '>' || c == '&' || c == '"' || c == '\'' || c == '=' ||
           c == '/';
}

// The escaped form of a character, or null when it is written as is.
const char* EscapeOf(char32_t c, bool attribute)
{
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '\r': return "&#13;";
    case '"': return attribute ? "&quot;" : nullptr;
    case '\t': return attribute ? "&#9;" : nullptr;
    case '\n': return attribute ? "&#10;" : nullptr;
    default: return nullptr;
    }
}

}  // namespace

CXmlStreamWriter::CXmlStreamWriter() = default;

CXmlStreamWriter::~CXmlStreamWriter()
{
    if (file) {
        Drain(true);
        std::fclose(file);
    }
}

HRESULT CXmlStreamWriter::OpenFile(const std::string& path, bool indent_)
{
    if (file)
        return E_FAIL;
    file = std::fopen(path.c_str(), "wbe");
    if (!file)
        return HResultFromErrno(errno);
    indent = indent_;
    failure = S_OK;
    out.resize(kDrainSize * 2);
    used = 0;
    return S_OK;
}

HRESULT CXmlStreamWriter::Fail(HRESULT code)
{
    if (failure == S_OK)
        failure = code;
    return failure;
}

HRESULT CXmlStreamWriter::Drain(bool always)
{
    if (!file)
        return Fail(E_FAIL);
    if (used == 0 || (!always && used < kDrainSize))
        return failure;
    if (failure == S_OK && std::fwrite(out.data(), 1, used, file) != used)
        Fail(HResultFromErrno(errno ? errno : EIO));
    used = 0;
    return failure;
}

void CXmlStreamWriter::NewLine(std::size_t depth)
{
    if (!indent)
        return;
    if (!atLineStart)
        Put("\n", 1);
    std::fill_n(Reserve(depth), depth, ' ');
    used += depth;
    atLineStart = false;
}

HRESULT CXmlStreamWriter::CloseStartTag()
{
    if (startTagOpen) {
        Put(">", 1);
        startTagOpen = false;
    }
    return S_OK;
}

bool CXmlStreamWriter::IsBound(const std::wstring& prefix, const std::wstring& uri) const
{
    for (auto it = bindings.rbegin(); it != bindings.rend(); ++it)
        if (it->first == prefix)
            return it->second == uri;
    return false;
}

// Room for `count` more bytes at the end of the buffer, without filling it.
char* CXmlStreamWriter::Reserve(std::size_t count)
{
    if (used + count > out.size())
        out.resize(std::max(out.size() * 2, used + count));
    return out.data() + used;
}

void CXmlStreamWriter::Put(const char* text, std::size_t length)
{
    std::copy_n(text, length, Reserve(length));
    used += length;
}

HRESULT CXmlStreamWriter::AppendName(const std::wstring& prefix, const std::wstring& localName)
{
    if (localName.empty())
        return E_INVALIDARG;
    // Names are ours (tables of element names); refuse anything that would
    // break the markup rather than escape it.
    char* const start = Reserve(4 * (prefix.size() + localName.size()) + 1);
    char* p = start;
    for (const std::wstring* part : {&prefix, &localName}) {
        for (wchar_t w : *part) {
            const auto c = static_cast<char32_t>(w);
            if (BreaksMarkup(c))
                return E_INVALIDARG;
            p = PutUtf8(p, c);
        }
        if (part == &prefix && !prefix.empty())
            *p++ = ':';
    }
    used += static_cast<std::size_t>(p - start);
    return S_OK;
}

HRESULT CXmlStreamWriter::AppendEscaped(const std::wstring& text, bool attribute)
{
    // At most 6 bytes per character ("&quot;").
    char* const start = Reserve(6 * text.size());
    char* p = start;
    for (wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != '>' && c != '"') {
            *p++ = static_cast<char>(c);
        } else if (const char* escaped = EscapeOf(c, attribute)) {
            while (*escaped)
                *p++ = *escaped++;
        } else if (IsXmlChar(c)) {
            p = PutUtf8(p, c);
        } else {
            return E_INVALIDARG;
        }
    }
    used += static_cast<std::size_t>(p - start);
    return S_OK;
}

HRESULT CXmlStreamWriter::WriteStartDocument(const char* standalone)
{
    if (failure != S_OK || !file)
        return Fail(E_FAIL);
    std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"";
    if (standalone && *standalone)
        declaration += std::string(" standalone=\"") + standalone + '"';
    declaration += "?>";
    Put(declaration.data(), declaration.size());
    atLineStart = false;
    if (!indent)
        Put("\n", 1);
    return S_OK;
}

HRESULT CXmlStreamWriter::WriteStartElement(const std::wstring& prefix, const std::wstring& localName,
                                            const std::wstring& namespaceUri)
{
    if (failure != S_OK || !file)
        return Fail(E_FAIL);
    CloseStartTag();
    if (!open.empty())
        open.back().hasChildElements = true;
    NewLine(open.size());
    Put("<", 1);
    const std::size_t nameStart = used;
    if (FAILED(AppendName(prefix, localName)))
        return Fail(E_INVALIDARG);
    open.push_back({openNames.size(), bindings.size(), false});
    openNames.append(out.data() + nameStart, used - nameStart);
    startTagOpen = true;
    if (!namespaceUri.empty() && !IsBound(prefix, namespaceUri))
        return WriteAttributeString(prefix.empty() ? L"" : L"xmlns", prefix.empty() ? L"xmlns" : prefix, L"",
                                    namespaceUri);
    return Drain(false);
}

HRESULT CXmlStreamWriter::WriteAttributeString(const std::wstring& prefix, const std::wstring& localName,
                                               const std::wstring& namespaceUri, const std::wstring& value)
{
    if (failure != S_OK || !file)
        return Fail(E_FAIL);
    if (!startTagOpen)
        return Fail(E_FAIL);
    const bool declaration = prefix == L"xmlns" || (prefix.empty() && localName == L"xmlns");
    if (declaration) {
        bindings.emplace_back(prefix.empty() ? std::wstring() : localName, value);
    } else if (!prefix.empty() && !namespaceUri.empty() && !IsBound(prefix, namespaceUri)) {
        const HRESULT hr = WriteAttributeString(L"xmlns", prefix, L"", namespaceUri);
        if (FAILED(hr))
            return hr;
    }
    Put(" ", 1);
    if (FAILED(AppendName(prefix, localName)))
        return Fail(E_INVALIDARG);
    Put("=\"", 2);
    if (FAILED(AppendEscaped(value, true)))
        return Fail(E_INVALIDARG);
    Put("\"", 1);
    return S_OK;
}

HRESULT CXmlStreamWriter::WriteString(const std::wstring& text)
{
    if (failure != S_OK || !file)
        return Fail(E_FAIL);
    CloseStartTag();
    if (FAILED(AppendEscaped(text, false)))
        return Fail(E_INVALIDARG);
    return Drain(false);
}

HRESULT CXmlStreamWriter::WriteFullEndElement()
{
    if (failure != S_OK || !file || open.empty())
        return Fail(E_FAIL);
    CloseStartTag();
    Open& element = open.back();
    if (element.hasChildElements)
        NewLine(open.size() - 1);
    Put("</", 2);
    Put(openNames.data() + element.nameStart, openNames.size() - element.nameStart);
    Put(">", 1);
    bindings.resize(element.bindings);
    openNames.resize(element.nameStart);
    open.pop_back();
    return Drain(false);
}

HRESULT CXmlStreamWriter::WriteEndDocument()
{
    while (!open.empty() && failure == S_OK)
        WriteFullEndElement();
    if (failure == S_OK && file)
        Put("\n", 1);
    return failure != S_OK ? failure : Drain(false);
}

HRESULT CXmlStreamWriter::Flush()
{
    return Drain(true);
}

HRESULT CXmlStreamWriter::Close()
{
    if (!file)
        return Fail(E_FAIL);
    HRESULT hr = Drain(true);
    if (SUCCEEDED(hr) && (std::fflush(file) != 0 || ::fsync(fileno(file)) != 0))
        hr = Fail(HResultFromErrno(errno));
    if (std::fclose(file) != 0 && SUCCEEDED(hr))
        hr = Fail(HResultFromErrno(errno));
    file = nullptr;
    return hr;
}
