// The inside of the XML pull reader: libxml2's push parser is handed the
// input a chunk at a time, and its callbacks queue what it meets as light
// events for the reader to deliver. Only the reader uses it.
#pragma once

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
// strings (they live as long as the parser); values are kept in the queue's
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

// The queue's text: the values of a chunk's events one after another. Its
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
    // Drops the first `count` bytes.
    void erase_front(std::size_t count)
    {
        std::memmove(data.get(), data.get() + count, used - count);
        used -= count;
    }
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

// The queue and its input. The reader reads the members directly; the
// callbacks and the input handling are the queue's own.
class CXmlEventQueue {
public:
    CXmlEventQueue() = default;
    ~CXmlEventQueue();
    CXmlEventQueue(const CXmlEventQueue&) = delete;
    CXmlEventQueue& operator=(const CXmlEventQueue&) = delete;

    // Makes the parser; `owner` is told of every error.
    HRESULT Start(CXmlPullReader* owner);
    // Parses the next chunk into the queue, dropping what was delivered.
    // S_OK, or the code of a failed read of the input.
    HRESULT ParseNext();
    // A text at the end of the queue waits for what follows it; one that the
    // end of the input cuts off is never delivered.
    bool Deliverable() const { return next < events.size() && !(textOpen && next + 1 == events.size()); }

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
    std::vector<XmlEvent> events;
    std::vector<XmlEventAttribute> attributes;
    CXmlTextBuffer text;
    std::size_t next = 0;
    bool textOpen = false;    // the last event is a text the next chunk may continue
    bool selfClosed = false;  // the last start tag closed itself: its end is no node
    unsigned depth = 0;       // elements open
    bool rootSeen = false;

    // Where Read() stands: the event, and the attribute (or none).
    const XmlEvent* current = nullptr;
    const XmlEventAttribute* attribute = nullptr;

private:
    HRESULT ReadAhead();
    HRESULT ReadInput(const char*& data, std::size_t& size, bool& last);
    void Compact();
    void DropAfterLastStartTag();

    XmlEvent& Push(XmlNodeType type)
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
    void StoreAttributeValue(XmlEventAttribute& attribute, const xmlChar* value, const xmlChar* end);
    void AppendText(XmlNodeType type, const xmlChar* value, int length);
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
};
