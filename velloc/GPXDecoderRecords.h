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
    Filling(S*& slot, S* record) : slot_(slot), saved_(slot) { slot_ = record; }
    ~Filling() { slot_ = saved_; }
    Filling(const Filling&) = delete;
    Filling& operator=(const Filling&) = delete;

private:
    S*& slot_;
    S* saved_;
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
void SetOptional(GPXOptional<T>& field, T value)
{
    field.Set(value);
}

template <typename T>
void DeleteAndClear(T*& field)
{
    delete field;
    field = nullptr;
}

template <typename T>
void DeleteAndClear(GPXOptional<T>& field)
{
    field.Reset();
}

// A later occurrence of an optional number replaces the earlier one; a text
// that is not a number leaves the field as it was.
// The texts come as the reader holds them (UTF-8).
inline void SetDouble(GPXOptional<double>& field, std::string_view text)
{
    double value;
    if (ParseLeadingDouble(text, value))
        SetOptional(field, value);
}

inline void SetInt(GPXOptional<std::int32_t>& field, std::string_view text)
{
    std::int32_t value;
    if (ParseLeadingInt32(text, value))
        SetOptional(field, value);
}

inline void SetUInt(GPXOptional<std::uint32_t>& field, std::string_view text)
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
    AttributeValue(CXmlPullReader& reader, std::wstring& buffer) : reader_(reader), buffer_(buffer) {}
    operator const std::wstring&() const
    {
        reader_.GetValue(buffer_);
        return buffer_;
    }
    bool ReadDouble(double& field) const { return ParseLeadingDouble(reader_.ValueUtf8(), field); }

private:
    CXmlPullReader& reader_;
    std::wstring& buffer_;
};

inline void SetDouble(double& field, const AttributeValue& value)
{
    value.ReadDouble(field);
}

}  // namespace GPXDecoding
