// One typed metadata value, as a metadata block holds it: text, numbers,
// vectors of them, a blob or a nested block. Values read from a picture also
// carry the library's own form of the value, so that an item that is only
// carried over is written back exactly as it was read.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MetadataBlock;
struct NativeValue;  // the metadata library's own value; defined where it is used

enum class ValueType {
    Empty,
    Ascii,        // 8-bit text (EXIF ASCII, XMP text)
    UInt8,
    UInt16,
    UInt32,
    URational,    // numerator in the low half, denominator in the high half
    UInt8Vector,
    UInt16Vector,
    UInt32Vector,
    URationalVector,
    SRational,       // signed: the two 32-bit halves hold two's complement numbers
    SRationalVector,
    WideText,     // IPTC text, decoded with the picture's character set
    Blob,
    Block,        // a nested metadata block
    Other,        // a type we carry but do not interpret (signed, float, undefined...)
};

class MetadataValue {
public:
    MetadataValue() = default;

    static MetadataValue FromAscii(std::string text);
    static MetadataValue FromUInt8(std::uint8_t v);
    static MetadataValue FromUInt16(std::uint16_t v);
    static MetadataValue FromUInt32(std::uint32_t v);
    static MetadataValue FromRational(std::uint32_t numerator, std::uint32_t denominator);
    static MetadataValue FromRationals(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& values);
    static MetadataValue FromNumbers(ValueType vectorType, std::vector<std::uint64_t> numbers);
    static MetadataValue FromWideText(std::wstring text);
    static MetadataValue FromBlob(std::string bytes);
    static MetadataValue FromBlock(std::shared_ptr<MetadataBlock> block);

    ValueType Type() const { return type_; }
    bool IsEmpty() const { return type_ == ValueType::Empty; }
    bool IsBlock() const { return type_ == ValueType::Block; }

    // Text of Ascii values, bytes of Blob values.
    const std::string& Bytes() const { return bytes_; }
    const std::wstring& Text() const { return text_; }
    // Scalars and vectors alike: element count and elements (rationals packed).
    size_t Count() const { return numbers_.size(); }
    std::uint64_t Number(size_t i) const { return i < numbers_.size() ? numbers_[i] : 0; }
    const std::vector<std::uint64_t>& Numbers() const { return numbers_; }
    std::shared_ptr<MetadataBlock> Block() const { return block_; }

    static std::uint64_t PackRational(std::uint32_t numerator, std::uint32_t denominator)
    {
        return static_cast<std::uint64_t>(denominator) << 32 | numerator;
    }
    static std::uint32_t Numerator(std::uint64_t packed) { return static_cast<std::uint32_t>(packed); }
    static std::uint32_t Denominator(std::uint64_t packed) { return static_cast<std::uint32_t>(packed >> 32); }
    // numerator / denominator in floating point (0 denominators give inf or NaN).
    static double RationalToDouble(std::uint64_t packed);
    // The same for a signed rational.
    static double SignedRationalToDouble(std::uint64_t packed);

    // The library form this value was read from, if any.
    const std::shared_ptr<const NativeValue>& Native() const { return native_; }
    void SetNative(std::shared_ptr<const NativeValue> native, ValueType type);

private:
    ValueType type_ = ValueType::Empty;
    std::string bytes_;
    std::wstring text_;
    std::vector<std::uint64_t> numbers_;
    std::shared_ptr<MetadataBlock> block_;
    std::shared_ptr<const NativeValue> native_;
};
