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
#include <vector>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>

#include "ReplaceTarget.h"

namespace {

// No network, no entity substitution, no DTD loading; libxml2's limits on
// name, text and attribute size and on nesting depth stay on (no XML_PARSE_HUGE).
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING;

// The input is handed to the parser in pieces of this size: large enough that
// the calls cost nothing, small enough that the events of one stay in cache.
constexpr std::size_t kChunk = 64 * 1024;

// A text longer than this fails the read, as libxml2's own tree builder
// refuses it without XML_PARSE_HUGE: text is the one thing the queue would
// otherwise gather without bound.
constexpr std::size_t kMaxText = XML_MAX_TEXT_LENGTH;

#if LIBXML_VERSION >= 21200
using ErrorArg = const xmlError*;
#else
using ErrorArg = xmlErrorPtr;
#endif

const auto* const kXmlnsName = reinterpret_cast<const unsigned char*>("xmlns");
const auto* const kXmlnsUri = reinterpret_cast<const unsigned char*>("http://www.w3.org/2000/xmlns/");
const auto* const kTextName = reinterpret_cast<const unsigned char*>("#text");
const auto* const kCDataName = reinterpret_cast<const unsigned char*>("#cdata-section");
const auto* const kCommentName = reinterpret_cast<const unsigned char*>("#comment");

// A document type declaration: reading stops there and fails.
constexpr auto kDocumentType = static_cast<XmlNodeType>(-1);

// What the parser met, in document order. Names are the parser's dictionary
// strings (they live as long as the parser); values are kept in the queue's
// own text.
struct Event {
    XmlNodeType type = XmlNodeType::None;
    bool empty = false;  // a start tag written as <name/>
    const xmlChar* localName = nullptr;
    const xmlChar* prefix = nullptr;
    const xmlChar* uri = nullptr;
    std::size_t value = 0;  // offset and length in Queue::text
    std::size_t length = 0;
    std::size_t firstAttribute = 0;  // index in Queue::attributes
    std::size_t attributes = 0;
};

struct Attribute {
    const xmlChar* localName = nullptr;
    const xmlChar* prefix = nullptr;
    const xmlChar* uri = nullptr;
    std::size_t value = 0;
    std::size_t length = 0;
    bool isDefault = false;
};

const std::wstring kEmpty;

bool IsXmlBlank(std::string_view text)
{
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
            return false;
    return true;
}

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
    CXmlPullReader* owner = nullptr;
    xmlParserCtxtPtr parser = nullptr;

    // The input: a file read a chunk at a time, or bytes in memory.
    int fd = -1;
    std::unique_ptr<char[]> blocks;  // two: the one parsed, the one read ahead
    int currentBlock = 1;
    std::size_t aheadSize = 0;
    const char* memory = nullptr;
    std::size_t memorySize = 0;
    std::size_t memoryOffset = 0;
    bool inputEnded = false;  // the parser has been told the input is over
    bool stopped = false;     // the parser met a fatal error or a DTD
    // The input is not well-formed, or passed a limit.
    bool broken = false;

    // The queue: events[next] is the next one Read() delivers.
    std::vector<Event> events;
    std::vector<Attribute> attributes;
    std::string text;
    std::size_t next = 0;
    bool textOpen = false;  // the last event is a text the next chunk may continue
    bool selfClosed = false;  // the last start tag closed itself: its end is no node
    unsigned depth = 0;       // elements open
    bool rootSeen = false;

    // Where Read() stands: the event, and the attribute (or none).
    const Event* current = nullptr;
    const Attribute* attribute = nullptr;

    ~Impl()
    {
        if (parser) {
            if (parser->myDoc)
                xmlFreeDoc(parser->myDoc);
            xmlFreeParserCtxt(parser);
        }
        if (fd >= 0)
            ::close(fd);
    }

    HRESULT Start();
    HRESULT ReadAhead();
    HRESULT ReadInput(const char*& data, std::size_t& size, bool& last);
    HRESULT ParseNext();
    void Compact();
    void DropAfterLastStartTag();
    // A text at the end of the queue waits for what follows it; one that the
    // end of the input cuts off is never delivered.
    bool Deliverable() const { return next < events.size() && !(textOpen && next + 1 == events.size()); }

    Event& Push(XmlNodeType type)
    {
        textOpen = false;
        selfClosed = false;
        events.emplace_back();
        events.back().type = type;
        events.back().value = text.size();
        return events.back();
    }
    std::size_t Store(const xmlChar* value, std::size_t length)
    {
        const std::size_t at = text.size();
        text.append(reinterpret_cast<const char*>(value), length);
        return at;
    }
    void StoreAttributeValue(Attribute& attribute, const xmlChar* value, const xmlChar* end);
    void AppendText(XmlNodeType type, const xmlChar* value, int length);
    void Stop()
    {
        stopped = true;
        xmlStopParser(parser);
    }
    void Refuse(const char* why)
    {
        owner->RecordError(xmlSAX2GetLineNumber(parser), why, false);
        broken = true;
        Stop();
    }

