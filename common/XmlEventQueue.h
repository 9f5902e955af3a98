// The inside of the XML pull reader: libxml2's parser reads the input and its
// callbacks put what it meets as light events into batches for the reader to
// deliver. libxml2 parses a whole document in one call, so a file or a large
// input is parsed on a stack of its own: the parse stops when a batch is full
// and goes on when the reader wants the next, on the reader's thread. A small
// input is parsed into one batch when first read. Only the reader uses it.
#pragma once

#include <ucontext.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <libxml/parser.h>

#include "XmlPullReader.h"

#if LIBXML_VERSION >= 21200
using XmlErrorArg = const xmlError*;
#else
using XmlErrorArg = xmlErrorPtr;
#endif

// A document type declaration: reading stops there and fails.
constexpr auto kXmlDocumentType = static_cast<XmlNodeType>(-1);

// What the parser met, in document order. Names are the parser's dictionary
// strings (they live as long as the parser); values are kept in the batch's
// own text.
struct XmlEvent {
    XmlNodeType type = XmlNodeType::None;
    bool empty = false;  // a start tag written as <name/>
    const xmlChar* localName = nullptr;
    const xmlChar* prefix = nullptr;
    const xmlChar* uri = nullptr;
    std::size_t value = 0;  // offset and length in the queue's text
    std::size_t length = 0;
    std::size_t firstAttribute = 0;  // index in the queue's attributes
    std::size_t attributes = 0;
};

struct XmlEventAttribute {
    const xmlChar* localName = nullptr;
    const xmlChar* prefix = nullptr;
    const xmlChar* uri = nullptr;
    std::size_t value = 0;
    std::size_t length = 0;
    bool isDefault = false;
};

// The batch's text: the values of its events one after another. Its
// appends are inline (a few per element, most of them a few bytes), where a
// string's go through the library each time.
class CXmlTextBuffer {
public:
    std::size_t size() const { return used; }
    void clear() { used = 0; }
    void append(const char* bytes, std::size_t count)
    {
        if (count > room - used)
            Grow(count);
        if (count > 0)
            std::memcpy(data.get() + used, bytes, count);
        used += count;
    }
    void push_back(char c) { append(&c, 1); }
    operator std::string_view() const { return std::string_view(data.get(), used); }

private:
    void Grow(std::size_t count)
    {
        const std::size_t wanted = std::max(used + count, 2 * room + 4096);
        auto bigger = std::make_unique<char[]>(wanted);
        if (used > 0)
            std::memcpy(bigger.get(), data.get(), used);
        data = std::move(bigger);
        room = wanted;
    }
    std::unique_ptr<char[]> data;
    std::size_t used = 0;
    std::size_t room = 0;
};

// A run of events in document order, with their attributes and values.
struct XmlEventBatch {
    std::vector<XmlEvent> events;
    std::vector<XmlEventAttribute> attributes;
    CXmlTextBuffer text;
    void clear()
    {
        events.clear();
        attributes.clear();
        text.clear();
    }
};

// The parser, its input and the batches. The reader reads the members of the
// reader's side directly; the callbacks and the hand-over are the queue's own.
class CXmlEventQueue {
public:
    CXmlEventQueue();
    // Stops a parse left half way, so that libxml2 is left in order.
    ~CXmlEventQueue();
    CXmlEventQueue(const CXmlEventQueue&) = delete;
    CXmlEventQueue& operator=(const CXmlEventQueue&) = delete;

    // Makes the parser for an input of `inputSize` bytes; `owner` is told of
    // every error when the reader reaches the end.
    HRESULT Start(CXmlPullReader* owner, std::size_t inputSize);
    // Replaces the delivered batch with the next one, parsing on until it is
    // full. False when the parse is over and every batch was taken.
    bool NextBatch();
    bool Deliverable() const { return next < batch->events.size(); }

    // The input: a file, or bytes in memory.
    int fd = -1;
    const char* memory = nullptr;
    std::size_t memorySize = 0;

