#include "XmlEventQueue.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include <libxml/SAX2.h>
#include <libxml/parserInternals.h>

#if defined(__SANITIZE_ADDRESS__)
#define CORVANE_ASAN_FIBERS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANE_ASAN_FIBERS 1
#endif
#endif
#ifdef CORVANE_ASAN_FIBERS
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif
#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define VALGRIND_STACK_REGISTER(start, end) 0u
#define VALGRIND_STACK_DEREGISTER(id)
#endif

namespace {

// A memory input up to this size is parsed in one go when first read: a
// stack of its own would cost more than it saves. Files and larger inputs
// are parsed on one.
constexpr std::size_t kInlineLimit = 1 << 20;

// The parser's stack. libxml2 parses nested elements without recursion and
// its nesting limit stays on, so the parse needs far less; pages never
// touched cost nothing.
constexpr std::size_t kParserStack = std::size_t{1} << 20;

// Saves where `from` stands and resumes `to`; returns when `from` is
// resumed. swapcontext() in two steps: the address sanitizer takes that call
// for a stack switch it cannot follow and says so on every run, where the
// switches here are told to it as fibers.
void SwitchContext(ucontext_t& from, const ucontext_t& to)
{
    volatile bool resumed = false;
    ::getcontext(&from);
    if (!resumed) {
        resumed = true;
        ::setcontext(&to);
    }
}

// A batch is handed over at the next tag once it holds this much: large
// enough that the hand-overs cost nothing, small enough to stay in cache.
constexpr std::size_t kBatchText = 64 * 1024;
constexpr std::size_t kBatchEvents = 4096;

// The file is read ahead of the parser in blocks of this size.
constexpr std::size_t kInputBlock = 256 * 1024;

// No network, no entity substitution, no DTD loading; libxml2's limits on
// name, text and attribute size and on nesting depth stay on (no XML_PARSE_HUGE).
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOWARNING;

// A text longer than this fails the read, as libxml2's own tree builder
// refuses it without XML_PARSE_HUGE: text is the one thing a batch would
// otherwise gather without bound.
constexpr std::size_t kMaxText = XML_MAX_TEXT_LENGTH;

const auto* const kXmlnsName = reinterpret_cast<const unsigned char*>("xmlns");
const auto* const kXmlnsUri = reinterpret_cast<const unsigned char*>("http://www.w3.org/2000/xmlns/");
const auto* const kTextName = reinterpret_cast<const unsigned char*>("#text");
const auto* const kCDataName = reinterpret_cast<const unsigned char*>("#cdata-section");
const auto* const kCommentName = reinterpret_cast<const unsigned char*>("#comment");

}  // namespace

CXmlEventQueue::CXmlEventQueue() : batch(&batches[0]), filling(&batches[1]), spare{&batches[2]} {}

CXmlEventQueue::~CXmlEventQueue()
{
    // A parse left half way is resumed to stop, so that libxml2 unwinds
    // before its parser is freed.
    if (stacked && parsed && !over) {
        abandoned = true;
        SwitchToParser();
    }
    if (parser) {
        if (parser->myDoc)
            xmlFreeDoc(parser->myDoc);
        xmlFreeParserCtxt(parser);
    }
    if (fd >= 0)
        ::close(fd);
}

CXmlEventQueue::MappedStack::~MappedStack()
{
    if (base) {
        VALGRIND_STACK_DEREGISTER(valgrindId);
        ::munmap(base, size);
    }
}

