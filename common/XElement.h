// In-memory element and attribute records: what the readers collect as
// attributes and what the GPX encoder builds before writing an item.
#pragma once

#include <string>
#include <vector>

#include "XmlExport.h"

struct CXAttribute {
    std::wstring namespaceUri;  // left empty by the readers
    std::wstring prefix;
    std::wstring localName;
    std::wstring value;
};

// Owns its attributes and, recursively, its children.
class CORVANE_XML_API CXElement {
public:
    CXElement();
    ~CXElement();
    CXElement(const CXElement&) = delete;
    CXElement& operator=(const CXElement&) = delete;

    std::wstring namespaceUri;
    std::wstring prefix;
    std::wstring localName;
    std::wstring value;
    std::vector<CXAttribute*> attributes;
    std::vector<CXElement*> children;
};
