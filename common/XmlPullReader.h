// A forward-only XML reader with the operations the element handler walk
// needs. libxml2's parser reports what it meets to callbacks, which put light
// events (a start tag with its names and attributes, a text, an end tag) into
// batches; Read() takes them a batch at a time, so no tree is built. A file or
// a large input is parsed in turns with the reader, on a stack of its own,
// a batch at a time: memory stays bounded whatever the input's size.
//
// Hardened for untrusted input: a document type declaration makes reading
// fail (DTDs are prohibited), entities are never expanded, nothing is fetched
// from the network, and libxml2's own size and depth limits stay on. Errors
// are recorded here, never printed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "HResult.h"

// Status codes of the reader; any negative value means the reader has failed
// and stays failed.
constexpr HRESULT XML_E_MALFORMED = static_cast<HRESULT>(0xC00CEE01u);
constexpr HRESULT XML_E_DTDPROHIBITED = static_cast<HRESULT>(0xC00CEE3Du);
constexpr HRESULT XML_E_NOINPUT = static_cast<HRESULT>(0xC00CEE02u);
constexpr HRESULT XML_E_TOOLARGE = static_cast<HRESULT>(0xC00CEE03u);

// An errno value as a failure code (the facility of system errors).
HRESULT HResultFromErrno(int error);

enum class XmlNodeType {
    None,
    Element,
    Text,
    CData,
    Whitespace,
    EndElement,
    Comment,
    ProcessingInstruction,
    Other,
};

class CXmlPullReader {
public:
    CXmlPullReader();
    ~CXmlPullReader();
    CXmlPullReader(const CXmlPullReader&) = delete;
    CXmlPullReader& operator=(const CXmlPullReader&) = delete;

    // Reads the file at `path` (UTF-8 file name). Fails with the errno code
    // when it cannot be opened.
    HRESULT OpenFile(const std::string& path);
    // Reads `size` bytes at `data`; the bytes must outlive the reader.
    HRESULT OpenMemory(const char* data, std::size_t size);

    // S_OK on a node, S_FALSE at the end of the input (also when it ends
    // with elements still open), negative on error.
    HRESULT Read();
    XmlNodeType NodeType() const { return nodeType; }

    // Names of the current node (element or attribute); empty when none.
    // Each name is converted once and kept for the reader's lifetime: the
    // reference stays valid, and equal names give the same object, so a
    // walk may keep a name and compare it by address.
    const std::wstring& LocalName();
    const std::wstring& Prefix();
    // The namespace URI of the current element or attribute; empty when it
    // has none (also for a prefix that no declaration binds).
    const std::wstring& NamespaceUri();
    HRESULT GetValue(std::wstring& value);
    // The value as libxml2 holds it (UTF-8), valid until the reader moves;
    // empty when there is none.
    std::string_view ValueUtf8();
    bool IsEmptyElement();
    // A string for a walk to read values into, kept with the reader so that
    // its room serves one value after the other.
    std::wstring& ValueBuffer() { return valueBuffer; }

    int AttributeCount();
    // S_OK when moved, S_FALSE when there is no (further) attribute.
    HRESULT MoveToFirstAttribute();
    HRESULT MoveToNextAttribute();
    HRESULT MoveToElement();
    bool IsDefault();

    // The first error met, as "line N: text", or empty.
    const std::string& ErrorText() const { return errorText; }
    void RecordError(int line, const char* message, bool inputEnded);

private:
    struct Impl;
    // Every name met, UTF-8 to wide; the map's entries never move.
    using NameTable = std::unordered_map<std::string, std::wstring>;
    // A quick way to the entry: the parser hands out each name from its
    // dictionary, where it stays while the parser lives, so the pointer
    // alone finds the entry; the cache is emptied with each new parser.
    struct CachedName {
        const void* key = nullptr;
        const NameTable::value_type* entry = nullptr;
    };
    using NameCache = std::array<CachedName, 256>;
    HRESULT Fail(HRESULT code, const std::string& why);
    HRESULT Refill();
    HRESULT FailDocumentType();
    HRESULT Open(std::unique_ptr<Impl> opened, std::size_t size);
    // Inline for the common case, a name met before; ConvertNew does the rest.
    const std::wstring& Convert(const unsigned char* name, NameCache& cache)
    {
        if (name) {
            const CachedName& cached = cache[SlotOf(name)];
            if (cached.key == name)
                return cached.entry->second;
        }
        return ConvertNew(name, cache);
    }
    // Fibonacci hashing spreads names that lie close together in the
    // parser's dictionary over the slots.
    static std::size_t SlotOf(const unsigned char* name)
    {
        const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(name));
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 56) % std::tuple_size<NameCache>::value;
    }
    const std::wstring& ConvertNew(const unsigned char* name, NameCache& cache);

    std::unique_ptr<Impl> impl;
    XmlNodeType nodeType = XmlNodeType::None;
    HRESULT failure = S_OK;  // S_FALSE once the input ended early
    bool endedEarly = false;
    std::string errorText;
    std::wstring valueBuffer;
    NameTable names;
    std::unique_ptr<NameCache> nameCache = std::make_unique<NameCache>();
};

// UTF-8 (as libxml2 hands it out, always valid) appended as wide characters.
void AppendUtf8AsWide(std::wstring& out, const char* text, std::size_t length);
