#include "XmlPullReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>

#include <libxml/xmlreader.h>

#include "ReplaceTarget.h"

namespace {

// No network, no entity substitution, no DTD loading; libxml2's limits on
// text size and nesting depth stay on (no XML_PARSE_HUGE).
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING;

#if LIBXML_VERSION >= 21200
using ErrorArg = const xmlError*;
#else
using ErrorArg = xmlErrorPtr;
#endif

void OnStructuredError(void* context, ErrorArg error)
{
    if (error && error->level >= XML_ERR_ERROR)
        static_cast<CXmlPullReader*>(context)->RecordError(
            error->line, error->message, error->code == XML_ERR_TAG_NOT_FINISHED || error->code == XML_ERR_DOCUMENT_END);
}

// libxml2 asks for a few kilobytes at a time; a system call per request
// costs more than copying, so the file is read in large blocks.
constexpr std::size_t kReadBlock = 512 * 1024;

struct FileInput {
    int fd = -1;
    bool atEnd = false;  // the whole file has been handed to the parser
    std::unique_ptr<char[]> block;
    std::size_t begin = 0;  // the unread part of the block
    std::size_t end = 0;
};

int ReadFd(void* context, char* buffer, int length)
{
    auto* input = static_cast<FileInput*>(context);
    if (length <= 0)
        return 0;
    if (input->begin == input->end) {
        if (!input->block)
            input->block = std::make_unique<char[]>(kReadBlock);
        ssize_t n;
        do {
            n = ::read(input->fd, input->block.get(), kReadBlock);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return -1;
        if (n == 0) {
            input->atEnd = true;
            return 0;
        }
        input->begin = 0;
        input->end = static_cast<std::size_t>(n);
    }
    const std::size_t count = std::min(static_cast<std::size_t>(length), input->end - input->begin);
    std::memcpy(buffer, input->block.get() + input->begin, count);
    input->begin += count;
    return static_cast<int>(count);
}

int CloseNothing(void*)
{
    return 0;  // the descriptor belongs to the reader's Impl
}

XmlNodeType MapNodeType(int type)
{
    switch (type) {
    case XML_READER_TYPE_ELEMENT: return XmlNodeType::Element;
    case XML_READER_TYPE_TEXT: return XmlNodeType::Text;
    case XML_READER_TYPE_CDATA: return XmlNodeType::CData;
    case XML_READER_TYPE_WHITESPACE:
    case XML_READER_TYPE_SIGNIFICANT_WHITESPACE: return XmlNodeType::Whitespace;
    case XML_READER_TYPE_END_ELEMENT: return XmlNodeType::EndElement;
    case XML_READER_TYPE_COMMENT: return XmlNodeType::Comment;
    case XML_READER_TYPE_PROCESSING_INSTRUCTION: return XmlNodeType::ProcessingInstruction;
    default: return XmlNodeType::Other;
    }
}

const std::wstring kEmpty;

}  // namespace

HRESULT HResultFromErrno(int error)
{
    return static_cast<HRESULT>(0x80070000u | (static_cast<unsigned>(error) & 0xFFFFu));
}

void AppendUtf8AsWide(std::wstring& out, const char* text, std::size_t length)
{
    // Converted through a small buffer and appended a block at a time, so
    // the string is neither zero-filled first nor grown a character at a time.
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    wchar_t buffer[256];
    std::size_t n = 0;
    std::size_t i = 0;
    while (i < length) {
        if (n == std::size(buffer)) {
            out.append(buffer, n);
            n = 0;
        }
        const unsigned char b = s[i];
        if (b < 0x80) {
            buffer[n++] = static_cast<wchar_t>(b);
            ++i;
            continue;
        }
        const int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : 1;
        char32_t cp = b & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < length; ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        buffer[n++] = static_cast<wchar_t>(cp);
        i += extra + 1;
    }
    out.append(buffer, n);
}

struct CXmlPullReader::Impl {
    xmlTextReaderPtr reader = nullptr;
    FileInput file;
    bool fromMemory = false;
    ~Impl()
    {
        if (reader)
            xmlFreeTextReader(reader);
        if (file.fd >= 0)
            ::close(file.fd);
    }
};

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

HRESULT CXmlPullReader::OpenFile(const std::string& path)
{
    auto opened = std::make_unique<Impl>();
    // O_NONBLOCK: a FIFO must be refused, not waited on for a writer.
    opened->file.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (opened->file.fd < 0)
        return HResultFromErrno(errno);
    struct stat st;
    if (::fstat(opened->file.fd, &st) != 0)
        return HResultFromErrno(errno);
    if (!S_ISREG(st.st_mode))
        return E_NOT_REGULAR_FILE;
    opened->reader = xmlReaderForIO(ReadFd, CloseNothing, &opened->file, nullptr, nullptr, kParseOptions);
    if (!opened->reader)
        return E_OUTOFMEMORY;
    xmlTextReaderSetStructuredErrorHandler(opened->reader, OnStructuredError, this);
    impl = std::move(opened);
    return S_OK;
}

HRESULT CXmlPullReader::OpenMemory(const char* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        return XML_E_TOOLARGE;
    auto opened = std::make_unique<Impl>();
    opened->fromMemory = true;
    opened->reader = xmlReaderForMemory(data, static_cast<int>(size), nullptr, nullptr, kParseOptions);
    if (!opened->reader)
        return E_OUTOFMEMORY;
    xmlTextReaderSetStructuredErrorHandler(opened->reader, OnStructuredError, this);
    impl = std::move(opened);
    return S_OK;
}

HRESULT CXmlPullReader::Read()
{
    if (failure != S_OK)
        return failure;
    if (!impl)
        return Fail(XML_E_NOINPUT, "no input");
    const int rc = xmlTextReaderRead(impl->reader);
    if (rc == 0) {
        nodeType = XmlNodeType::None;
        return S_FALSE;
    }
    if (rc < 0) {
        nodeType = XmlNodeType::None;
        // The parser met the end of the input with elements still open
        // (libxml2 words this as an unfinished tag or "extra content"): the
        // end of input inside an element, which the walk reports as S_FALSE.
        if (endedEarly && (impl->fromMemory || impl->file.atEnd)) {
            failure = S_FALSE;
            return S_FALSE;
        }
        return Fail(XML_E_MALFORMED, "malformed XML");
    }
    const int type = xmlTextReaderNodeType(impl->reader);
    if (type == XML_READER_TYPE_DOCUMENT_TYPE) {
        nodeType = XmlNodeType::None;
        return Fail(XML_E_DTDPROHIBITED, "document type declarations are not allowed");
    }
    nodeType = MapNodeType(type);
    return S_OK;
}

const std::wstring& CXmlPullReader::Convert(const unsigned char* name, NameCache& cache)
{
    if (!name)
        return kEmpty;
    // Fibonacci hashing spreads names that lie close together in libxml2's
    // dictionary over the slots.
    const auto slot = static_cast<std::size_t>((static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(name)) *
                                                0x9E3779B97F4A7C15ull) >> 56) % cache.size();
    CachedName& cached = cache[slot];
    const char* text = reinterpret_cast<const char*>(name);
    if (cached.key == name && std::strcmp(cached.entry->first.c_str(), text) == 0)
        return cached.entry->second;
    auto [entry, added] = names.try_emplace(text);
    if (added)
        AppendUtf8AsWide(entry->second, entry->first.data(), entry->first.size());
    cached.key = name;
    cached.entry = &*entry;
    return entry->second;
}

