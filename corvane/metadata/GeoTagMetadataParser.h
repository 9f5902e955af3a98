// What the geotag reader and writer share: the block roots of each container
// and the tag paths of every geotag item, built once as constants.
#pragma once

#include <string>

#include "PictureFormat.h"

namespace GeoTagPaths {

// Block roots by picture format; null for formats without geotags.
const char* GpsRoot(PictureFormat format);
const char* ExifRoot(PictureFormat format);
const char* IptcRoot(PictureFormat format);
const char* XmpRoot(PictureFormat format);

extern const char* const DateTimeOriginal;   // EXIF
extern const char* const DateTimeDigitized;  // EXIF
extern const char* const GPSVersionID;
extern const char* const GPSLatitudeRef;
extern const char* const GPSLatitude;
extern const char* const GPSLongitudeRef;
extern const char* const GPSLongitude;
extern const char* const GPSAltitudeRef;
extern const char* const GPSAltitude;
extern const char* const GPSTimeStamp;
extern const char* const GPSSatellites;
extern const char* const GPSStatus;
extern const char* const GPSMeasureMode;
extern const char* const GPSDOP;
extern const char* const GPSSpeedRef;
extern const char* const GPSSpeed;
extern const char* const GPSTrackRef;
extern const char* const GPSTrack;
extern const char* const GPSImgDirectionRef;
extern const char* const GPSImgDirection;
extern const char* const GPSMapDatum;
extern const char* const GPSProcessingMethod;
extern const char* const GPSAreaInformation;
extern const char* const GPSDateStamp;
extern const char* const GPSDifferential;
extern const char* const GPSHPositioningError;
extern const char* const IptcSubLocation;
extern const char* const IptcCity;
extern const char* const IptcProvinceState;
extern const char* const IptcCountryName;
extern const char* const IptcCountryCode;

}  // namespace GeoTagPaths

// Base of the geotag decoder and encoder.
class CGeoTagMetadataParser {
public:
    virtual ~CGeoTagMetadataParser() = default;
};
