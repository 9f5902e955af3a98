// The walk that both XML readers use to read one element through a handler
// table, and the attribute collector it calls.
//
// ReadElement is entered with the reader on an element's start tag. It walks
// the element's content until the first end tag carrying the element's own
// name (an empty table stops at the first end tag of any name):
// - a start tag whose name is a complex key calls that handler; other start
//   tags are not skipped, so the children of an unrecognised element are
//   matched as if they were direct children;
// - a text node (also CDATA) under a simple key calls that handler once with
//   the text trimmed of space, tab, CR and LF (as UTF-8 for a handler that
//   takes it);
// - handler results are ignored; a reader failure or the end of input ends
//   the walk with the reader's code (negative, or S_FALSE).
// Given a namespace set, the walk reads only elements of those namespaces: an
// element of any other namespace is skipped with everything it holds, so
// another vocabulary's "name" or "time" never reaches a handler.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "GPXMap.h"
#include "HResult.h"
#include "XElement.h"

class CXmlPullReader;

using CXAttributeList = std::vector<std::unique_ptr<CXAttribute>>;

// The namespace URIs whose elements a walk reads ("" for no namespace).
class CXmlNamespaceSet {
public:
    CXmlNamespaceSet() = default;
    CXmlNamespaceSet(std::initializer_list<const wchar_t*> uris);
    void Add(const std::wstring& uri);
    bool Contains(const std::wstring& uri) const;
    // Contains for a name of the pull reader, which keeps one lasting object
    // per distinct name: the names found are remembered by address, so a set
    // asked this way serves one reader, which outlives its use.
    bool ContainsName(const std::wstring& readerName) const;

private:
    std::vector<std::wstring> uris;
    mutable const std::wstring* found[4] = {};
    mutable unsigned foundNext = 0;
};

HRESULT ReadElement(CXmlPullReader& reader, GPXMap& table, CXAttributeList* attributes,
                    const CXmlNamespaceSet* namespaces = nullptr);

// Moves the reader from an element's start tag to its end tag, past all it
// holds (an empty element is left at once). S_OK, or the reader's code.
HRESULT SkipElement(CXmlPullReader& reader);

// Collects the current element's attributes (those not coming from a
// default) into `attributes` and returns to the element. S_FALSE when no list
// was passed or the element has none.
HRESULT ReadAttributes(CXmlPullReader& reader, CXAttributeList* attributes);

// Removes space, tab, CR and LF from both ends.
void TrimXmlSpace(std::wstring& text);
std::string_view TrimmedXmlSpace(std::string_view text);