void CXmlEventQueue::OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                                    int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                                    const xmlChar** values)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    if (self->stopped)
        return;
    if (!self->AtTag()) {
        self->Stop();
        return;
    }
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
    std::vector<XmlEventAttribute>& attributes = self->filling->attributes;
    event.firstAttribute = attributes.size();
    // Namespace declarations come first, as attributes of the xmlns
    // namespace: "xmlns" itself for the default one, the prefix otherwise.
    for (int i = 0; i < namespaceCount; ++i) {
        const xmlChar* declared = namespaces[2 * i];
        const xmlChar* boundUri = namespaces[2 * i + 1];
        XmlEventAttribute& declaration = attributes.emplace_back();
        declaration.localName = declared ? declared : kXmlnsName;
        declaration.prefix = declared ? kXmlnsName : nullptr;
        declaration.uri = kXmlnsUri;
        const std::size_t length = boundUri ? std::strlen(reinterpret_cast<const char*>(boundUri)) : 0;
        declaration.value = self->Store(boundUri, length);
        declaration.length = length;
    }
    for (int i = 0; i < attributeCount; ++i) {
        const xmlChar** a = values + 5 * i;
        XmlEventAttribute& attribute = attributes.emplace_back();
        attribute.localName = a[0];
        attribute.prefix = a[1];
        attribute.uri = a[2];
        attribute.isDefault = i >= attributeCount - defaulted;
        self->StoreAttributeValue(attribute, a[3], a[4]);
    }
    event.attributes = attributes.size() - event.firstAttribute;
}

// Without entity substitution the parser hands an ampersand of an attribute
// value over as the reference "&#38;" (every other reference is resolved or
// an error); the value is stored with it resolved.
void CXmlEventQueue::StoreAttributeValue(XmlEventAttribute& attribute, const xmlChar* value, const xmlChar* end)
{
    static constexpr char kAmpersand[] = "&#38;";
    constexpr std::size_t kAmpersandLength = sizeof kAmpersand - 1;
    CXmlTextBuffer& text = filling->text;
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
    if (self->stopped)
        return;
    --self->depth;
    if (self->selfClosed) {
        self->selfClosed = false;
        return;
    }
    if (!self->AtTag()) {
        self->Stop();
        return;
    }
    XmlEvent& event = self->Push(XmlNodeType::EndElement);
    event.localName = localName;
    event.prefix = prefix;
    event.uri = uri;
}

// The parser reports a text in pieces (at each reference, every few hundred
// bytes); the pieces are joined into the one node they make. Batches are
// handed over at tags only, so a text is never split between two.
void CXmlEventQueue::AppendText(XmlNodeType type, const xmlChar* value, int length)
{
    if (stopped || length <= 0)
        return;
    if (!(textOpen && filling->events.back().type == type)) {
        XmlEvent& event = Push(type);
        event.localName = type == XmlNodeType::CData ? kCDataName : kTextName;
        textOpen = true;
    }
    XmlEvent& event = filling->events.back();
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
    if (self->stopped)
        return;
    XmlEvent& event = self->Push(XmlNodeType::Comment);
    event.localName = kCommentName;
    event.length = value ? std::strlen(reinterpret_cast<const char*>(value)) : 0;
    event.value = self->Store(value, event.length);
}

void CXmlEventQueue::OnProcessingInstruction(void* context, const xmlChar* target, const xmlChar* data)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    if (self->stopped)
        return;
    XmlEvent& event = self->Push(XmlNodeType::ProcessingInstruction);
    // Interned, so that the name outlives the callback.
    event.localName = target ? xmlDictLookup(self->parser->dict, target, -1) : nullptr;
    event.length = data ? std::strlen(reinterpret_cast<const char*>(data)) : 0;
    event.value = self->Store(data, event.length);
}

void CXmlEventQueue::Refuse(const char* why)
{
    Error(xmlSAX2GetLineNumber(parser), why, false);
    refused = true;
    Stop();
}

// Only the first error counts; it reaches the owner with the end of the input.
void CXmlEventQueue::Error(int line, const char* message, bool inputEnded)
{
    if (error.met)
        return;
    error.met = true;
    error.line = line;
    error.inputEnded = inputEnded;
    try {
        error.message = message ? message : "";
    } catch (...) {
        // Without room for the words the line still tells where.
    }
}

