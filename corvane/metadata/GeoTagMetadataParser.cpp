#include "GeoTagMetadataParser.h"

namespace GeoTagPaths {

const char* GpsRoot(PictureFormat f)
{
    return f == PictureFormatJpeg ? "/app1/ifd/gps" : f == PictureFormatTiff ? "/ifd/gps" : nullptr;
}

const char* ExifRoot(PictureFormat f)
{
    return f == PictureFormatJpeg ? "/app1/ifd/exif" : f == PictureFormatTiff ? "/ifd/exif" : nullptr;
}

const char* IptcRoot(PictureFormat f)
{
    return f == PictureFormatJpeg ? "/app13/irb/8bimiptc/iptc" : f == PictureFormatTiff ? "/ifd/iptc" : nullptr;
}

const char* XmpRoot(PictureFormat f)
{
    return f == PictureFormatJpeg ? "/xmp" : f == PictureFormatTiff ? "/ifd/xmp" : nullptr;
}

const char* const DateTimeOriginal = "/{ushort=36867}";
const char* const DateTimeDigitized = "/{ushort=36868}";
const char* const GPSVersionID = "/{ushort=0}";
const char* const GPSLatitudeRef = "/{ushort=1}";
const char* const GPSLatitude = "/{ushort=2}";
const char* const GPSLongitudeRef = "/{ushort=3}";
const char* const GPSLongitude = "/{ushort=4}";
const char* const GPSAltitudeRef = "/{ushort=5}";
const char* const GPSAltitude = "/{ushort=6}";
const char* const GPSTimeStamp = "/{ushort=7}";
const char* const GPSSatellites = "/{ushort=8}";
const char* const GPSStatus = "/{ushort=9}";
const char* const GPSMeasureMode = "/{ushort=10}";
const char* const GPSDOP = "/{ushort=11}";
const char* const GPSSpeedRef = "/{ushort=12}";
const char* const GPSSpeed = "/{ushort=13}";
const char* const GPSTrackRef = "/{ushort=14}";
const char* const GPSTrack = "/{ushort=15}";
const char* const GPSImgDirectionRef = "/{ushort=16}";
const char* const GPSImgDirection = "/{ushort=17}";
const char* const GPSMapDatum = "/{ushort=18}";
const char* const GPSProcessingMethod = "/{ushort=27}";
const char* const GPSAreaInformation = "/{ushort=28}";
const char* const GPSDateStamp = "/{ushort=29}";
const char* const GPSDifferential = "/{ushort=30}";
const char* const GPSHPositioningError = "/{ushort=31}";
const char* const IptcSubLocation = "/{str=Sub-location}";
const char* const IptcCity = "/{str=City}";
const char* const IptcProvinceState = "/{str=Province/State}";
const char* const IptcCountryName = "/{str=Country/Primary Location Name}";
const char* const IptcCountryCode = "/{str=Country/Primary Location Code}";

}  // namespace GeoTagPaths
