#include "XmlEventQueue.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

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

const auto* const kXmlnsName = reinterpret_cast<const unsigned char*>("xmlns");
const auto* const kXmlnsUri = reinterpret_cast<const unsigned char*>("http://www.w3.org/2000/xmlns/");
const auto* const kTextName = reinterpret_cast<const unsigned char*>("#text");
const auto* const kCDataName = reinterpret_cast<const unsigned char*>("#cdata-section");
const auto* const kCommentName = reinterpret_cast<const unsigned char*>("#comment");

}  // namespace

CXmlEventQueue::~CXmlEventQueue()
{
    if (parser) {
        if (parser->myDoc)
            xmlFreeDoc(parser->myDoc);
        xmlFreeParserCtxt(parser);
    }
    if (fd >= 0)
        ::close(fd);
}

void CXmlEventQueue::OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                                    int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                                    const xmlChar** values)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    self->rootSeen = true;
    // libxml2's parser leaves the nesting limit to whoever builds on it.
    if (++self->depth > xmlParserMaxDepth + 1) {
        self->Refuse("elements nested too deeply");
        return;
    }
    XmlEvent& event = self->Push(XmlNodeType::Element);
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
        XmlEventAttribute& declaration = self->attributes.emplace_back();
        declaration.localName = declared ? declared : kXmlnsName;
        declaration.prefix = declared ? kXmlnsName : nullptr;
        declaration.uri = kXmlnsUri;
        const std::size_t length = boundUri ? std::strlen(reinterpret_cast<const char*>(boundUri)) : 0;
        declaration.value = self->Store(boundUri, length);
        declaration.length = length;
    }
    for (int i = 0; i < attributeCount; ++i) {
        const xmlChar** a = values + 5 * i;
        XmlEventAttribute& attribute = self->attributes.emplace_back();
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
void CXmlEventQueue::StoreAttributeValue(XmlEventAttribute& attribute, const xmlChar* value, const xmlChar* end)
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

void CXmlEventQueue::OnEndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    --self->depth;
    if (self->selfClosed) {
        self->selfClosed = false;
        return;
    }
    XmlEvent& event = self->Push(XmlNodeType::EndElement);
    event.localName = localName;
    event.prefix = prefix;
    event.uri = uri;
}

// The parser reports a text in pieces (at each reference, at the end of a
// chunk); the pieces are joined into the one node they make.
void CXmlEventQueue::AppendText(XmlNodeType type, const xmlChar* value, int length)
{
    if (stopped || length <= 0)
        return;
    if (!(textOpen && events.back().type == type)) {
        XmlEvent& event = Push(type);
        event.localName = type == XmlNodeType::CData ? kCDataName : kTextName;
        textOpen = true;
    }
    XmlEvent& event = events.back();
    if (event.length + static_cast<std::size_t>(length) > kMaxText) {
        Refuse("text node too large");
        return;
    }
    Store(value, static_cast<std::size_t>(length));
    event.length += static_cast<std::size_t>(length);
}

void CXmlEventQueue::OnCharacters(void* context, const xmlChar* value, int length)
{
    static_cast<CXmlEventQueue*>(context)->AppendText(XmlNodeType::Text, value, length);
}

void CXmlEventQueue::OnCData(void* context, const xmlChar* value, int length)
{
    static_cast<CXmlEventQueue*>(context)->AppendText(XmlNodeType::CData, value, length);
}

void CXmlEventQueue::OnComment(void* context, const xmlChar* value)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    XmlEvent& event = self->Push(XmlNodeType::Comment);
    event.localName = kCommentName;
    event.length = value ? std::strlen(reinterpret_cast<const char*>(value)) : 0;
    event.value = self->Store(value, event.length);
}

void CXmlEventQueue::OnProcessingInstruction(void* context, const xmlChar* target, const xmlChar* data)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    XmlEvent& event = self->Push(XmlNodeType::ProcessingInstruction);
    // Interned, so that the name outlives the callback.
    event.localName = target ? xmlDictLookup(self->parser->dict, target, -1) : nullptr;
    event.length = data ? std::strlen(reinterpret_cast<const char*>(data)) : 0;
    event.value = self->Store(data, event.length);
}

void CXmlEventQueue::Refuse(const char* why)
{
    owner->RecordError(xmlSAX2GetLineNumber(parser), why, false);
    broken = true;
    Stop();
}

// Called at "<!DOCTYPE", before any declaration of the subset is read.
void CXmlEventQueue::OnDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    self->Push(kXmlDocumentType);
    self->Stop();
}

void CXmlEventQueue::OnError(void* context, XmlErrorArg error)
{
    if (!error || error->level < XML_ERR_ERROR)
        return;
    auto* self = static_cast<CXmlEventQueue*>(context);
    // libxml2 words the end of input inside the document as an unfinished
    // tag or "extra content"; the latter also names content after the root
    // element, which is malformed rather than cut short.
    const bool endWord = error->code == XML_ERR_TAG_NOT_FINISHED || error->code == XML_ERR_DOCUMENT_END;
    const bool afterRoot = self->rootSeen && self->depth == 0;
    self->owner->RecordError(error->line, error->message, endWord && !afterRoot);
}

// Makes the parser, handing it the first bytes so that it can tell the
// encoding.
HRESULT CXmlEventQueue::Start(CXmlPullReader* owner_)
{
    owner = owner_;
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
HRESULT CXmlEventQueue::ReadAhead()
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
HRESULT CXmlEventQueue::ReadInput(const char*& data, std::size_t& size, bool& last)
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
void CXmlEventQueue::Compact()
{
    current = nullptr;
    attribute = nullptr;
    if (next < events.size()) {
        XmlEvent kept = events[next];
        text.erase_front(kept.value);
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
void CXmlEventQueue::DropAfterLastStartTag()
{
    std::size_t keep = events.size();
    while (keep > next && events[keep - 1].type != XmlNodeType::Element)
        --keep;
    events.resize(keep);
    textOpen = false;
}

// Parses the next chunk into the queue. S_OK, or the code of a failed read.
HRESULT CXmlEventQueue::ParseNext()
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