// Called at "<!DOCTYPE", before any declaration of the subset is read.
void CXmlEventQueue::OnDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    if (self->stopped)
        return;
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
    // An input with nothing but white space, comments or a declaration is
    // "empty" with the parser's cursor at its end: cut short before the root.
    const xmlParserInputPtr input = self->parser->input;
    const bool emptyToTheEnd = error->code == XML_ERR_DOCUMENT_EMPTY && input && input->cur >= input->end;
    const bool endWord =
        error->code == XML_ERR_TAG_NOT_FINISHED || error->code == XML_ERR_DOCUMENT_END || emptyToTheEnd;
    const bool afterRoot = self->rootSeen && self->depth == 0;
    self->Error(error->line, error->message, endWord && !afterRoot);
}

// Makes the parser; the input is read when the parse runs.
HRESULT CXmlEventQueue::Start(CXmlPullReader* owner_, std::size_t inputSize)
{
    owner = owner_;
    stacked = fd >= 0 || inputSize > kInlineLimit;
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
    parser = xmlCreateIOParserCtxt(&handler, this, ReadInput, nullptr, this, XML_CHAR_ENCODING_NONE);
    if (!parser)
        return E_OUTOFMEMORY;
    xmlCtxtUseOptions(parser, kParseOptions);
    return S_OK;
}

// The parser's reads: the next bytes of the memory input, or of the file
// through a block read ahead. 0 at the end, -1 on a failed read.
int CXmlEventQueue::ReadInput(void* context, char* buffer, int length)
{
    auto* self = static_cast<CXmlEventQueue*>(context);
    if (length <= 0)
        return 0;
    const auto wanted = static_cast<std::size_t>(length);
    if (self->memory) {
        const std::size_t n = std::min(wanted, self->memorySize - self->memoryOffset);
        std::memcpy(buffer, self->memory + self->memoryOffset, n);
        self->memoryOffset += n;
        self->inputDone = n == 0;
        return static_cast<int>(n);
    }
    if (self->inputStart == self->inputEnd) {
        if (!self->input)
            self->input = std::make_unique<char[]>(kInputBlock);
        ssize_t n;
        do {
            n = ::read(self->fd, self->input.get(), kInputBlock);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            self->inputFailure = HResultFromErrno(errno);
            return -1;
        }
        self->inputStart = 0;
        self->inputEnd = static_cast<std::size_t>(n);
        self->inputDone = n == 0;
    }
    const std::size_t n = std::min(wanted, self->inputEnd - self->inputStart);
    std::memcpy(buffer, self->input.get() + self->inputStart, n);
    self->inputStart += n;
    return static_cast<int>(n);
}

bool CXmlEventQueue::Full() const
{
    return filling->text.size() >= kBatchText || filling->events.size() >= kBatchEvents;
}

// Runs the whole parse into the batches; on the parser's stack when it has
// one.
void CXmlEventQueue::Parse()
{
    try {
        xmlParseDocument(parser);
    } catch (...) {
        // Out of memory in a callback: the input counts as refused.
        Error(xmlSAX2GetLineNumber(parser), "out of memory", false);
        refused = true;
    }
    Finish();
}

// The end of the parse: a text the end of the input cut off is never
// delivered, and after a failure neither is what followed the last start tag
// (the part the failure may have cut short).
void CXmlEventQueue::Finish()
{
    if (textOpen)
        filling->events.pop_back();
    textOpen = false;
    if (!parser->wellFormed || refused)
        DropAfterLastStartTag();
    if (stacked)
        HandOver(true);
}

void CXmlEventQueue::DropAfterLastStartTag()
{
    std::vector<XmlEvent>& events = filling->events;
    std::size_t keep = events.size();
    while (keep > 0 && events[keep - 1].type != XmlNodeType::Element)
        --keep;
    events.resize(keep);
}

// Puts the filled batch where the reader takes it and goes back to the
// reader; the parse goes on into a spare batch when the reader wants the
// next. False when the reader has gone.
bool CXmlEventQueue::HandOver(bool last)
{
    if (abandoned) {
        if (last)
            SwitchToReader(true);  // back to the reader's destructor
        return false;
    }
    ready = filling;
    over = last;
    if (!last) {
        filling = spare.back();
        spare.pop_back();
        filling->clear();
    }
    SwitchToReader(last);
    return !abandoned;
}

