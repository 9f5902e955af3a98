#include "Exiv2Native.h"

#include <mutex>

#include "StringUtil.h"

void InitializeExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::XmpParser::initialize();
        // Library warnings about odd files are not ours to print; failures
        // reach the user through our own messages.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

namespace {

std::vector<std::uint64_t> NumbersOf(const Exiv2::Value& value, bool rational)
{
    std::vector<std::uint64_t> out;
    const long count = value.count();
    out.reserve(static_cast<size_t>(count));
    for (long i = 0; i < count; ++i) {
        if (rational) {
            const Exiv2::Rational r = value.toRational(i);
            out.push_back(MetadataValue::PackRational(static_cast<std::uint32_t>(r.first),
                                                      static_cast<std::uint32_t>(r.second)));
        } else {
            out.push_back(static_cast<std::uint64_t>(value.toLong(i)));
        }
    }
    return out;
}

std::string RawBytes(const Exiv2::Value& value)
{
    std::string bytes(static_cast<size_t>(value.size()), '\0');
    if (!bytes.empty()) value.copy(reinterpret_cast<Exiv2::byte*>(&bytes[0]), Exiv2::littleEndian);
    return bytes;
}

MetadataValue TypedScalarOrVector(const Exiv2::Value& value, ValueType scalar, ValueType vector, bool rational)
{
    auto numbers = NumbersOf(value, rational);
    return MetadataValue::FromNumbers(numbers.size() == 1 ? scalar : vector, std::move(numbers));
}

}  // namespace

namespace {

MetadataValue TypedOf(NativeValue::Kind kind, const Exiv2::Value& value, bool iptcLatin1)
{
    MetadataValue typed;
    switch (value.typeId()) {
    case Exiv2::asciiString: {
        std::string text = value.toString();
        const size_t nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
        typed = MetadataValue::FromAscii(std::move(text));
        break;
    }
    case Exiv2::unsignedByte:
        typed = TypedScalarOrVector(value, ValueType::UInt8, ValueType::UInt8Vector, false);
        break;
    case Exiv2::unsignedShort:
        typed = TypedScalarOrVector(value, ValueType::UInt16, ValueType::UInt16Vector, false);
        break;
    case Exiv2::unsignedLong:
        typed = TypedScalarOrVector(value, ValueType::UInt32, ValueType::UInt32Vector, false);
        break;
    case Exiv2::unsignedRational:
        typed = TypedScalarOrVector(value, ValueType::URational, ValueType::URationalVector, true);
        break;
    case Exiv2::signedRational:
        typed = TypedScalarOrVector(value, ValueType::SRational, ValueType::SRationalVector, true);
        break;
    case Exiv2::undefined:
        typed = MetadataValue::FromBlob(RawBytes(value));
        break;
    case Exiv2::string:
        if (kind == NativeValue::Iptc) {
            const std::string bytes = value.toString();
            typed = MetadataValue::FromWideText(iptcLatin1 ? Latin1ToWide(bytes) : Utf8OrLatin1ToWide(bytes));
        } else {
            typed = MetadataValue::FromAscii(value.toString());
        }
        break;
    case Exiv2::date:
    case Exiv2::time:
    case Exiv2::xmpText:
        typed = MetadataValue::FromAscii(value.toString());
        break;
    default:
        typed = kind == NativeValue::Xmp ? MetadataValue::FromAscii(value.toString()) : MetadataValue();
        break;
    }
    return typed;
}

}  // namespace

MetadataValue TypedFromExiv2(NativeValue::Kind kind, const std::string& key, const Exiv2::Value& value,
                             bool iptcLatin1, size_t order)
{
    MetadataValue typed = TypedOf(kind, value, iptcLatin1);
    auto native = std::make_shared<NativeValue>();
    native->ValueKind = kind;
    native->Key = key;
    native->Value = std::shared_ptr<const Exiv2::Value>(value.clone().release());
    native->Order = order;
    typed.SetNative(std::move(native), ValueType::Other);
    return typed;
}

MetadataValue TypedFromExifDatum(const Exiv2::Exifdatum& datum, size_t order)
{
    MetadataValue typed = TypedOf(NativeValue::Exif, datum.value(), false);
    auto native = std::make_shared<NativeValue>();
    native->ValueKind = NativeValue::Exif;
    native->Order = order;
    native->ExifDatum = std::make_shared<const Exiv2::Exifdatum>(datum);
    typed.SetNative(std::move(native), ValueType::Other);
    return typed;
}

std::unique_ptr<Exiv2::Value> Exiv2FromTyped(const MetadataValue& value, bool forIptc)
{
    std::unique_ptr<Exiv2::Value> v;
    auto numbers = [&](Exiv2::TypeId type) {
        v.reset(Exiv2::Value::create(type).release());
        std::string text;
        for (std::uint64_t n : value.Numbers()) {
            if (!text.empty()) text += ' ';
            if (type == Exiv2::signedRational)
                text += std::to_string(static_cast<std::int32_t>(MetadataValue::Numerator(n))) + "/" +
                        std::to_string(static_cast<std::int32_t>(MetadataValue::Denominator(n)));
            else if (type == Exiv2::unsignedRational)
                text += std::to_string(MetadataValue::Numerator(n)) + "/" + std::to_string(MetadataValue::Denominator(n));
            else
                text += std::to_string(n);
        }
        v->read(text);
    };
    switch (value.Type()) {
    case ValueType::Ascii:
        v.reset(Exiv2::Value::create(forIptc ? Exiv2::string : Exiv2::asciiString).release());
        v->read(value.Bytes());
        break;
    case ValueType::WideText:
        v.reset(Exiv2::Value::create(forIptc ? Exiv2::string : Exiv2::asciiString).release());
        v->read(WideToUtf8(value.Text()));
        break;
    case ValueType::UInt8:
    case ValueType::UInt8Vector: numbers(Exiv2::unsignedByte); break;
    case ValueType::UInt16:
    case ValueType::UInt16Vector: numbers(Exiv2::unsignedShort); break;
    case ValueType::UInt32:
    case ValueType::UInt32Vector: numbers(Exiv2::unsignedLong); break;
    case ValueType::URational:
    case ValueType::URationalVector: numbers(Exiv2::unsignedRational); break;
    case ValueType::SRational:
    case ValueType::SRationalVector: numbers(Exiv2::signedRational); break;
    case ValueType::Blob:
        v.reset(Exiv2::Value::create(Exiv2::undefined).release());
        v->read(reinterpret_cast<const Exiv2::byte*>(value.Bytes().data()), static_cast<long>(value.Bytes().size()),
                Exiv2::littleEndian);
        break;
    default: break;
    }
    return v;
}
