#include "MetadataValue.h"

#include "MetadataBlock.h"

MetadataValue MetadataValue::FromAscii(std::string text)
{
    MetadataValue v;
    v.type_ = ValueType::Ascii;
    v.bytes_ = std::move(text);
    return v;
}

MetadataValue MetadataValue::FromUInt8(std::uint8_t n)
{
    return FromNumbers(ValueType::UInt8, {n});
}

MetadataValue MetadataValue::FromUInt16(std::uint16_t n)
{
    return FromNumbers(ValueType::UInt16, {n});
}

MetadataValue MetadataValue::FromUInt32(std::uint32_t n)
{
    return FromNumbers(ValueType::UInt32, {n});
}

MetadataValue MetadataValue::FromRational(std::uint32_t numerator, std::uint32_t denominator)
{
    return FromNumbers(ValueType::URational, {PackRational(numerator, denominator)});
}

MetadataValue MetadataValue::FromRationals(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& values)
{
    std::vector<std::uint64_t> packed;
    packed.reserve(values.size());
    for (const auto& r : values) packed.push_back(PackRational(r.first, r.second));
    return FromNumbers(ValueType::URationalVector, std::move(packed));
}

MetadataValue MetadataValue::FromNumbers(ValueType type, std::vector<std::uint64_t> numbers)
{
    MetadataValue v;
    v.type_ = type;
    v.numbers_ = std::move(numbers);
    return v;
}

MetadataValue MetadataValue::FromWideText(std::wstring text)
{
    MetadataValue v;
    v.type_ = ValueType::WideText;
    v.text_ = std::move(text);
    return v;
}

MetadataValue MetadataValue::FromBlob(std::string bytes)
{
    MetadataValue v;
    v.type_ = ValueType::Blob;
    v.bytes_ = std::move(bytes);
    return v;
}

MetadataValue MetadataValue::FromBlock(std::shared_ptr<MetadataBlock> block)
{
    MetadataValue v;
    v.type_ = block ? ValueType::Block : ValueType::Empty;
    v.block_ = std::move(block);
    return v;
}

double MetadataValue::RationalToDouble(std::uint64_t packed)
{
    return static_cast<double>(Numerator(packed)) / static_cast<double>(Denominator(packed));
}

double MetadataValue::SignedRationalToDouble(std::uint64_t packed)
{
    return static_cast<double>(static_cast<std::int32_t>(Numerator(packed))) /
           static_cast<double>(static_cast<std::int32_t>(Denominator(packed)));
}

void MetadataValue::SetNative(std::shared_ptr<const NativeValue> native, ValueType type)
{
    native_ = std::move(native);
    if (type_ == ValueType::Empty) type_ = type;
}
