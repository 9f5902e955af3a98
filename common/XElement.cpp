#include "XElement.h"

CXElement::CXElement() = default;

CXElement::~CXElement()
{
    for (CXAttribute* a : attributes)
        delete a;
    for (CXElement* c : children)
        delete c;
}
