#include "XmpGeoTagMirror.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string_view>

#include "GeoTagMetadataEncoder.h"
#include "StringUtil.h"
#include "TextNumber.h"

namespace {

using Text = std::optional<std::string>;

struct MirrorProperty {
    const char* Name;
    // Parses the property's text into fields of a scratch record; false when it does not parse.
    std::function<bool(const std::string&, CGPSMetadataInfo&)> Parse;
    // The text for the record's field(s), or none when they are absent.
    std::function<Text(const CGPSMetadataInfo&)> Format;
};

bool ParseRational(const std::string& text, double& value)
{
    const size_t slash = text.find('/');
    double n = 0;
    if (!ParseWholeDouble(std::string_view(text).substr(0, slash), n)) return false;
    if (slash == std::string::npos) {
        value = n;
        return true;
    }
    double den = 0;
    if (!ParseWholeDouble(std::string_view(text).substr(slash + 1), den) || den == 0) return false;
    value = n / den;
    return std::isfinite(value);
}

Text FormatRational(const double* value, std::uint32_t minDenominator)
{
    std::uint32_t n, d;
    if (!value || !CGeoTagMetadataEncoder::ToRational(std::fabs(*value), minDenominator, n, d)) return std::nullopt;
    return std::to_string(n) + "/" + std::to_string(d);
}

// "DDD,MM.mmk" or "DDD,MM,SSk" (XMP's GPSCoordinate).
bool ParseCoordinate(const std::string& text, GPSCoordinate& c)
{
    if (text.size() < 4) return false;
    const char ref = text.back();
    if (std::string("NSEWnsew").find(ref) == std::string::npos) return false;
    const std::string_view body = std::string_view(text).substr(0, text.size() - 1);
    double parts[3] = {0, 0, 0};
    int n = 0;
    size_t pos = 0;
    while (n < 3 && pos <= body.size()) {
        const size_t comma = body.find(',', pos);
        const std::string_view token = body.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        if (!ParseWholeDouble(token, parts[n])) return false;
        ++n;
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    if (n < 2) return false;
    c.Degrees = parts[0];
    c.Minutes = std::trunc(parts[1]);
    c.Seconds = (parts[1] - c.Minutes) * 60 + parts[2];
    c.Ref = static_cast<char>(std::toupper(static_cast<unsigned char>(ref)));
    return true;
}

Text FormatCoordinate(const GPSCoordinate* c)
{
    // A coordinate read from zero denominators has no number to write.
    if (!c || !std::isfinite(c->Minutes + c->Seconds) || !(std::fabs(c->Degrees) <= INT_MAX)) return std::nullopt;
    return std::to_string(static_cast<int>(c->Degrees)) + "," + FormatFixed(c->Minutes + c->Seconds / 60.0, 8) +
           c->Ref;
}

Text FormatChar(const char* c)
{
    return c ? Text(std::string(1, *c)) : std::nullopt;
}

bool ParseChar(const std::string& text, char*& field)
{
    if (text.empty()) return false;
    SetField(field, text[0]);
    return true;
}

Text FormatWide(const std::wstring* s)
{
    return s ? Text(WideToUtf8(*s)) : std::nullopt;
}

bool ParseWide(const std::string& text, std::wstring*& field)
{
    SetField(field, Utf8ToWide(text));
    return true;
}

bool ParseRationalField(const std::string& text, double*& field)
{
    double v;
    if (!ParseRational(text, v)) return false;
    SetField(field, v);
    return true;
}

// "2013-05-07T14:03:09", with optional seconds fraction and zone.
bool ParseIsoDateTime(const std::string& text, int* p, int& found)
{
    found = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &p[0], &p[1], &p[2], &p[3], &p[4], &p[5]);
    return found >= 3;
}

std::vector<MirrorProperty> MakeProperties();

const std::vector<MirrorProperty>& Properties()
{
    static const std::vector<MirrorProperty> properties = MakeProperties();
    return properties;
}

MirrorProperty CharProperty(const char* name, char* CGPSMetadataInfo::*field)
{
    return {name, [field](const std::string& t, CGPSMetadataInfo& r) { return ParseChar(t, r.*field); },
            [field](const CGPSMetadataInfo& r) { return FormatChar(r.*field); }};
}

MirrorProperty RationalProperty(const char* name, double* CGPSMetadataInfo::*field, std::uint32_t denominator)
{
    return {name, [field](const std::string& t, CGPSMetadataInfo& r) { return ParseRationalField(t, r.*field); },
            [field, denominator](const CGPSMetadataInfo& r) { return FormatRational(r.*field, denominator); }};
}

MirrorProperty WideProperty(const char* name, std::wstring* CGPSMetadataInfo::*field)
{
    return {name, [field](const std::string& t, CGPSMetadataInfo& r) { return ParseWide(t, r.*field); },
            [field](const CGPSMetadataInfo& r) { return FormatWide(r.*field); }};
}

MirrorProperty CoordinateProperty(const char* name, GPSCoordinate* CGPSMetadataInfo::*field)
{
    return {name,
            [field](const std::string& t, CGPSMetadataInfo& r) {
                GPSCoordinate c;
                if (!ParseCoordinate(t, c)) return false;
                SetField(r.*field, c);
                return true;
            },
            [field](const CGPSMetadataInfo& r) { return FormatCoordinate(r.*field); }};
}

bool ParseAltitude(const std::string& t, CGPSMetadataInfo& r)
{
    return ParseRationalField(t, r.Altitude);
}

bool ParseAltitudeRef(const std::string& t, CGPSMetadataInfo& r)
{
    if (t != "0" && t != "1") return false;
    SetField(r.AltitudeRef, static_cast<std::uint8_t>(t == "1"));
    return true;
}

bool ParseVersion(const std::string& t, CGPSMetadataInfo& r)
{
    unsigned v[4] = {0, 0, 0, 0};
    if (std::sscanf(t.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]) < 2) return false;
    SetField(r.GPSVersion, GPSVersionValue{static_cast<std::uint16_t>(v[0] & 0xFF), static_cast<std::uint16_t>(v[1] & 0xFF),
                                           static_cast<std::uint16_t>(v[2] & 0xFF), static_cast<std::uint16_t>(v[3] & 0xFF)});
    return true;
}

