#include "ElementReader.h"

#include <iterator>

#include "XmlPullReader.h"

namespace {

bool IsXmlSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

}  // namespace

std::string_view TrimmedXmlSpace(std::string_view text)
{
    std::size_t end = text.size();
    while (end > 0 && IsXmlSpace(static_cast<wchar_t>(text[end - 1])))
        --end;
    std::size_t begin = 0;
    while (begin < end && IsXmlSpace(static_cast<wchar_t>(text[begin])))
        ++begin;
    return text.substr(begin, end - begin);
}

void TrimXmlSpace(std::wstring& text)
{
    std::size_t end = text.size();
    while (end > 0 && IsXmlSpace(text[end - 1]))
        --end;
    std::size_t begin = 0;
    while (begin < end && IsXmlSpace(text[begin]))
        ++begin;
    if (end < text.size())
        text.erase(end);
    if (begin > 0)
        text.erase(0, begin);
}

HRESULT ReadAttributes(CXmlPullReader& reader, CXAttributeList* attributes)
{
    if (!attributes || reader.AttributeCount() <= 0)
        return S_FALSE;
    HRESULT hr = reader.MoveToFirstAttribute();
    if (hr != S_OK)
        return hr;
    while (hr == S_OK) {
        if (!reader.IsDefault()) {
            auto attribute = std::make_unique<CXAttribute>();
            attribute->prefix = reader.Prefix();
            attribute->localName = reader.LocalName();
            if (SUCCEEDED(reader.GetValue(attribute->value)))
                attributes->push_back(std::move(attribute));
        }
        hr = reader.MoveToNextAttribute();
    }
    return reader.MoveToElement();
}

CXmlNamespaceSet::CXmlNamespaceSet(std::initializer_list<const wchar_t*> list)
{
    for (const wchar_t* uri : list)
        uris.emplace_back(uri);
}

void CXmlNamespaceSet::Add(const std::wstring& uri)
{
    if (!Contains(uri))
        uris.push_back(uri);
}

bool CXmlNamespaceSet::Contains(const std::wstring& uri) const
{
    for (const std::wstring& known : uris)
        if (known == uri)
            return true;
    return false;
}

bool CXmlNamespaceSet::ContainsName(const std::wstring& readerName) const
{
    for (const std::wstring* name : found)
        if (name == &readerName)
            return true;
    if (!Contains(readerName))
        return false;
    found[foundNext++ % std::size(found)] = &readerName;
    return true;
}

HRESULT SkipElement(CXmlPullReader& reader)
{
    if (reader.IsEmptyElement())
        return S_OK;
    for (std::size_t open = 1; open > 0;) {
        const HRESULT hr = reader.Read();
        if (hr != S_OK)
            return hr;
        if (reader.NodeType() == XmlNodeType::Element && !reader.IsEmptyElement())
            ++open;
        else if (reader.NodeType() == XmlNodeType::EndElement)
            --open;
    }
    return S_OK;
}

HRESULT ReadElement(CXmlPullReader& reader, GPXMap& table, CXAttributeList* attributes,
                    const CXmlNamespaceSet* namespaces)
{
    const bool empty = reader.IsEmptyElement();
    // The reader keeps one string per distinct name, so names are held and
    // compared by address: no copy per element.
    const std::wstring* const ownName = &reader.LocalName();
    HRESULT result = S_OK;
    ReadAttributes(reader, attributes);
    if (empty)
        return result;

    // The name of the last start or end tag seen decides which simple handler
    // a text node goes to; before any, it is the element's own.
    const std::wstring* currentName = ownName;
    std::wstring& text = reader.ValueBuffer();
    // The namespace last found in the set (names are lasting objects of the
    // reader): the elements of one vocabulary need one comparison.
    const std::wstring* accepted = nullptr;
    for (;;) {
        const HRESULT hr = reader.Read();
        if (hr != S_OK)
            return hr;
        switch (reader.NodeType()) {
        case XmlNodeType::Element:
            if (namespaces && &reader.NamespaceUri() != accepted && !namespaces->ContainsName(reader.NamespaceUri())) {
                // Its end tag is consumed here, so the current name stays.
                const HRESULT skipped = SkipElement(reader);
                if (skipped != S_OK)
                    return skipped;
                break;
            }
            if (namespaces)
                accepted = &reader.NamespaceUri();
            currentName = &reader.LocalName();
            if (ElementHandler* handler = table.FindComplex(*currentName))
                (*handler)(std::wstring());
            break;
        case XmlNodeType::Text:
        case XmlNodeType::CData:
            // CDATA is text too: descriptions are often wrapped in it, and
            // dropping them would lose data.
            if (SimpleHandler* handler = table.FindSimpleHandler(*currentName)) {
                if (handler->utf8) {
                    handler->utf8(TrimmedXmlSpace(reader.ValueUtf8()));
                } else if (SUCCEEDED(reader.GetValue(text))) {
                    TrimXmlSpace(text);
                    handler->wide(std::move(text));
                }
            }
            break;
        case XmlNodeType::EndElement:
            currentName = &reader.LocalName();
            if (table.GetSize() == 0 || currentName == ownName)
                return result;
            break;
        default:
            break;
        }
    }
}
