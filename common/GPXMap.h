// The element handler table shared by the XML readers: element local names
// (compared exactly) mapped to handlers. A simple handler receives the
// element's trimmed text; a complex handler is called at the element's start
// tag with an empty string and reads the element's content itself.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
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

    // The handler of a key, or null when the name is no key.
    ElementHandler* FindSimple(const std::wstring& name);
    ElementHandler* FindComplex(const std::wstring& name);
    std::uint32_t GetSize() const;

private:
    std::map<std::wstring, ElementHandler> complexHandlers;
    std::map<std::wstring, ElementHandler> simpleHandlers;
    std::vector<std::wstring> simpleKeys;
    std::vector<std::wstring> complexKeys;
    // The map entry of each key, in key order (map entries never move).
    std::vector<ElementHandler*> simpleEntries;
    std::vector<ElementHandler*> complexEntries;
    std::uint32_t size = 0;
};
