// The XMP properties that mirror the geotag (exif:GPS*, exif:DateTimeOriginal,
// photoshop:City/State/Country, Iptc4xmpCore:Location/CountryCode, named
// "iptc:" in the block). Reading
// fills record fields the EXIF and IPTC items left absent; writing makes the
// properties a picture already carries agree with the record: rewritten with
// the field's value, or removed when the field is absent. No property is
// added to a picture that does not carry it.
#pragma once

#include "GPSMetadataInfo.h"
#include "MetadataBlock.h"

class CXmpGeoTagMirror {
public:
    // Fills fields of `record` that are absent from the XMP block's properties.
    static void FillMissing(const MetadataBlock& xmp, CGPSMetadataInfo& record);
    // Both exif:GPSLatitude and exif:GPSLongitude parse.
    static bool HasCoordinates(const MetadataBlock& xmp);
    // Makes the block's geotag properties agree with `record`. The date
    // property is left alone unless `writeDate`. Returns true when the block changed.
    static bool Apply(MetadataBlock& xmp, const CGPSMetadataInfo& record, bool writeDate);
};