    // The parser's callbacks; `context` is the Impl.
    static void OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                               int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                               const xmlChar** values);
    static void OnEndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri);
    static void OnCharacters(void* context, const xmlChar* value, int length);
    static void OnCData(void* context, const xmlChar* value, int length);
    static void OnComment(void* context, const xmlChar* value);
    static void OnProcessingInstruction(void* context, const xmlChar* target, const xmlChar* data);
    static void OnDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*);
    static void OnError(void* context, ErrorArg error);
};

void CXmlPullReader::Impl::OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                                          const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                                          int attributeCount, int defaulted, const xmlChar** values)
{
    auto* self = static_cast<Impl*>(context);
    self->rootSeen = true;
    // libxml2's parser leaves the nesting limit to whoever builds on it.
    if (++self->depth > xmlParserMaxDepth + 1) {
        self->Refuse("elements nested too deeply");
        return;
    }
    Event& event = self->Push(XmlNodeType::Element);
    event.localName = localName;
    event.prefix = prefix;
    event.uri = uri;
    // The parser calls this with its cursor after the name and attributes:
    // on "/>" when the tag closes itself.
    const xmlChar* cursor = self->parser->input ? self->parser->input->cur : nullptr;
    event.empty = cursor && cursor[0] == '/' && cursor[1] == '>';
    self->selfClosed = event.empty;
    event.firstAttribute = self->attributes.size();
    // Namespace declarations come first, as attributes of the xmlns
    // namespace: "xmlns" itself for the default one, the prefix otherwise.
    for (int i = 0; i < namespaceCount; ++i) {
        const xmlChar* declared = namespaces[2 * i];
        const xmlChar* boundUri = namespaces[2 * i + 1];
        Attribute& declaration = self->attributes.emplace_back();
        declaration.localName = declared ? declared : kXmlnsName;
        declaration.prefix = declared ? kXmlnsName : nullptr;
        declaration.uri = kXmlnsUri;
        const std::size_t length = boundUri ? std::strlen(reinterpret_cast<const char*>(boundUri)) : 0;
        declaration.value = self->Store(boundUri, length);
        declaration.length = length;
    }
    for (int i = 0; i < attributeCount; ++i) {
        const xmlChar** a = values + 5 * i;
        Attribute& attribute = self->attributes.emplace_back();
        attribute.localName = a[0];
        attribute.prefix = a[1];
        attribute.uri = a[2];
        attribute.isDefault = i >= attributeCount - defaulted;
        self->StoreAttributeValue(attribute, a[3], a[4]);
    }
    event.attributes = self->attributes.size() - event.firstAttribute;
}

// Without entity substitution the parser hands an ampersand of an attribute
// value over as the reference "&#38;" (every other reference is resolved or
// an error); the value is stored with it resolved.
void CXmlPullReader::Impl::StoreAttributeValue(Attribute& attribute, const xmlChar* value, const xmlChar* end)
{
    static constexpr char kAmpersand[] = "&#38;";
    constexpr std::size_t kAmpersandLength = sizeof kAmpersand - 1;
    attribute.value = text.size();
    std::string_view rest(reinterpret_cast<const char*>(value), static_cast<std::size_t>(end - value));
    for (std::size_t at; (at = rest.find('&')) != std::string_view::npos;) {
        text.append(rest.data(), at);
        const bool escaped = rest.compare(at, kAmpersandLength, kAmpersand) == 0;
        text.push_back('&');
        rest.remove_prefix(at + (escaped ? kAmpersandLength : 1));
    }
    text.append(rest.data(), rest.size());
    attribute.length = text.size() - attribute.value;
}

void CXmlPullReader::Impl::OnEndElement(void* context, const xmlChar* localName, const xmlChar* prefix,
                                        const xmlChar* uri)
{
    auto* self = static_cast<Impl*>(context);
    --self->depth;
    if (self->selfClosed) {
        self->selfClosed = false;
        return;
    }
    Event& event = self->Push(XmlNodeType::EndElement);
    event.localName = localName;
    event.prefix = prefix;
    event.uri = uri;
}