const std::wstring& CXmlPullReader::LocalName()
{
    if (!impl || nodeType == XmlNodeType::None)
        return kEmpty;
    return Convert(xmlTextReaderConstLocalName(impl->reader), *localNames);
}

const std::wstring& CXmlPullReader::Prefix()
{
    if (!impl || nodeType == XmlNodeType::None)
        return kEmpty;
    return Convert(xmlTextReaderConstPrefix(impl->reader), *prefixes);
}

const std::wstring& CXmlPullReader::NamespaceUri()
{
    if (!impl || nodeType == XmlNodeType::None)
        return kEmpty;
    return Convert(xmlTextReaderConstNamespaceUri(impl->reader), *namespaceUris);
}

HRESULT CXmlPullReader::GetValue(std::wstring& value)
{
    value.clear();
    if (!impl || nodeType == XmlNodeType::None)
        return E_FAIL;
    const xmlChar* text = xmlTextReaderConstValue(impl->reader);
    if (text) {
        const char* s = reinterpret_cast<const char*>(text);
        AppendUtf8AsWide(value, s, std::strlen(s));
    }
    return S_OK;
}

std::string_view CXmlPullReader::ValueUtf8()
{
    if (!impl || nodeType == XmlNodeType::None)
        return {};
    const xmlChar* text = xmlTextReaderConstValue(impl->reader);
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

bool CXmlPullReader::IsEmptyElement()
{
    return impl && nodeType == XmlNodeType::Element && xmlTextReaderIsEmptyElement(impl->reader) == 1;
}

int CXmlPullReader::AttributeCount()
{
    if (!impl || nodeType != XmlNodeType::Element)
        return 0;
    return xmlTextReaderAttributeCount(impl->reader);
}

HRESULT CXmlPullReader::MoveToFirstAttribute()
{
    if (!impl)
        return E_FAIL;
    const int rc = xmlTextReaderMoveToFirstAttribute(impl->reader);
    return rc == 1 ? S_OK : rc == 0 ? S_FALSE : E_FAIL;
}

HRESULT CXmlPullReader::MoveToNextAttribute()
{
    if (!impl)
        return E_FAIL;
    const int rc = xmlTextReaderMoveToNextAttribute(impl->reader);
    return rc == 1 ? S_OK : rc == 0 ? S_FALSE : E_FAIL;
}

HRESULT CXmlPullReader::MoveToElement()
{
    if (!impl)
        return E_FAIL;
    return xmlTextReaderMoveToElement(impl->reader) < 0 ? E_FAIL : S_OK;
}

bool CXmlPullReader::IsDefault()
{
    return impl && xmlTextReaderIsDefault(impl->reader) == 1;
}