bool CXmlEventQueue::NextBatch()
{
    if (finished)
        return false;
    current = nullptr;
    attribute = nullptr;
    if (stacked ? TakeBatch() : ParseInline()) {
        next = 0;
        return true;
    }
    // Every batch is delivered: the parse is over.
    finished = true;
    readFailure = inputFailure;
    broken = !parser->wellFormed || refused;
    if (error.met && SUCCEEDED(readFailure))
        owner->RecordError(error.line, error.message.c_str(), error.inputEnded && inputDone);
    return false;
}

bool CXmlEventQueue::ParseInline()
{
    if (parsed)
        return false;
    parsed = true;
    Parse();
    batch = filling;
    return true;
}

// Hands the delivered batch back and parses on until the next one is full,
// making the parser's stack at the first call.
bool CXmlEventQueue::TakeBatch()
{
    if (!parsed) {
        parsed = true;
        if (!StartParserStack()) {
            inputFailure = E_OUTOFMEMORY;
            over = true;
            return false;
        }
    }
    if (over && !ready)
        return false;
    spare.push_back(batch);
    if (!ready)
        SwitchToParser();
    batch = ready;
    ready = nullptr;
    return batch != nullptr;
}

bool CXmlEventQueue::StartParserStack()
{
    void* base = ::mmap(nullptr, kParserStack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                        -1, 0);
    if (base == MAP_FAILED)
        return false;
    stack.base = base;
    stack.size = kParserStack;
#ifdef CORVANE_ASAN_FIBERS
    // The sanitizer's marks of frames left on an earlier parser's stack at
    // these addresses (a parse ends with its frames in place) are not ours.
    __asan_unpoison_memory_region(base, kParserStack);
#endif
    // Told to valgrind, which would take the switch for a stack overflow.
    stack.valgrindId = VALGRIND_STACK_REGISTER(base, static_cast<char*>(base) + kParserStack);
    // The lowest page stays unmapped: an overflow faults instead of
    // writing over other memory.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    if (::mprotect(base, page, PROT_NONE) != 0 || ::getcontext(&parserContext) != 0)
        return false;
    parserContext.uc_stack.ss_sp = base;
    parserContext.uc_stack.ss_size = kParserStack;
    parserContext.uc_link = &readerContext;
    // makecontext passes int arguments only: the queue's address in two.
    const auto address = reinterpret_cast<std::uintptr_t>(this);
    ::makecontext(&parserContext, reinterpret_cast<void (*)()>(ParserEntry), 2,
                  static_cast<unsigned>(address >> 32), static_cast<unsigned>(address & 0xFFFFFFFFu));
    return true;
}

void CXmlEventQueue::ParserEntry(unsigned high, unsigned low)
{
    auto* self = reinterpret_cast<CXmlEventQueue*>((static_cast<std::uintptr_t>(high) << 32) | low);
#ifdef CORVANE_ASAN_FIBERS
    __sanitizer_finish_switch_fiber(nullptr, &self->readerStack, &self->readerStackSize);
#endif
    self->Parse();  // ends in the last hand-over, which never comes back
}

void CXmlEventQueue::SwitchToParser()
{
#ifdef CORVANE_ASAN_FIBERS
    void* fakeStack = nullptr;
    __sanitizer_start_switch_fiber(&fakeStack, stack.base, stack.size);
    SwitchContext(readerContext, parserContext);
    __sanitizer_finish_switch_fiber(fakeStack, nullptr, nullptr);
#else
    SwitchContext(readerContext, parserContext);
#endif
}

// After the last hand-over the parser's stack is never entered again.
void CXmlEventQueue::SwitchToReader(bool last)
{
#ifdef CORVANE_ASAN_FIBERS
    __sanitizer_start_switch_fiber(last ? nullptr : &savedFakeStack, readerStack, readerStackSize);
    SwitchContext(parserContext, readerContext);
    __sanitizer_finish_switch_fiber(savedFakeStack, &readerStack, &readerStackSize);
#else
    static_cast<void>(last);
    SwitchContext(parserContext, readerContext);
#endif
}
