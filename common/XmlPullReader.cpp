#include "XmlPullReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "ReplaceTarget.h"
#include "XmlEventQueue.h"

namespace {

bool IsXmlBlank(std::string_view text)
{
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return false;
    return true;
}

const std::wstring kEmpty;

}  // namespace

HRESULT HResultFromErrno(int error)
{
    return static_cast<HRESULT>(0x80070000u | (static_cast<unsigned>(error) & 0xFFFFu));
}

void AppendUtf8AsWide(std::wstring& out, const char* text, std::size_t length)
{
    // Never more characters than bytes: the string is sized for that, filled
    // in one pass and cut to what was written.
    const std::size_t start = out.size();
    out.resize(start + length);
    wchar_t* const first = out.data() + start;
    wchar_t* to = first;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = 0;
    while (i < length) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            *to++ = static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
        char32_t cp = b & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < length; ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        *to++ = static_cast<wchar_t>(cp);
        i += extra + 1;
    }
    out.resize(start + static_cast<std::size_t>(to - first));
}
struct CXmlPullReader::Impl : CXmlEventQueue {};

CXmlPullReader::CXmlPullReader() = default;

CXmlPullReader::~CXmlPullReader() = default;

HRESULT CXmlPullReader::Fail(HRESULT code, const std::string& why)
{
    if (failure == S_OK)
        failure = code;
    if (errorText.empty())
        errorText = why;
    return failure;
}

void CXmlPullReader::RecordError(int line, const char* message, bool inputEnded)
{
    if (!errorText.empty())
        return;
    endedEarly = inputEnded;
    std::string text = message ? message : "malformed XML";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    errorText = "line " + std::to_string(line) + ": " + text;
}

HRESULT CXmlPullReader::Open(std::unique_ptr<Impl> opened, std::size_t size)
{
    const HRESULT hr = opened->Start(this, size);
    if (FAILED(hr))
        return hr;
    impl = std::move(opened);
    nameCache->fill(CachedName());
    return S_OK;
}

HRESULT CXmlPullReader::OpenFile(const std::string& path)
{
    auto opened = std::make_unique<Impl>();
    // O_NONBLOCK: a FIFO must be refused, not waited on for a writer.
    opened->fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (opened->fd < 0)
        return HResultFromErrno(errno);
    struct stat st;
    if (::fstat(opened->fd, &st) != 0)
        return HResultFromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return E_NOT_REGULAR_FILE;
    return Open(std::move(opened), static_cast<std::size_t>(st.st_size));
}

HRESULT CXmlPullReader::OpenMemory(const char* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        return XML_E_TOOLARGE;
    auto opened = std::make_unique<Impl>();
    opened->memory = data ? data : "";
    opened->memorySize = data ? size : 0;
    const std::size_t inputSize = opened->memorySize;
    return Open(std::move(opened), inputSize);
}

// Takes batches until an event can be delivered: S_OK then, or what Read()
// returns when none can.
HRESULT CXmlPullReader::Refill()
{
    if (!impl)
        return Fail(XML_E_NOINPUT, "no input");
    while (!impl->Deliverable())
        if (!impl->NextBatch())
            break;
    if (impl->Deliverable())
        return S_OK;
    nodeType = XmlNodeType::None;
    if (FAILED(impl->readFailure))
        return Fail(impl->readFailure, "cannot read the input");
    if (!impl->broken)
        return S_FALSE;
    // The parser met the end of the input with elements still open
    // (libxml2 words this as an unfinished tag or "extra content"): the
    // end of input inside an element, which the walk reports as S_FALSE.
    if (endedEarly) {
        failure = S_FALSE;
        return S_FALSE;
    }
    return Fail(XML_E_MALFORMED, "malformed XML");
}

HRESULT CXmlPullReader::FailDocumentType()
{
    nodeType = XmlNodeType::None;
    return Fail(XML_E_DTDPROHIBITED, "document type declarations are not allowed");
}

