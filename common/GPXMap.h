// The element handler table shared by the XML readers: element local names
// (compared exactly) mapped to handlers. A simple handler receives the
// element's trimmed text; a complex handler is called at the element's start
// tag with an empty string and reads the element's content itself.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "HResult.h"

// The text comes as an rvalue: a handler may take it, or only read it and
// leave its buffer to the walk, which reuses it for the next text.
using ElementHandler = std::function<HRESULT(std::wstring&&)>;

// A handler that only stores the element's text through `set`.
template <typename F>
ElementHandler TextHandler(F set)
{
    return [set](std::wstring&& text) {
        set(text);
        return S_OK;
    };
}

// A simple handler for numbers and times: it receives the element's text as
// the reader holds it (UTF-8, trimmed as for ElementHandler), so that none of
// a track's many values is copied into a wide string only to be parsed.
using Utf8TextHandler = std::function<void(std::string_view)>;

// Element and attribute names are a few characters long: compared in place,
// without a library call for each of the many that a long track holds.
inline bool SameName(const std::wstring& name, std::wstring_view expected)
{
    const std::size_t size = expected.size();
    if (size != name.size())
        return false;
    const wchar_t* a = name.data();
    for (std::size_t i = 0; i < size; ++i)
        if (a[i] != expected[i])
            return false;
    return true;
}

// What a simple key holds: one of the two handlers.
struct SimpleHandler {
    ElementHandler wide;
    Utf8TextHandler utf8;
};

class GPXMap {
public:
    GPXMap();
    ~GPXMap();
    GPXMap(const GPXMap&) = delete;  // the key entries point into this map
    GPXMap& operator=(const GPXMap&) = delete;

    // Both replace a handler of the same name, append the name to the key
    // list (duplicates kept) and count the insertion.
    void InsertSimpleHandler(const std::wstring& name, ElementHandler handler);
    void InsertComplexHandler(const std::wstring& name, ElementHandler handler);
    // A simple key whose handler takes the UTF-8 text; it replaces a simple
    // handler of the same name, and is replaced by one, like the others.
    void InsertUtf8TextHandler(const std::wstring& name, Utf8TextHandler handler);

    // The handler of a key, or null when the name is no key (FindSimple:
    // also when the key's handler takes UTF-8 text).
    ElementHandler* FindSimple(const std::wstring& name);
    SimpleHandler* FindSimpleHandler(const std::wstring& name);
    ElementHandler* FindComplex(const std::wstring& name);
    std::uint32_t GetSize() const;

private:
    std::map<std::wstring, ElementHandler> complexHandlers;
    std::map<std::wstring, SimpleHandler> simpleHandlers;
    std::vector<std::wstring> simpleKeys;
    std::vector<std::wstring> complexKeys;
    // The map entry of each key, in key order (map entries never move).
    std::vector<SimpleHandler*> simpleEntries;
    std::vector<ElementHandler*> complexEntries;
    std::uint32_t size = 0;
};