Text FormatVersion(const CGPSMetadataInfo& r)
{
    if (!r.GPSVersion) return std::nullopt;
    const auto& v = *r.GPSVersion;
    return std::to_string(v[0] & 0xFF) + "." + std::to_string(v[1] & 0xFF) + "." + std::to_string(v[2] & 0xFF) + "." +
           std::to_string(v[3] & 0xFF);
}

bool ParseTimeStamp(const std::string& t, CGPSMetadataInfo& r)
{
    int p[6] = {0, 0, 0, 0, 0, 0};
    int found = 0;
    if (!ParseIsoDateTime(t, p, found)) return false;
    SetField(r.GPSDate, GPSDateValue{static_cast<std::uint16_t>(p[0]), static_cast<std::uint16_t>(p[1]),
                                     static_cast<std::uint16_t>(p[2])});
    if (found >= 5)
        SetField(r.GPSTime, GPSTimeValue{static_cast<std::uint32_t>(p[3]), static_cast<std::uint32_t>(p[4]),
                                         static_cast<std::uint32_t>(p[5])});
    return true;
}

Text FormatTimeStamp(const CGPSMetadataInfo& r)
{
    if (!r.GPSDate || !r.GPSTime) return std::nullopt;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02uZ", (*r.GPSDate)[0], (*r.GPSDate)[1], (*r.GPSDate)[2],
                  (*r.GPSTime)[0], (*r.GPSTime)[1], (*r.GPSTime)[2]);
    return std::string(buf);
}

bool ParseDateTaken(const std::string& t, CGPSMetadataInfo& r)
{
    int p[6] = {0, 0, 0, 0, 0, 0};
    int found = 0;
    if (!ParseIsoDateTime(t, p, found)) return false;
    SetField(r.DateTaken, AutomationDate::FromParts(p[0], p[1], p[2], p[3], p[4], p[5]));
    return true;
}

Text FormatDateTaken(const CGPSMetadataInfo& r)
{
    if (!r.DateTaken || !r.DateTaken->IsValid()) return std::nullopt;
    return r.DateTaken->Format("%Y-%m-%dT%H:%M:%S");
}

bool ParseDifferential(const std::string& t, CGPSMetadataInfo& r)
{
    if (t != "0" && t != "1") return false;
    SetField(r.Differential, static_cast<std::uint8_t>(t == "1"));
    return true;
}

Text FormatDifferential(const CGPSMetadataInfo& r)
{
    return r.Differential ? Text(*r.Differential ? "1" : "0") : std::nullopt;
}

