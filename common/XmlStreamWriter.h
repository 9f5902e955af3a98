// A streaming XML writer producing UTF-8 into a file. It writes the markup
// itself into a large buffer: libxml2's xmlTextWriter, which it replaced,
// spent more time per element than parsing the whole document costs, and the
// writer is on the path of every GPX element written.
//
// It keeps track of the namespace bindings in scope, so an element or
// attribute in a namespace gets its declaration only where the binding is
// not in scope already. Indentation puts each element on its own line,
// indented one space per level; text stays on its element's line. Every
// write returns a status; after a failure (a full disk, text XML cannot hold)
// the writer stays failed and every later write returns the same code.
#pragma once

#include <aio.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "HResult.h"

// A name checked and converted to UTF-8 once, for names written many times.
class CXmlName {
public:
    CXmlName(const std::wstring& prefix, const std::wstring& localName, const std::wstring& namespaceUri);
    // False for a name the writer would refuse (empty, or holding markup).
    bool IsValid() const { return valid; }

private:
    friend class CXmlStreamWriter;
    std::wstring prefix;
    std::wstring localName;
    std::wstring namespaceUri;
    std::string qualified;  // "prefix:localName" in UTF-8
    bool valid = false;
    bool declaration = false;  // an xmlns attribute
    // Never the same for two names made apart (copies share it): the writer
    // remembers by it that a name's namespace is bound already.
    std::uint64_t id = 0;
};

class CXmlStreamWriter {
public:
    // Output leaves in blocks of this size: few system calls for a long file.
    static constexpr std::size_t kDrainSize = 1 << 20;
    // After this much more output, what is written is made durable in the
    // background, so that Close() waits on the disk for the last part only.
    static constexpr std::size_t kSyncBehind = std::size_t{16} << 20;

    CXmlStreamWriter();
    ~CXmlStreamWriter();
    CXmlStreamWriter(const CXmlStreamWriter&) = delete;
    CXmlStreamWriter& operator=(const CXmlStreamWriter&) = delete;

    // Creates or truncates the file (UTF-8 file name).
    HRESULT OpenFile(const std::string& path, bool indent);
    // Writes to a file opened already; the writer owns `fd` from now on.
    HRESULT OpenDescriptor(int fd, bool indent);

    HRESULT WriteStartDocument(const char* standalone);
    HRESULT WriteStartElement(const std::wstring& prefix, const std::wstring& localName, const std::wstring& namespaceUri);
    HRESULT WriteStartElement(const CXmlName& name);
    // An attribute with prefix "xmlns" (or the name "xmlns") declares a
    // namespace binding. Only valid right after a start tag.
    HRESULT WriteAttributeString(const std::wstring& prefix, const std::wstring& localName,
                                 const std::wstring& namespaceUri, const std::wstring& value);
    // The same for text known to be ASCII (numbers, times), without a wide
    // copy; a byte outside ASCII gives E_INVALIDARG.
    HRESULT WriteAttributeString(const CXmlName& name, std::string_view asciiValue);
    // Text is escaped; characters that XML 1.0 cannot hold give E_INVALIDARG.
    HRESULT WriteString(const std::wstring& text);
    HRESULT WriteAsciiString(std::string_view text);
    // A whole element holding only text known to be ASCII (a number, a
    // time): the same bytes as a start, WriteAsciiString and a full end
    // element, in one step.
    HRESULT WriteAsciiElement(const CXmlName& name, std::string_view asciiValue);
    // Always a start and an end tag, never an empty-element tag.
    HRESULT WriteFullEndElement();
    // Closes every open element.
    HRESULT WriteEndDocument();
    // S_OK, or the first failure.
    HRESULT Status() const { return failure; }
    // Flushes, syncs and closes the file; the status of the whole output.
    HRESULT Close();

private:
    struct Open {
        std::size_t nameStart;  // in openNames
        std::size_t bindings;
        bool hasChildElements;
    };
    HRESULT Fail(HRESULT code);
    HRESULT CloseStartTag();
    void BeginChildElement();
    void NewLine(std::size_t depth);
    bool IsBound(const std::wstring& prefix, const std::wstring& uri) const;
    // The same for a prepared name (id not 0), remembering it until the
    // bindings change.
    bool IsBound(const std::wstring& prefix, const std::wstring& uri, std::uint64_t nameId);
    HRESULT StartTag(std::string_view qualified, const std::wstring& prefix, const std::wstring& namespaceUri,
                     std::uint64_t nameId);
    HRESULT AppendEscaped(const std::wstring& text, bool attribute);
    HRESULT AppendEscapedAscii(std::string_view text, bool attribute);
    HRESULT Drain(bool always);
    void SyncBehind();
    HRESULT WaitForSyncBehind();
    // Drain(false), inline for the many calls that find the buffer short of
    // a block.
    HRESULT DrainWhenFull() { return file >= 0 && used < kDrainSize ? failure : Drain(false); }
    // Room for `count` more bytes at the end of the buffer, without filling it.
    char* Reserve(std::size_t count)
    {
        return used + count <= out.size() ? out.data() + used : Grow(count);
    }
    char* Grow(std::size_t count);
    // Inline: most pieces are a few bytes of known length.
    void Put(const char* text, std::size_t length)
    {
        std::memcpy(Reserve(length), text, length);
        used += length;
    }

    int file = -1;
    std::size_t written = 0;  // bytes already handed to the file
    // The background sync: at most one at a time, started when `written`
    // stood at `syncedUpTo`.
    aiocb syncRequest{};
    bool syncPending = false;
    std::size_t syncedUpTo = 0;
    bool indent = false;
    bool startTagOpen = false;
    bool atLineStart = true;
    HRESULT failure = S_OK;
    std::string out;  // the first `used` bytes are waiting to be written
    std::size_t used = 0;
    std::vector<Open> open;
    std::string scratchName;  // a name being converted
    std::string openNames;  // qualified names of the open elements, one after another
    // Bindings in scope, innermost last; each open element notes where its own start.
    std::vector<std::pair<std::wstring, std::wstring>> bindings;
    std::uint64_t bindingsVersion = 0;  // counts the changes of `bindings`
    // Prepared names found bound, with the bindings they were found in (a
    // few slots, by the name's id).
    struct BoundName {
        std::uint64_t nameId = 0;
        std::uint64_t version = 0;
    };
    BoundName boundNames[32];
};