// Kept short for the common case, an event already queued; the rest is
// Refill's.
HRESULT CXmlPullReader::Read()
{
    if (failure != S_OK)
        return failure;
    if (!impl || !impl->Deliverable()) {
        const HRESULT hr = Refill();
        if (hr != S_OK)
            return hr;
    }
    impl->attribute = nullptr;
    const XmlEvent& event = impl->batch->events[impl->next++];
    impl->current = &event;
    if (event.type == kXmlDocumentType)
        return FailDocumentType();
    nodeType = event.type;
    if (nodeType == XmlNodeType::Text && IsXmlBlank(ValueUtf8()))
        nodeType = XmlNodeType::Whitespace;
    return S_OK;
}

const std::wstring& CXmlPullReader::ConvertNew(const unsigned char* name, NameCache& cache)
{
    if (!name)
        return kEmpty;
    CachedName& cached = cache[SlotOf(name)];
    auto [entry, added] = names.try_emplace(reinterpret_cast<const char*>(name));
    if (added)
        AppendUtf8AsWide(entry->second, entry->first.data(), entry->first.size());
    cached.key = name;
    cached.entry = &*entry;
    return entry->second;
}

const std::wstring& CXmlPullReader::LocalName()
{
    if (!impl || !impl->current || nodeType == XmlNodeType::None)
        return kEmpty;
    return Convert(impl->attribute ? impl->attribute->localName : impl->current->localName, *nameCache);
}

const std::wstring& CXmlPullReader::Prefix()
{
    if (!impl || !impl->current || nodeType == XmlNodeType::None)
        return kEmpty;
    return Convert(impl->attribute ? impl->attribute->prefix : impl->current->prefix, *nameCache);
}

const std::wstring& CXmlPullReader::NamespaceUri()
{
    if (!impl || !impl->current || nodeType == XmlNodeType::None)
        return kEmpty;
    return Convert(impl->attribute ? impl->attribute->uri : impl->current->uri, *nameCache);
}

HRESULT CXmlPullReader::GetValue(std::wstring& value)
{
    value.clear();
    if (!impl || !impl->current || nodeType == XmlNodeType::None)
        return E_FAIL;
    const std::string_view text = ValueUtf8();
    AppendUtf8AsWide(value, text.data(), text.size());
    return S_OK;
}

std::string_view CXmlPullReader::ValueUtf8()
{
    if (!impl || !impl->current || nodeType == XmlNodeType::None)
        return {};
    const std::string_view text = impl->batch->text;
    if (impl->attribute)
        return text.substr(impl->attribute->value, impl->attribute->length);
    return text.substr(impl->current->value, impl->current->length);
}

bool CXmlPullReader::IsEmptyElement()
{
    return impl && impl->current && !impl->attribute && nodeType == XmlNodeType::Element && impl->current->empty;
}

int CXmlPullReader::AttributeCount()
{
    if (!impl || !impl->current || nodeType != XmlNodeType::Element)
        return 0;
    return static_cast<int>(impl->current->attributes);
}

HRESULT CXmlPullReader::MoveToFirstAttribute()
{
    if (!impl)
        return E_FAIL;
    if (AttributeCount() == 0)
        return S_FALSE;
    impl->attribute = &impl->batch->attributes[impl->current->firstAttribute];
    return S_OK;
}

HRESULT CXmlPullReader::MoveToNextAttribute()
{
    if (!impl)
        return E_FAIL;
    if (!impl->attribute)
        return MoveToFirstAttribute();
    const XmlEventAttribute* last =
        &impl->batch->attributes[impl->current->firstAttribute + impl->current->attributes - 1];
    if (impl->attribute == last)
        return S_FALSE;
    ++impl->attribute;
    return S_OK;
}

HRESULT CXmlPullReader::MoveToElement()
{
    if (!impl)
        return E_FAIL;
    impl->attribute = nullptr;
    return S_OK;
}

bool CXmlPullReader::IsDefault()
{
    return impl && impl->attribute && impl->attribute->isDefault;
}