std::vector<MirrorProperty> MakeProperties()
{
    using R = CGPSMetadataInfo;
    return {
        {"/exif:GPSVersionID", ParseVersion, FormatVersion},
        CoordinateProperty("/exif:GPSLatitude", &R::Latitude),
        CoordinateProperty("/exif:GPSLongitude", &R::Longitude),
        {"/exif:GPSAltitudeRef", ParseAltitudeRef,
         [](const R& r) { return r.AltitudeRef ? Text(*r.AltitudeRef ? "1" : "0") : std::nullopt; }},
        {"/exif:GPSAltitude", ParseAltitude, [](const R& r) { return FormatRational(r.Altitude, 10); }},
        {"/exif:GPSTimeStamp", ParseTimeStamp, FormatTimeStamp},
        WideProperty("/exif:GPSSatellites", &R::Satellites),
        CharProperty("/exif:GPSStatus", &R::Status),
        CharProperty("/exif:GPSMeasureMode", &R::MeasureMode),
        RationalProperty("/exif:GPSDOP", &R::DOP, 10000),
        CharProperty("/exif:GPSSpeedRef", &R::SpeedRef),
        RationalProperty("/exif:GPSSpeed", &R::Speed, 1000),
        CharProperty("/exif:GPSTrackRef", &R::TrackRef),
        RationalProperty("/exif:GPSTrack", &R::Track, 1000),
        CharProperty("/exif:GPSImgDirectionRef", &R::ImgDirectionRef),
        RationalProperty("/exif:GPSImgDirection", &R::ImgDirection, 100),
        WideProperty("/exif:GPSMapDatum", &R::MapDatum),
        {"/exif:GPSDifferential", ParseDifferential, FormatDifferential},
        RationalProperty("/exif:GPSHPositioningError", &R::HPositioningError, 1000),
        WideProperty("/iptc:Location", &R::SubLocation),
        WideProperty("/photoshop:City", &R::City),
        WideProperty("/photoshop:State", &R::ProvinceState),
        WideProperty("/photoshop:Country", &R::CountryName),
        WideProperty("/iptc:CountryCode", &R::CountryCode),
    };
}

const char* const kDateProperty = "/exif:DateTimeOriginal";

template <typename T>
void TakeIfMissing(T*& into, T*& from)
{
    if (!into && from) std::swap(into, from);
}

void MergeMissing(CGPSMetadataInfo& into, CGPSMetadataInfo& from)
{
    TakeIfMissing(into.DateTaken, from.DateTaken);
    TakeIfMissing(into.GPSVersion, from.GPSVersion);
    TakeIfMissing(into.Latitude, from.Latitude);
    TakeIfMissing(into.Longitude, from.Longitude);
    if (!into.Altitude && from.Altitude) {
        // The XMP altitude is a magnitude; its reference gives the sign.
        if (from.AltitudeRef && *from.AltitudeRef != 0) *from.Altitude = -*from.Altitude;
        std::swap(into.Altitude, from.Altitude);
        if (!into.AltitudeRef) std::swap(into.AltitudeRef, from.AltitudeRef);
    }
    TakeIfMissing(into.GPSTime, from.GPSTime);
    TakeIfMissing(into.Satellites, from.Satellites);
    TakeIfMissing(into.Status, from.Status);
    TakeIfMissing(into.MeasureMode, from.MeasureMode);
    if (!into.DOP && from.DOP) into.SetDOP(*from.DOP);
    TakeIfMissing(into.SpeedRef, from.SpeedRef);
    TakeIfMissing(into.Speed, from.Speed);
    TakeIfMissing(into.TrackRef, from.TrackRef);
    TakeIfMissing(into.Track, from.Track);
    TakeIfMissing(into.ImgDirectionRef, from.ImgDirectionRef);
    TakeIfMissing(into.ImgDirection, from.ImgDirection);
    TakeIfMissing(into.MapDatum, from.MapDatum);
    TakeIfMissing(into.GPSDate, from.GPSDate);
    TakeIfMissing(into.Differential, from.Differential);
    TakeIfMissing(into.HPositioningError, from.HPositioningError);
    TakeIfMissing(into.SubLocation, from.SubLocation);
    TakeIfMissing(into.City, from.City);
    TakeIfMissing(into.ProvinceState, from.ProvinceState);
    TakeIfMissing(into.CountryName, from.CountryName);
    TakeIfMissing(into.CountryCode, from.CountryCode);
}

