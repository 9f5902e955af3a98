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

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "HResult.h"

class CXmlStreamWriter {
public:
    CXmlStreamWriter();
    ~CXmlStreamWriter();
    CXmlStreamWriter(const CXmlStreamWriter&) = delete;
    CXmlStreamWriter& operator=(const CXmlStreamWriter&) = delete;

    // Creates or truncates the file (UTF-8 file name).
    HRESULT OpenFile(const std::string& path, bool indent);

    HRESULT WriteStartDocument(const char* standalone);
    HRESULT WriteStartElement(const std::wstring& prefix, const std::wstring& localName, const std::wstring& namespaceUri);
    // An attribute with prefix "xmlns" (or the name "xmlns") declares a
    // namespace binding. Only valid right after a start tag.
    HRESULT WriteAttributeString(const std::wstring& prefix, const std::wstring& localName,
                                 const std::wstring& namespaceUri, const std::wstring& value);
    // Text is escaped; characters that XML 1.0 cannot hold give E_INVALIDARG.
    HRESULT WriteString(const std::wstring& text);
    // Always a start and an end tag, never an empty-element tag.
    HRESULT WriteFullEndElement();
    // Closes every open element.
    HRESULT WriteEndDocument();
    HRESULT Flush();
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
    void NewLine(std::size_t depth);
    bool IsBound(const std::wstring& prefix, const std::wstring& uri) const;
    HRESULT AppendName(const std::wstring& prefix, const std::wstring& localName);
    HRESULT AppendEscaped(const std::wstring& text, bool attribute);
    HRESULT Drain(bool always);
    char* Reserve(std::size_t count);
    void Put(const char* text, std::size_t length);

    FILE* file = nullptr;
    bool indent = false;
    bool startTagOpen = false;
    bool atLineStart = true;
    HRESULT failure = S_OK;
    std::string out;  // the first `used` bytes are waiting to be written
    std::size_t used = 0;
    std::vector<Open> open;
    std::string openNames;  // qualified names of the open elements, one after another
    // Bindings in scope, innermost last; each open element notes where its own start.
    std::vector<std::pair<std::wstring, std::wstring>> bindings;
};