// The parser reports a text in pieces (at each reference, at the end of a
// chunk); the pieces are joined into the one node they make.
void CXmlPullReader::Impl::AppendText(XmlNodeType type, const xmlChar* value, int length)
{
    if (stopped || length <= 0)
        return;
    if (!(textOpen && events.back().type == type)) {
        Event& event = Push(type);
        event.localName = type == XmlNodeType::CData ? kCDataName : kTextName;
        textOpen = true;
    }
    Event& event = events.back();
    if (event.length + static_cast<std::size_t>(length) > kMaxText) {
        Refuse("text node too large");
        return;
    }
    Store(value, static_cast<std::size_t>(length));
    event.length += static_cast<std::size_t>(length);
}

void CXmlPullReader::Impl::OnCharacters(void* context, const xmlChar* value, int length)
{
    static_cast<Impl*>(context)->AppendText(XmlNodeType::Text, value, length);
}

void CXmlPullReader::Impl::OnCData(void* context, const xmlChar* value, int length)
{
    static_cast<Impl*>(context)->AppendText(XmlNodeType::CData, value, length);
}

void CXmlPullReader::Impl::OnComment(void* context, const xmlChar* value)
{
    auto* self = static_cast<Impl*>(context);
    Event& event = self->Push(XmlNodeType::Comment);
    event.localName = kCommentName;
    event.length = value ? std::strlen(reinterpret_cast<const char*>(value)) : 0;
    event.value = self->Store(value, event.length);
}

void CXmlPullReader::Impl::OnProcessingInstruction(void* context, const xmlChar* target, const xmlChar* data)
{
    auto* self = static_cast<Impl*>(context);
    Event& event = self->Push(XmlNodeType::ProcessingInstruction);
    // Interned, so that the name outlives the callback.
    event.localName = target ? xmlDictLookup(self->parser->dict, target, -1) : nullptr;
    event.length = data ? std::strlen(reinterpret_cast<const char*>(data)) : 0;
    event.value = self->Store(data, event.length);
}

// Called at "<!DOCTYPE", before any declaration of the subset is read.
void CXmlPullReader::Impl::OnDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* self = static_cast<Impl*>(context);
    self->Push(kDocumentType);
    self->Stop();
}

void CXmlPullReader::Impl::OnError(void* context, ErrorArg error)
{
    if (!error || error->level < XML_ERR_ERROR)
        return;
    auto* self = static_cast<Impl*>(context);
    // libxml2 words the end of input inside the document as an unfinished
    // tag or "extra content"; the latter also names content after the root
    // element, which is malformed rather than cut short.
    const bool endWord = error->code == XML_ERR_TAG_NOT_FINISHED || error->code == XML_ERR_DOCUMENT_END;
    const bool afterRoot = self->rootSeen && self->depth == 0;
    self->owner->RecordError(error->line, error->message, endWord && !afterRoot);
}

// Makes the parser, handing it the first bytes so that it can tell the
// encoding.
HRESULT CXmlPullReader::Impl::Start()
{
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = OnStartElement;
    handler.endElementNs = OnEndElement;
    handler.characters = OnCharacters;
    handler.ignorableWhitespace = OnCharacters;
    handler.cdataBlock = OnCData;
    handler.comment = OnComment;
    handler.processingInstruction = OnProcessingInstruction;
    handler.internalSubset = OnDocumentType;
    handler.serror = OnError;
    parser = xmlCreatePushParserCtxt(&handler, this, nullptr, 0, nullptr);
    if (!parser)
        return E_OUTOFMEMORY;
    xmlCtxtUseOptions(parser, kParseOptions);
    return S_OK;
}