bool ReadText(const MetadataBlock& xmp, const char* name, std::string& text)
{
    MetadataValue v;
    if (FAILED(xmp.GetMetadataByName(name, v)) || v.Type() != ValueType::Ascii) return false;
    text = v.Bytes();
    return true;
}

}  // namespace

void CXmpGeoTagMirror::FillMissing(const MetadataBlock& xmp, CGPSMetadataInfo& record)
{
    CGPSMetadataInfo found;
    std::string text;
    for (const auto& p : Properties())
        if (ReadText(xmp, p.Name, text)) p.Parse(text, found);
    if (ReadText(xmp, kDateProperty, text)) ParseDateTaken(text, found);
    MergeMissing(record, found);
}

bool CXmpGeoTagMirror::HasCoordinates(const MetadataBlock& xmp)
{
    std::string lat, lon;
    GPSCoordinate c;
    return ReadText(xmp, "/exif:GPSLatitude", lat) && ReadText(xmp, "/exif:GPSLongitude", lon) &&
           ParseCoordinate(lat, c) && ParseCoordinate(lon, c);
}

namespace {

// Rewrites or removes one carried property; true when the block changed.
bool AgreeProperty(MetadataBlock& xmp, const char* name, const Text& wanted,
                   const std::function<Text(const std::string&)>& reformat)
{
    std::string existing;
    if (!ReadText(xmp, name, existing)) {
        MetadataValue any;
        if (FAILED(xmp.GetMetadataByName(name, any))) return false;  // not carried: never added
    }
    if (!wanted) return xmp.RemoveMetadataByName(name) == S_OK;
    // A property that already says the same (in whatever form) stays as written.
    if (reformat(existing) == wanted) return false;
    xmp.SetMetadataByName(name, MetadataValue::FromAscii(*wanted));
    return true;
}

// What a property should say for a record; the reference goes with its
// altitude, as in the GPS block.
Text Wanted(const MirrorProperty& p, const CGPSMetadataInfo& record)
{
    if (std::string(p.Name) == "/exif:GPSAltitudeRef" && !record.Altitude) return std::nullopt;
    return p.Format(record);
}

// GPS properties the record has no field for (destination, processing
// method, area...) go when the GPS block they mirror loses its position.
bool RemoveFieldlessGpsProperties(MetadataBlock& xmp)
{
    std::vector<std::string> stale;
    for (const auto& item : xmp.Items()) {
        if (item.first.rfind("/exif:GPS", 0) != 0) continue;
        bool known = false;
        for (const auto& p : Properties()) known |= item.first == p.Name;
        if (!known) stale.push_back(item.first);
    }
    bool changed = false;
    for (const auto& name : stale) changed |= xmp.RemoveMetadataByName(name) == S_OK;
    return changed;
}

}  // namespace

std::optional<std::string> CXmpGeoTagMirror::PropertyText(const std::string& property, const CGPSMetadataInfo& record)
{
    for (const auto& p : Properties())
        if (property == p.Name) return Wanted(p, record);
    return std::nullopt;
}

bool CXmpGeoTagMirror::Apply(MetadataBlock& xmp, const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored,
                             bool writeDate)
{
    bool changed = false;
    for (const auto& p : Properties()) {
        const Text wanted = Wanted(p, record);
        if (stored && wanted == Wanted(p, *stored)) continue;  // not changed: stays as the picture wrote it
        changed |= AgreeProperty(xmp, p.Name, wanted, [&p](const std::string& text) {
            CGPSMetadataInfo parsed;
            return p.Parse(text, parsed) ? p.Format(parsed) : std::nullopt;
        });
    }
    if (writeDate) {
        changed |= AgreeProperty(xmp, kDateProperty, FormatDateTaken(record), [](const std::string& text) {
            CGPSMetadataInfo parsed;
            return ParseDateTaken(text, parsed) ? FormatDateTaken(parsed) : std::nullopt;
        });
    }
    if (!stored || CGeoTagMetadataEncoder::GpsWiped(record, stored) ||
        CGeoTagMetadataEncoder::PositionWiped(record, stored))
        changed |= RemoveFieldlessGpsProperties(xmp);
    if (stored) changed |= AgreeLocationDetails(xmp, record, *stored);
    return changed;
}
