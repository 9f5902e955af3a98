// The XMP properties that mirror the geotag (exif:GPS*, exif:DateTimeOriginal,
// photoshop:City/State/Country, Iptc4xmpCore:Location/CountryCode, named
// "iptc:" in the block). Reading
// fills record fields the EXIF and IPTC items left absent; writing makes the
// properties a picture already carries agree with the record: rewritten with
// the field's value, or removed when the field is absent. No property is
// added to a picture that does not carry it. Numbers are written and read
// with a full stop whatever the locale, as XMP wants.
//
// The IPTC Extension's location structures (Iptc4xmpExt:LocationCreated,
// LocationShown) hold copies of the location too: a member whose field the
// record cleared is removed (in LocationCreated also one whose field it
// changed), and both go whole when the record keeps no location at all.
#pragma once

#include <optional>
#include <string>

#include "GPSMetadataInfo.h"
#include "MetadataBlock.h"

class CXmpGeoTagMirror {
public:
    // Fills fields of `record` that are absent from the XMP block's properties.
    static void FillMissing(const MetadataBlock& xmp, CGPSMetadataInfo& record);
    // Both exif:GPSLatitude and exif:GPSLongitude parse.
    static bool HasCoordinates(const MetadataBlock& xmp);
    // Makes the block's geotag properties agree with `record`. With
    // `stored` (the record the picture itself gives), a property whose field
    // the record did not change stays as the picture wrote it. The date
    // property is left alone unless `writeDate`. Returns true when the block changed.
    static bool Apply(MetadataBlock& xmp, const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored,
                      bool writeDate);
    // The text a mirror property ("/exif:GPSLatitude", "/photoshop:City"...)
    // has for a record; none when the field is absent or the name unknown.
    static std::optional<std::string> PropertyText(const std::string& property, const CGPSMetadataInfo& record);
};

// The location structures' part of Apply (XmpLocationDetails.cpp).
bool AgreeLocationDetails(MetadataBlock& xmp, const CGPSMetadataInfo& record, const CGPSMetadataInfo& stored);
