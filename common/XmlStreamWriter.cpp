#include "XmlStreamWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <iterator>
#include <cerrno>

#include "XmlPullReader.h"

namespace {

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
// The bytes written as they are: printable ASCII but the markup characters.
constexpr std::array<bool, 256> PlainAscii()
{
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[c] = c != '&' && c != '<' && c != '>' && c != '"';
    return plain;
}
constexpr std::array<bool, 256> kPlainAscii = PlainAscii();

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

// Appends "prefix:localName" in UTF-8. Names are ours (tables of element
// names); anything that would break the markup is refused rather than escaped.
bool AppendName(std::string& out, const std::wstring& prefix, const std::wstring& localName)
{
    if (localName.empty())
        return false;
    const std::size_t start = out.size();
    out.resize(start + 4 * (prefix.size() + localName.size()) + 1);
    char* p = out.data() + start;
    for (const std::wstring* part : {&prefix, &localName}) {
        for (wchar_t w : *part) {
            const auto c = static_cast<char32_t>(w);
            if (BreaksMarkup(c))
                return false;
            p = PutUtf8(p, c);
        }
        if (part == &prefix && !prefix.empty())
            *p++ = ':';
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
    return true;
}

}  // namespace

CXmlName::CXmlName(const std::wstring& prefix_, const std::wstring& localName_, const std::wstring& namespaceUri_)
    : prefix(prefix_), localName(localName_), namespaceUri(namespaceUri_)
{
    static std::atomic<std::uint64_t> lastId{0};
    valid = AppendName(qualified, prefix, localName);
    declaration = prefix == L"xmlns" || (prefix.empty() && localName == L"xmlns");
    id = ++lastId;
}

CXmlStreamWriter::CXmlStreamWriter() = default;

CXmlStreamWriter::~CXmlStreamWriter()
{
    if (file >= 0) {
        Drain(true);
        WaitForSyncBehind();
        ::close(file);
    }
}

HRESULT CXmlStreamWriter::OpenFile(const std::string& path, bool indent_)
{
    if (file >= 0)
        return E_FAIL;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return HResultFromErrno(errno);
    return OpenDescriptor(fd, indent_);
}

HRESULT CXmlStreamWriter::OpenDescriptor(int fd, bool indent_)
{
    if (file >= 0) {
        ::close(fd);
        return E_FAIL;
    }
    file = fd;
    written = 0;
    syncedUpTo = 0;
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
    if (file < 0)
        return Fail(E_FAIL);
    if (used == 0 || (!always && used < kDrainSize))
        return failure;
    std::size_t done = 0;
    while (failure == S_OK && done < used) {
        const ssize_t n = ::write(file, out.data() + done, used - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail(HResultFromErrno(n < 0 ? errno : EIO));
        else
            done += static_cast<std::size_t>(n);
    }
#ifdef SYNC_FILE_RANGE_WRITE
    // Start writing this block to the disk now, so that the sync in Close()
    // finds little left to wait for. Only a hint: its failure (a device that
    // is not a file) changes nothing.
    if (failure == S_OK)
        ::sync_file_range(file, static_cast<off_t>(written), static_cast<off_t>(done), SYNC_FILE_RANGE_WRITE);
#endif
    written += done;
    used = 0;
    if (failure == S_OK && written - syncedUpTo >= kSyncBehind)
        SyncBehind();
    return failure;
}

// Starts a sync of what is written so far unless the last one is still
// running. Not starting one changes nothing: Close() syncs everything.
void CXmlStreamWriter::SyncBehind()
{
    if (syncPending) {
        if (::aio_error(&syncRequest) == EINPROGRESS)
            return;
        if (FAILED(WaitForSyncBehind()))
            return;
    }
    syncRequest = aiocb{};
    syncRequest.aio_fildes = file;
    syncRequest.aio_sigevent.sigev_notify = SIGEV_NONE;
    if (::aio_fsync(O_DSYNC, &syncRequest) == 0) {
        syncPending = true;
        syncedUpTo = written;
    }
}

// Waits for the background sync, if one runs. Its failure is the output's:
// a write error it reports is not reported again to a later sync.
HRESULT CXmlStreamWriter::WaitForSyncBehind()
{
    if (!syncPending)
        return failure;
    const aiocb* const list[] = {&syncRequest};
    int error;
    while ((error = ::aio_error(&syncRequest)) == EINPROGRESS)
        ::aio_suspend(list, 1, nullptr);
    ::aio_return(&syncRequest);
    syncPending = false;
    return error != 0 ? Fail(HResultFromErrno(error)) : failure;
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

char* CXmlStreamWriter::Grow(std::size_t count)
{
    out.resize(std::max(out.size() * 2, used + count));
    return out.data() + used;
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

HRESULT CXmlStreamWriter::AppendEscapedAscii(std::string_view text, bool attribute)
{
    char* const start = Reserve(6 * text.size());
    char* p = start;
    for (char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (kPlainAscii[c]) {
            *p++ = byte;
        } else if (c >= 0x80) {
            return E_INVALIDARG;
        } else if (const char* escaped = EscapeOf(c, attribute)) {
            while (*escaped)
                *p++ = *escaped++;
        } else if (IsXmlChar(c)) {
            *p++ = byte;
        } else {
            return E_INVALIDARG;
        }
    }
    used += static_cast<std::size_t>(p - start);
    return S_OK;
}

HRESULT CXmlStreamWriter::WriteStartDocument(const char* standalone)
{
    if (failure != S_OK || file < 0)
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
    if (failure != S_OK || file < 0)
        return Fail(E_FAIL);
    scratchName.clear();
    if (!AppendName(scratchName, prefix, localName))
        return Fail(E_INVALIDARG);
    return StartTag(scratchName, prefix, namespaceUri, 0);
}

HRESULT CXmlStreamWriter::WriteStartElement(const CXmlName& name)
{
    if (failure != S_OK || file < 0)
        return Fail(E_FAIL);
    if (!name.valid)
        return Fail(E_INVALIDARG);
    return StartTag(name.qualified, name.prefix, name.namespaceUri, name.id);
}

// Closes the parent's start tag and puts a new element on a line of its own.
void CXmlStreamWriter::BeginChildElement()
{
    CloseStartTag();
    if (!open.empty())
        open.back().hasChildElements = true;
    NewLine(open.size());
}

HRESULT CXmlStreamWriter::StartTag(std::string_view qualified, const std::wstring& prefix,
                                   const std::wstring& namespaceUri, std::uint64_t nameId)
{
    BeginChildElement();
    Put("<", 1);
    Put(qualified.data(), qualified.size());
    open.push_back({openNames.size(), bindings.size(), false});
    openNames.append(qualified);
    startTagOpen = true;
    if (!namespaceUri.empty() && !IsBound(prefix, namespaceUri, nameId))
        return WriteAttributeString(prefix.empty() ? L"" : L"xmlns", prefix.empty() ? L"xmlns" : prefix, L"",
                                    namespaceUri);
    return DrainWhenFull();
}

bool CXmlStreamWriter::IsBound(const std::wstring& prefix, const std::wstring& uri, std::uint64_t nameId)
{
    BoundName& bound = boundNames[nameId % std::size(boundNames)];
    if (nameId != 0 && bound.nameId == nameId && bound.version == bindingsVersion)
        return true;
    if (!IsBound(prefix, uri))
        return false;
    if (nameId != 0)
        bound = {nameId, bindingsVersion};
    return true;
}

HRESULT CXmlStreamWriter::WriteAsciiElement(const CXmlName& name, std::string_view asciiValue)
{
    if (failure != S_OK || file < 0)
        return Fail(E_FAIL);
    if (!name.valid)
        return Fail(E_INVALIDARG);
    // A name whose namespace needs declaring takes the general way.
    if (!name.namespaceUri.empty() && !IsBound(name.prefix, name.namespaceUri, name.id)) {
        WriteStartElement(name);
        WriteAsciiString(asciiValue);
        return WriteFullEndElement();
    }
    BeginChildElement();
    const std::string& qualified = name.qualified;
    Put("<", 1);
    Put(qualified.data(), qualified.size());
    Put(">", 1);
    if (FAILED(AppendEscapedAscii(asciiValue, false)))
        return Fail(E_INVALIDARG);
    Put("</", 2);
    Put(qualified.data(), qualified.size());
    Put(">", 1);
    return DrainWhenFull();
}

HRESULT CXmlStreamWriter::WriteAttributeString(const std::wstring& prefix, const std::wstring& localName,
                                               const std::wstring& namespaceUri, const std::wstring& value)
{
    if (failure != S_OK || file < 0)
        return Fail(E_FAIL);
    if (!startTagOpen)
        return Fail(E_FAIL);
    const bool declaration = prefix == L"xmlns" || (prefix.empty() && localName == L"xmlns");
    if (declaration) {
        bindings.emplace_back(prefix.empty() ? std::wstring() : localName, value);
        ++bindingsVersion;
    } else if (!prefix.empty() && !namespaceUri.empty() && !IsBound(prefix, namespaceUri)) {
        const HRESULT hr = WriteAttributeString(L"xmlns", prefix, L"", namespaceUri);
        if (FAILED(hr))
            return hr;
    }
    scratchName.clear();
    if (!AppendName(scratchName, prefix, localName))
        return Fail(E_INVALIDARG);
    Put(" ", 1);
    Put(scratchName.data(), scratchName.size());
    Put("=\"", 2);
    if (FAILED(AppendEscaped(value, true)))
        return Fail(E_INVALIDARG);
    Put("\"", 1);
    return S_OK;
}

HRESULT CXmlStreamWriter::WriteString(const std::wstring& text)
{
    if (failure != S_OK || file < 0)
        return Fail(E_FAIL);
    CloseStartTag();
    if (FAILED(AppendEscaped(text, false)))
        return Fail(E_INVALIDARG);
    return DrainWhenFull();
}

HRESULT CXmlStreamWriter::WriteAttributeString(const CXmlName& name, std::string_view asciiValue)
{
    if (failure != S_OK || file < 0)
        return Fail(E_FAIL);
    if (!startTagOpen)
        return Fail(E_FAIL);
    if (!name.valid)
        return Fail(E_INVALIDARG);
    // Declarations and names whose namespace needs one take the general way.
    if (name.declaration ||
        (!name.prefix.empty() && !name.namespaceUri.empty() && !IsBound(name.prefix, name.namespaceUri))) {
        std::wstring value;
        for (char c : asciiValue) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return Fail(E_INVALIDARG);
            value += static_cast<wchar_t>(c);
        }
        return WriteAttributeString(name.prefix, name.localName, name.namespaceUri, value);
    }
    Put(" ", 1);
    Put(name.qualified.data(), name.qualified.size());
    Put("=\"", 2);
    if (FAILED(AppendEscapedAscii(asciiValue, true)))
        return Fail(E_INVALIDARG);
    Put("\"", 1);
    return S_OK;
}

HRESULT CXmlStreamWriter::WriteAsciiString(std::string_view text)
{
    if (failure != S_OK || file < 0)
        return Fail(E_FAIL);
    CloseStartTag();
    if (FAILED(AppendEscapedAscii(text, false)))
        return Fail(E_INVALIDARG);
    return DrainWhenFull();
}

HRESULT CXmlStreamWriter::WriteFullEndElement()
{
    if (failure != S_OK || file < 0 || open.empty())
        return Fail(E_FAIL);
    CloseStartTag();
    Open& element = open.back();
    if (element.hasChildElements)
        NewLine(open.size() - 1);
    Put("</", 2);
    Put(openNames.data() + element.nameStart, openNames.size() - element.nameStart);
    Put(">", 1);
    if (bindings.size() != element.bindings) {
        bindings.resize(element.bindings);
        ++bindingsVersion;
    }
    openNames.resize(element.nameStart);
    open.pop_back();
    return DrainWhenFull();
}

HRESULT CXmlStreamWriter::WriteEndDocument()
{
    while (!open.empty() && failure == S_OK)
        WriteFullEndElement();
    if (failure == S_OK && file >= 0)
        Put("\n", 1);
    return failure != S_OK ? failure : Drain(false);
}

HRESULT CXmlStreamWriter::Close()
{
    if (file < 0)
        return Fail(E_FAIL);
    HRESULT hr = Drain(true);
    const HRESULT synced = WaitForSyncBehind();
    if (SUCCEEDED(hr) && FAILED(synced))
        hr = synced;
    if (SUCCEEDED(hr) && ::fsync(file) != 0)
        hr = Fail(HResultFromErrno(errno));
    if (::close(file) != 0 && SUCCEEDED(hr))
        hr = Fail(HResultFromErrno(errno));
    file = -1;
    return hr;
}