// One read of the file into the spare block.
HRESULT CXmlPullReader::Impl::ReadAhead()
{
    char* into = blocks.get() + (1 - currentBlock) * kChunk;
    ssize_t n;
    do {
        n = ::read(fd, into, kChunk);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return HResultFromErrno(errno);
    aheadSize = static_cast<std::size_t>(n);
    return S_OK;
}

// The next piece of input, and whether it is the last: the file is read one
// block ahead, so that the parser is told of the end together with the last
// bytes and a document cut short fails at once.
HRESULT CXmlPullReader::Impl::ReadInput(const char*& data, std::size_t& size, bool& last)
{
    if (memory) {
        data = memory + memoryOffset;
        size = std::min(kChunk, memorySize - memoryOffset);
        memoryOffset += size;
        last = memoryOffset == memorySize;
        return S_OK;
    }
    if (!blocks) {
        blocks = std::make_unique<char[]>(2 * kChunk);
        const HRESULT hr = ReadAhead();
        if (FAILED(hr))
            return hr;
    }
    currentBlock = 1 - currentBlock;
    data = blocks.get() + currentBlock * kChunk;
    size = aheadSize;
    last = size == 0;
    if (!last) {
        const HRESULT hr = ReadAhead();
        if (FAILED(hr))
            return hr;
        last = aheadSize == 0;
    }
    return S_OK;
}

// Keeps only what has not been delivered (at most a text the next chunk may
// continue), so that the queue holds one chunk's events at a time.
void CXmlPullReader::Impl::Compact()
{
    current = nullptr;
    attribute = nullptr;
    if (next < events.size()) {
        Event kept = events[next];
        text.erase(0, kept.value);
        kept.value = 0;
        events.assign(1, kept);
    } else {
        events.clear();
        text.clear();
    }
    attributes.clear();
    next = 0;
}

// When the input fails, what was queued after the last start tag is not
// delivered: it is the part the failure may have cut short (a text, the
// content of an element left open).
void CXmlPullReader::Impl::DropAfterLastStartTag()
{
    std::size_t keep = events.size();
    while (keep > next && events[keep - 1].type != XmlNodeType::Element)
        --keep;
    events.resize(keep);
    textOpen = false;
}

// Parses the next chunk into the queue. S_OK, or the code of a failed read.
HRESULT CXmlPullReader::Impl::ParseNext()
{
    Compact();
    const char* data = nullptr;
    std::size_t size = 0;
    bool last = false;
    const HRESULT hr = ReadInput(data, size, last);
    if (FAILED(hr)) {
        Stop();
        return hr;
    }
    inputEnded = last;
    xmlParseChunk(parser, data, static_cast<int>(size), inputEnded ? 1 : 0);
    if (!parser->wellFormed) {
        broken = true;
        stopped = true;
    }
    if (broken)
        DropAfterLastStartTag();
    return S_OK;
}

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

HRESULT CXmlPullReader::Open(std::unique_ptr<Impl> opened)
{
    opened->owner = this;
    const HRESULT hr = opened->Start();
    if (FAILED(hr))
        return hr;
    impl = std::move(opened);
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
    return Open(std::move(opened));
}

HRESULT CXmlPullReader::OpenMemory(const char* data, std::size_t size)
{
    if (size > static_cast<std::size_t>(INT_MAX))
        return XML_E_TOOLARGE;
    auto opened = std::make_unique<Impl>();
    opened->memory = data ? data : "";
    opened->memorySize = data ? size : 0;
    return Open(std::move(opened));
}

HRESULT CXmlPullReader::Read()
{
    if (failure != S_OK)
        return failure;
    if (!impl)
        return Fail(XML_E_NOINPUT, "no input");
    impl->attribute = nullptr;
    while (!impl->Deliverable() && !impl->stopped && !impl->inputEnded) {
        const HRESULT hr = impl->ParseNext();
        if (FAILED(hr)) {
            nodeType = XmlNodeType::None;
            return Fail(hr, "cannot read the input");
        }
    }
    if (!impl->Deliverable()) {
        nodeType = XmlNodeType::None;
        impl->current = nullptr;
        if (!impl->broken)
            return S_FALSE;
        // The parser met the end of the input with elements still open
        // (libxml2 words this as an unfinished tag or "extra content"): the
        // end of input inside an element, which the walk reports as S_FALSE.
        if (endedEarly && impl->inputEnded) {
            failure = S_FALSE;
            return S_FALSE;
        }
        return Fail(XML_E_MALFORMED, "malformed XML");
    }
    const Event& event = impl->events[impl->next++];
    impl->current = &event;
    if (event.type == kDocumentType) {
        nodeType = XmlNodeType::None;
        return Fail(XML_E_DTDPROHIBITED, "document type declarations are not allowed");
    }
    nodeType = event.type;
    if (nodeType == XmlNodeType::Text && IsXmlBlank(ValueUtf8()))
        nodeType = XmlNodeType::Whitespace;
    return S_OK;
}

const std::wstring& CXmlPullReader::Convert(const unsigned char* name, NameCache& cache)
{
    if (!name)
        return kEmpty;
    // Fibonacci hashing spreads names that lie close together in the
    // parser's dictionary over the slots.
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
    if (impl->attribute)
        return std::string_view(impl->text).substr(impl->attribute->value, impl->attribute->length);
    return std::string_view(impl->text).substr(impl->current->value, impl->current->length);
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
    impl->attribute = &impl->attributes[impl->current->firstAttribute];
    return S_OK;
}

HRESULT CXmlPullReader::MoveToNextAttribute()
{
    if (!impl)
        return E_FAIL;
    if (!impl->attribute)
        return MoveToFirstAttribute();
    const Attribute* last = &impl->attributes[impl->current->firstAttribute + impl->current->attributes - 1];
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
