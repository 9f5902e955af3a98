#include "Edits.h"

#include <algorithm>

namespace invariants {

const std::vector<Field>& Fields()
{
    static const std::vector<Field> fields = {
        {"date",
         {"ExifIFD:DateTimeOriginal", "ExifIFD:CreateDate", "XMP-exif:DateTimeOriginal"},
         {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized", "Xmp.exif.DateTimeOriginal"}},
        {"latitude",
         {"GPS:GPSLatitude", "GPS:GPSLatitudeRef", "XMP-exif:GPSLatitude"},
         {"Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLatitudeRef", "Xmp.exif.GPSLatitude"}},
        {"longitude",
         {"GPS:GPSLongitude", "GPS:GPSLongitudeRef", "XMP-exif:GPSLongitude"},
         {"Exif.GPSInfo.GPSLongitude", "Exif.GPSInfo.GPSLongitudeRef", "Xmp.exif.GPSLongitude"}},
        {"altitude",
         {"GPS:GPSAltitude", "GPS:GPSAltitudeRef", "XMP-exif:GPSAltitude", "XMP-exif:GPSAltitudeRef"},
         {"Exif.GPSInfo.GPSAltitude", "Exif.GPSInfo.GPSAltitudeRef", "Xmp.exif.GPSAltitude", "Xmp.exif.GPSAltitudeRef"}},
        {"direction",
         {"GPS:GPSImgDirection", "GPS:GPSImgDirectionRef", "XMP-exif:GPSImgDirection", "XMP-exif:GPSImgDirectionRef"},
         {"Exif.GPSInfo.GPSImgDirection", "Exif.GPSInfo.GPSImgDirectionRef", "Xmp.exif.GPSImgDirection",
          "Xmp.exif.GPSImgDirectionRef"}},
        {"precision", {"GPS:GPSDOP", "XMP-exif:GPSDOP"}, {"Exif.GPSInfo.GPSDOP", "Xmp.exif.GPSDOP"}},
        {"datum", {"GPS:GPSMapDatum", "XMP-exif:GPSMapDatum"}, {"Exif.GPSInfo.GPSMapDatum", "Xmp.exif.GPSMapDatum"}},
        // XMP keeps the GPS date and time as one value.
        {"gps-date", {"GPS:GPSDateStamp", "XMP-exif:GPSDateTime"}, {"Exif.GPSInfo.GPSDateStamp", "Xmp.exif.GPSTimeStamp"}},
        {"gps-time", {"GPS:GPSTimeStamp", "XMP-exif:GPSDateTime"}, {"Exif.GPSInfo.GPSTimeStamp", "Xmp.exif.GPSTimeStamp"}},
        // IPTC2: a second IPTC record, such as one kept after the image (AFCP).
        {"location",
         {"IPTC:Sub-location", "XMP-iptcCore:Location", "IPTC2:Sub-location"},
         {"Iptc.Application2.SubLocation", "Xmp.iptc.Location"}},
        {"city", {"IPTC:City", "XMP-photoshop:City", "IPTC2:City"}, {"Iptc.Application2.City", "Xmp.photoshop.City"}},
        {"state",
         {"IPTC:Province-State", "XMP-photoshop:State", "IPTC2:Province-State"},
         {"Iptc.Application2.ProvinceState", "Xmp.photoshop.State"}},
        {"country",
         {"IPTC:Country-PrimaryLocationName", "XMP-photoshop:Country", "IPTC2:Country-PrimaryLocationName"},
         {"Iptc.Application2.CountryName", "Xmp.photoshop.Country"}},
        {"country-code",
         {"IPTC:Country-PrimaryLocationCode", "XMP-iptcCore:CountryCode", "IPTC2:Country-PrimaryLocationCode"},
         {"Iptc.Application2.CountryCode", "Xmp.iptc.CountryCode"}},
        // The GPS tags no column shows (version, satellites, speed, destination...).
        {"gps-other", {"GPS:*", "XMP-exif:GPS*"}, {"Exif.GPSInfo.*", "Xmp.exif.GPS*"}},
        // Where the picture was taken, repeated in an IPTC Extension structure:
        // a copy that contradicts the record once a field of it changes goes.
        {"location-created", {"XMP-iptcExt:LocationCreated*"}, {"Xmp.iptcExt.LocationCreated*"}},
        // IPTC Extension structures that repeat the location.
        {"location-structures",
         {"XMP-iptcExt:LocationCreated*", "XMP-iptcExt:LocationShown*"},
         {"Xmp.iptcExt.LocationCreated*", "Xmp.iptcExt.LocationShown*"}},
    };
    return fields;
}

const Field* FindField(const std::string& name)
{
    for (const Field& f : Fields())
        if (f.Name == name) return &f;
    return nullptr;
}

namespace {

const std::vector<std::string> kGpsFields = {"latitude", "longitude", "altitude", "direction", "precision",
                                             "datum",    "gps-date",  "gps-time", "gps-other"};
const std::vector<std::string> kAddressFields = {"location", "city", "state", "country", "country-code"};

Intent Is(const std::string& key, const std::string& text, bool mirror = false)
{
    return {key, Check::Equals, text, 0, 0, mirror};
}

Intent Near(const std::string& key, double value, double tolerance, bool mirror = false)
{
    return {key, Check::Near, "", value, tolerance, mirror};
}

// Every tag of the fields is gone.
std::vector<Intent> Gone(const std::vector<std::string>& fields)
{
    std::vector<Intent> intents;
    for (const std::string& name : fields)
        for (const std::string& key : FindField(name)->Keys) intents.push_back({key, Check::Absent, "", 0, 0, false});
    return intents;
}

Edit Set(const std::string& name, const std::string& options, std::vector<std::string> touches,
         std::vector<Intent> intents)
{
    Edit e;
    e.Name = name;
    e.Arguments = "set " + options;
    e.Touches = std::move(touches);
    e.Intents = std::move(intents);
    return e;
}

Edit Clear(const std::string& what, std::vector<std::string> fields)
{
    Edit e;
    e.Name = "clear-" + what;
    e.Arguments = "clear " + what;
    e.Touches = fields;
    e.Intents = Gone(fields);
    return e;
}

Edit Stamp(const std::string& kind, const std::string& options, bool overOriginal)
{
    Edit e;
    e.Name = "stamp-" + kind + (overOriginal ? "-over-original" : "-into-subfolder");
    e.Arguments = "stamp " + kind + " " + options;
    e.Reencodes = true;
    e.OverOriginal = overOriginal;
    // A band of coordinates or of an address needs them; a title does not.
    e.NeedsCoordinates = kind != "title";
    if (kind == "address") {
        e.Geocodes = true;
        e.AddressWillDo = true;
        e.Touches = kAddressFields;  // addresses are retrieved first where missing
    }
    return e;
}

std::vector<Edit> MakeEdits()
{
    // Latitude and longitude are stored to 1/1000 s at least: 3e-7 degrees.
    const double kDegrees = 3e-7;
    std::vector<Edit> edits = {
        Set("set-date", "--date '2013-05-07 14:03:09'", {"date"},
            {Is("ExifIFD:DateTimeOriginal", "2013:05:07 14:03:09"), Is("ExifIFD:CreateDate", "2013:05:07 14:03:09"),
             Is("XMP-exif:DateTimeOriginal", "2013:05:07 14:03:09", true)}),
        Set("set-latitude", "--lat 48.858844", {"latitude", "location-created"},
            {Near("GPS:GPSLatitude", 48.858844, kDegrees), Is("GPS:GPSLatitudeRef", "N"),
             Near("XMP-exif:GPSLatitude", 48.858844, kDegrees, true)}),
        Set("set-longitude", "--lon -2.294351", {"longitude", "location-created"},
            {Near("GPS:GPSLongitude", 2.294351, kDegrees), Is("GPS:GPSLongitudeRef", "W"),
             Near("XMP-exif:GPSLongitude", -2.294351, kDegrees, true)}),
        Set("set-altitude", "--alt 8848.86", {"altitude", "location-created"},
            {Near("GPS:GPSAltitude", 8848.86, 1e-6), Is("GPS:GPSAltitudeRef", "0"),
             Near("XMP-exif:GPSAltitude", 8848.86, 1e-6, true)}),
        Set("set-direction", "--direction 45.5T", {"direction"},
            {Near("GPS:GPSImgDirection", 45.5, 1e-9), Is("GPS:GPSImgDirectionRef", "T"),
             Near("XMP-exif:GPSImgDirection", 45.5, 1e-9, true)}),
        // "Good" is any DOP above 2 up to 5; one already rated so stays.
        Set("set-precision", "--precision Good", {"precision"}, {Near("GPS:GPSDOP", 3.5, 1.49)}),
        Set("set-datum", "--datum WGS-84", {"datum"}, {Is("GPS:GPSMapDatum", "WGS-84")}),
        Set("set-gps-date", "--gps-date 2013-05-07", {"gps-date"}, {Is("GPS:GPSDateStamp", "2013:05:07")}),
        Set("set-gps-time", "--gps-time 14:03:09", {"gps-time"}, {Is("GPS:GPSTimeStamp", "14:03:09")}),
        Set("set-location", "--location 'Tour Eiffel'", {"location", "location-created"},
            {Is("IPTC:Sub-location", "Tour Eiffel"), Is("XMP-iptcCore:Location", "Tour Eiffel", true)}),
        Set("set-city", "--city 'Zürich'", {"city", "location-created"},
            {Is("IPTC:City", "Zürich"), Is("XMP-photoshop:City", "Zürich", true)}),
        Set("set-state", "--state 'Île-de-France'", {"state", "location-created"},
            {Is("IPTC:Province-State", "Île-de-France"), Is("XMP-photoshop:State", "Île-de-France", true)}),
        Set("set-country", "--country France", {"country", "location-created"},
            {Is("IPTC:Country-PrimaryLocationName", "France"), Is("XMP-photoshop:Country", "France", true)}),
    };
    // A field cleared leaves no copy of itself in the location structures.
    const std::vector<std::string> repeated = {"latitude", "longitude", "altitude", "location", "city", "state"};
    for (const char* field : {"date", "latitude", "longitude", "altitude", "direction", "precision", "datum",
                              "gps-date", "gps-time", "location", "city", "state"}) {
        Edit clear = Clear(field, {field});
        if (std::find(repeated.begin(), repeated.end(), field) != repeated.end())
            clear.Touches.push_back("location-structures");
        edits.push_back(clear);
    }
    // The country code goes with the country.
    Edit country = Clear("country", {"country", "country-code"});
    country.Touches.push_back("location-structures");
    edits.push_back(country);
    std::vector<std::string> gps = kGpsFields;
    gps.push_back("location-structures");
    edits.push_back(Clear("gps", gps));
    std::vector<std::string> address = kAddressFields;
    address.push_back("location-structures");
    edits.push_back(Clear("address", address));
    std::vector<std::string> all = gps;
    all.insert(all.end(), kAddressFields.begin(), kAddressFields.end());
    all.push_back("date");
    Edit wipe = Clear("all", all);
    wipe.WipesAll = true;
    edits.push_back(wipe);

    Edit same;
    same.Name = "set-value-it-has";
    same.Kind = EditKind::CliEachPicture;
    same.Touches = {"city", "latitude"};
    edits.push_back(same);

    for (bool over : {false, true}) {
        edits.push_back(Stamp("gps", "", over));
        edits.push_back(Stamp("title", "'Site 14, north wall'", over));
        edits.push_back(Stamp("address", "--server {server}", over));
    }
    Edit twice;
    twice.Name = "stamp-then-save-twice";
    twice.Kind = EditKind::DocumentStampTwice;
    twice.Touches = {"city", "location-created"};
    twice.Intents = {Is("IPTC:City", "Twice")};
    twice.NeedsCoordinates = true;
    edits.push_back(twice);

    Edit geocode;
    geocode.Name = "geocode";
    geocode.Arguments = "geocode --server {server} --user corvane";
    geocode.Geocodes = true;
    geocode.NeedsCoordinates = true;
    geocode.Touches = kAddressFields;
    geocode.Touches.push_back("location-created");
    const GeocodedAddress a;
    geocode.Intents = {Is("IPTC:Sub-location", a.SubLocation), Is("IPTC:City", a.City),
                       Is("IPTC:Province-State", a.State), Is("IPTC:Country-PrimaryLocationName", a.Country),
                       Is("IPTC:Country-PrimaryLocationCode", a.CountryCode),
                       Is("XMP-photoshop:City", a.City, true)};
    edits.push_back(geocode);
    return edits;
}

}  // namespace

const std::vector<Edit>& AllEdits()
{
    static const std::vector<Edit> edits = MakeEdits();
    return edits;
}

bool IsIptcBookkeeping(const std::string& key)
{
    for (const char* k : {"IPTC:CodedCharacterSet", "IPTC:ApplicationRecordVersion", "IPTC:EnvelopeRecordVersion",
                          "Photoshop:IPTCDigest", "File:CurrentIPTCDigest"})
        if (key == k || key.rfind(std::string(k) + "#", 0) == 0) return true;
    return false;
}

bool IsXmpBookkeeping(const std::string& key)
{
    return key == "XMP-x:XMPToolkit";
}

bool IsLocationTag(const std::string& key)
{
    const size_t colon = key.find(':');
    const std::string group = key.substr(0, colon);
    std::string name = key.substr(colon + 1);
    name = name.substr(0, name.find('#'));
    if (group == "Composite" || group == "System" || group == "ExifTool") return false;
    for (const char* n : {"City", "State", "Country", "Location", "Sub-location", "Province-State", "CountryCode",
                          "Country-PrimaryLocationName", "Country-PrimaryLocationCode", "DateTimeOriginal"})
        if (name == n) return true;
    if (key == "ExifIFD:CreateDate") return true;
    return name.find("GPS") != std::string::npos || name.rfind("LocationCreated", 0) == 0 ||
           name.rfind("LocationShown", 0) == 0;
}

}  // namespace invariants
