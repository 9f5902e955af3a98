#include "GPXMap.h"

GPXMap::GPXMap() = default;

GPXMap::~GPXMap() = default;

void GPXMap::InsertSimpleHandler(const std::wstring& name, ElementHandler handler)
{
    SimpleHandler& entry = simpleHandlers[name];
    entry = SimpleHandler{std::move(handler), nullptr};
    simpleKeys.push_back(name);
    simpleEntries.push_back(&entry);
    ++size;
}

void GPXMap::InsertUtf8TextHandler(const std::wstring& name, Utf8TextHandler handler)
{
    SimpleHandler& entry = simpleHandlers[name];
    entry = SimpleHandler{nullptr, std::move(handler)};
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

SimpleHandler* GPXMap::FindSimpleHandler(const std::wstring& name)
{
    for (std::size_t i = 0; i < simpleKeys.size(); ++i)
        if (SameName(simpleKeys[i], name))
            return simpleEntries[i];
    return nullptr;
}

ElementHandler* GPXMap::FindSimple(const std::wstring& name)
{
    SimpleHandler* handler = FindSimpleHandler(name);
    return handler && handler->wide ? &handler->wide : nullptr;
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
