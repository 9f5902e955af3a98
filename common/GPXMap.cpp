#include "GPXMap.h"

namespace {

// Keys are a few characters long: compared in place, without a library call
// per key.
bool SameName(const std::wstring& key, const std::wstring& name)
{
    const std::size_t size = key.size();
    if (size != name.size())
        return false;
    const wchar_t* a = key.data();
    const wchar_t* b = name.data();
    for (std::size_t i = 0; i < size; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

}  // namespace

GPXMap::GPXMap() = default;

GPXMap::~GPXMap() = default;

void GPXMap::InsertSimpleHandler(const std::wstring& name, ElementHandler handler)
{
    ElementHandler& entry = simpleHandlers[name];
    entry = std::move(handler);
    simpleKeys.push_back(name);
    simpleEntries.push_back(&entry);
    ++size;
}

void GPXMap::InsertComplexHandler(const std::wstring& name, ElementHandler handler)
{
    ElementHandler& entry = complexHandlers[name];
    entry = std::move(handler);
    complexKeys.push_back(name);
    complexEntries.push_back(&entry);
    ++size;
}

ElementHandler* GPXMap::FindSimple(const std::wstring& name)
{
    for (std::size_t i = 0; i < simpleKeys.size(); ++i)
        if (SameName(simpleKeys[i], name))
            return simpleEntries[i];
    return nullptr;
}

ElementHandler* GPXMap::FindComplex(const std::wstring& name)
{
    for (std::size_t i = 0; i < complexKeys.size(); ++i)
        if (SameName(complexKeys[i], name))
            return complexEntries[i];
    return nullptr;
}

std::uint32_t GPXMap::GetSize() const
{
    return size;
}
