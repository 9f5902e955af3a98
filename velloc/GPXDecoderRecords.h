// Small helpers of the decoder's tables: filling a record for the time of a
// walk, storing and appending what a reader returns, and the conversions of
// element texts into optional values.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "GPXModel.h"
#include "TextNumber.h"
#include "XmlPullReader.h"

namespace GPXDecoding {

// Sets a field for the time of a reader's walk, restoring it afterwards
// (also when a handler throws).
template <typename S>
class Filling {
public:
    Filling(S*& slot_, S* record) : slot(slot_), saved(slot_) { slot = record; }
    ~Filling() { slot = saved; }
    Filling(const Filling&) = delete;
    Filling& operator=(const Filling&) = delete;

private:
    S*& slot;
    S* saved;
};

template <typename T>
void Store(T*& field, std::unique_ptr<T> record)
{
    if (record) {
        delete field;
        field = record.release();
    }
}

template <typename T, typename U>
void Append(std::vector<T*>& list, std::unique_ptr<U> record)
{
    if (record) {
        list.push_back(record.get());
        record.release();
    }
}

template <typename T>
void SetOptional(T*& field, T value)
{
    delete field;
    field = new T(value);
}

template <typename T>
void DeleteAndClear(T*& field)
{
    delete field;
    field = nullptr;
}

// Each occurrence of an optional number allocates a new value; a text that
// is not a number leaves the field as it was.
inline void SetDouble(double*& field, const std::wstring& text)
{
    double value;
    if (ParseLeadingDouble(text, value))
        SetOptional(field, value);
}

inline void SetInt(std::int32_t*& field, const std::wstring& text)
{
    std::int32_t value;
    if (ParseLeadingInt32(text, value))
        SetOptional(field, value);
}

inline void SetUInt(std::uint32_t*& field, const std::wstring& text)
{
    std::uint32_t value;
    if (ParseLeadingUInt32(text, value))
        SetOptional(field, value);
}

// The value of the attribute the reader stands on, turned into wide text
// only where it is used as text: coordinates are read from libxml2's own
// UTF-8 buffer.
class AttributeValue {
public:
    AttributeValue(CXmlPullReader& reader_, std::wstring& buffer_) : reader(reader_), buffer(buffer_) {}
    operator const std::wstring&() const
    {
        reader.GetValue(buffer);
        return buffer;
    }
    bool ReadDouble(double& field) const { return ParseLeadingDouble(reader.ValueUtf8(), field); }

private:
    CXmlPullReader& reader;
    std::wstring& buffer;
};

inline void SetDouble(double& field, const AttributeValue& value)
{
    value.ReadDouble(field);
}

}  // namespace GPXDecoding
