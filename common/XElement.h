// The attribute record the XML readers collect.
#pragma once

#include <string>

struct CXAttribute {
    std::wstring namespaceUri;  // left empty by the readers
    std::wstring prefix;
    std::wstring localName;
    std::wstring value;
};