    // The reader's side: batch->events[next] is the next one Read()
    // delivers; `current` and `attribute` are where Read() stands.
    XmlEventBatch* batch;
    std::size_t next = 0;
    const XmlEvent* current = nullptr;
    const XmlEventAttribute* attribute = nullptr;
    // How the parse ended, known once NextBatch() returned false: the input
    // could not be read (its code), or is not well-formed or passed a limit.
    HRESULT readFailure = S_OK;
    bool broken = false;

private:
    // What the parser side records of the first error, reported to the
    // owner when the reader reaches the end.
    struct ParseError {
        bool met = false;
        int line = 0;
        std::string message;
        bool inputEnded = false;
    };

    void Parse();
    void Finish();
    bool ParseInline();
    bool TakeBatch();
    bool HandOver(bool last);
    bool StartParserStack();
    static void ParserEntry(unsigned high, unsigned low);
    void SwitchToParser();
    void SwitchToReader(bool last);
    static int ReadInput(void* context, char* buffer, int length);
    void DropAfterLastStartTag();
    void Error(int line, const char* message, bool inputEnded);

    XmlEvent& Push(XmlNodeType type)
    {
        textOpen = false;
        selfClosed = false;
        filling->events.emplace_back();
        filling->events.back().type = type;
        filling->events.back().value = filling->text.size();
        return filling->events.back();
    }
    std::size_t Store(const xmlChar* value, std::size_t length)
    {
        const std::size_t at = filling->text.size();
        filling->text.append(reinterpret_cast<const char*>(value), length);
        return at;
    }
    void StoreAttributeValue(XmlEventAttribute& attribute, const xmlChar* value, const xmlChar* end);
    void AppendText(XmlNodeType type, const xmlChar* value, int length);
    // Hands the batch over when it is full; false when the reader has gone.
    bool AtTag() { return !stacked || !Full() || HandOver(false); }
    bool Full() const;
    void Stop()
    {
        stopped = true;
        xmlStopParser(parser);
    }
    // Fails the input at a limit of our own.
    void Refuse(const char* why);

    // The parser's callbacks; `context` is the queue.
    static void OnStartElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                               int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                               const xmlChar** values);
    static void OnEndElement(void* context, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri);
    static void OnCharacters(void* context, const xmlChar* value, int length);
    static void OnCData(void* context, const xmlChar* value, int length);
    static void OnComment(void* context, const xmlChar* value);
    static void OnProcessingInstruction(void* context, const xmlChar* target, const xmlChar* data);
    static void OnDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*);
    static void OnError(void* context, XmlErrorArg error);

    CXmlPullReader* owner = nullptr;
    xmlParserCtxtPtr parser = nullptr;
    bool stacked = false;   // parsed on a stack of its own
    bool parsed = false;    // the parse has run, or its stack is made
    bool finished = false;  // the reader has taken every batch

    // The parser's side.
    XmlEventBatch* filling;
    std::unique_ptr<char[]> input;  // read ahead of the parser, from the file
    std::size_t inputStart = 0;
    std::size_t inputEnd = 0;
    std::size_t memoryOffset = 0;
    HRESULT inputFailure = S_OK;
    bool inputDone = false;  // a read met the end of the input
    bool stopped = false;     // the parser met a fatal error or a DTD, or the reader went
    bool refused = false;     // a limit of our own was passed
    bool textOpen = false;    // the last event is a text the next callback may continue
    bool selfClosed = false;  // the last start tag closed itself: its end is no node
    unsigned depth = 0;       // elements open
    bool rootSeen = false;
    ParseError error;

    // Two batches: one delivered, one being filled; a third spare.
    XmlEventBatch batches[3];
    std::vector<XmlEventBatch*> spare;
    XmlEventBatch* ready = nullptr;  // handed over, not yet taken
    bool over = false;               // the last batch is handed over
    bool abandoned = false;          // the reader has gone

    // The parser's stack and where each side stands.
    struct MappedStack {
        void* base = nullptr;
        std::size_t size = 0;
        unsigned valgrindId = 0;
        ~MappedStack();
    };
    MappedStack stack;
    ucontext_t readerContext{};
    ucontext_t parserContext{};
    // For the address sanitizer: the reader's stack, and a stack's saved
    // state while it is left.
    const void* readerStack = nullptr;
    std::size_t readerStackSize = 0;
    void* savedFakeStack = nullptr;
};
