// The library's form of a value read from a picture (private to the imaging
// layer's exiv2 glue; include only from .cpp files).
#pragma once

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>
#pragma GCC diagnostic pop

#include <memory>
#include <string>

#include "MetadataValue.h"

struct NativeValue {
    enum Kind { Exif, Iptc, Xmp };
    Kind ValueKind;
    std::string Key;                            // IPTC and XMP items
    std::shared_ptr<const Exiv2::Value> Value;  // IPTC and XMP items
    size_t Order = 0;  // position in the picture's own list, kept when written back
    // EXIF items keep their whole library record: names are not unique within
    // maker notes, the tag number and its directory are.
    std::shared_ptr<const Exiv2::Exifdatum> ExifDatum;
};

// One-time set-up of the library (XMP toolkit, quiet logging); safe to call often.
void InitializeExiv2();

// The typed value of a library value, with the library's form attached. IPTC
// text is UTF-8 with a Latin-1 fallback for bytes that are not UTF-8, or
// Latin-1 throughout when the picture's character-set record says so.
MetadataValue TypedFromExiv2(NativeValue::Kind kind, const std::string& key, const Exiv2::Value& value,
                             bool iptcLatin1 = false, size_t order = 0);
// The typed value of an EXIF item, with the item attached.
MetadataValue TypedFromExifDatum(const Exiv2::Exifdatum& datum, size_t order);
// The library value for a typed value that has no library form.
std::unique_ptr<Exiv2::Value> Exiv2FromTyped(const MetadataValue& value, bool forIptc);
