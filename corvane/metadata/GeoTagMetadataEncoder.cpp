#include "GeoTagMetadataEncoder.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>

#include "IptcNames.h"
#include "StringUtil.h"

using namespace GeoTagPaths;

namespace {

constexpr double kMaxNumerator = 4294967295.0;

// Equal enough that the stored item says the same thing.
template <typename T>
bool SameField(const T* a, const T* b)
{
    if (!a || !b) return a == b;
    return *a == *b;
}

bool SameField(const double* a, const double* b)
{
    if (!a || !b) return a == b;
    return *a == *b || (std::isnan(*a) && std::isnan(*b));
}

bool SameField(const GPSCoordinate* a, const GPSCoordinate* b)
{
    if (!a || !b) return a == b;
    // A part read from a zero denominator (NaN) is the same as itself.
    auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
    return same(a->Degrees, b->Degrees) && same(a->Minutes, b->Minutes) && same(a->Seconds, b->Seconds) &&
           a->Ref == b->Ref;
}

std::string Shortest(double value)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

std::string Triple(std::uint64_t a, std::uint64_t b, std::uint64_t c, char separator)
{
    return std::to_string(a) + separator + std::to_string(b) + separator + std::to_string(c);
}

// One group of GPS tags that one record value (with its reference) owns.
struct GpsGroup {
    const char* What;
    std::vector<unsigned> Tags;
    std::function<bool(const CGPSMetadataInfo&, const CGPSMetadataInfo&)> Same;
    std::function<HRESULT(CGeoTagMetadataEncoder&, const CGPSMetadataInfo&)> Write;
    std::function<std::string(const CGPSMetadataInfo&)> Value;  // the value as the user reads it
};

template <typename T>
std::function<bool(const CGPSMetadataInfo&, const CGPSMetadataInfo&)> Same(T* CGPSMetadataInfo::*field)
{
    return [field](const CGPSMetadataInfo& a, const CGPSMetadataInfo& b) { return SameField(a.*field, b.*field); };
}

template <typename T, typename R>
std::function<bool(const CGPSMetadataInfo&, const CGPSMetadataInfo&)> Same(T* CGPSMetadataInfo::*field,
                                                                            R* CGPSMetadataInfo::*ref)
{
    return [field, ref](const CGPSMetadataInfo& a, const CGPSMetadataInfo& b) {
        return SameField(a.*field, b.*field) && SameField(a.*ref, b.*ref);
    };
}

std::function<std::string(const CGPSMetadataInfo&)> Number(double* CGPSMetadataInfo::*field)
{
    return [field](const CGPSMetadataInfo& r) { return r.*field ? Shortest(*(r.*field)) : std::string(); };
}

std::function<std::string(const CGPSMetadataInfo&)> Coordinate(GPSCoordinate* CGPSMetadataInfo::*field)
{
    return [field](const CGPSMetadataInfo& r) {
        return r.*field ? Shortest(CGPSMetadataInfo::CoordinateToDecimal(*(r.*field))) : std::string();
    };
}

std::function<std::string(const CGPSMetadataInfo&)> NoText()
{
    return [](const CGPSMetadataInfo&) { return std::string(); };
}

using E = CGeoTagMetadataEncoder;
using R = CGPSMetadataInfo;

// The GPS tags of each record value, in the order the values are written.
const std::vector<GpsGroup>& GpsGroups()
{
    static const std::vector<GpsGroup> groups = {
        {"GPS version", {0}, Same(&R::GPSVersion), [](E& e, const R& r) { return e.WriteGPSVersion(r.GPSVersion); },
         NoText()},
        {"latitude", {1, 2}, Same(&R::Latitude),
         [](E& e, const R& r) { return e.WriteCoordinate(r.Latitude, GPSLatitude, GPSLatitudeRef); },
         Coordinate(&R::Latitude)},
        {"longitude", {3, 4}, Same(&R::Longitude),
         [](E& e, const R& r) { return e.WriteCoordinate(r.Longitude, GPSLongitude, GPSLongitudeRef); },
         Coordinate(&R::Longitude)},
        {"altitude", {5, 6}, Same(&R::Altitude, &R::AltitudeRef),
         [](E& e, const R& r) { return e.WriteAltitude(r.Altitude, r.AltitudeRef); }, Number(&R::Altitude)},
        {"GPS time", {7}, Same(&R::GPSTime), [](E& e, const R& r) { return e.WriteGPSTime(r.GPSTime); },
         [](const R& r) { return r.GPSTime ? Triple((*r.GPSTime)[0], (*r.GPSTime)[1], (*r.GPSTime)[2], ':') : ""; }},
        {"satellites", {8}, Same(&R::Satellites), [](E& e, const R& r) { return e.WriteSatellites(r.Satellites); },
         NoText()},
        {"GPS status", {9}, Same(&R::Status), [](E& e, const R& r) { return e.WriteStatus(r.Status); }, NoText()},
        {"measure mode", {10}, Same(&R::MeasureMode), [](E& e, const R& r) { return e.WriteMeasureMode(r.MeasureMode); },
         NoText()},
        {"measurement precision", {11}, Same(&R::DOP), [](E& e, const R& r) { return e.WriteDOP(r.DOP); },
         Number(&R::DOP)},
        {"speed", {12, 13}, Same(&R::Speed, &R::SpeedRef),
         [](E& e, const R& r) { return e.WriteSpeed(r.Speed, r.SpeedRef); }, Number(&R::Speed)},
        {"track", {14, 15}, Same(&R::Track, &R::TrackRef),
         [](E& e, const R& r) { return e.WriteTrack(r.Track, r.TrackRef); }, Number(&R::Track)},
        {"image direction", {16, 17}, Same(&R::ImgDirection, &R::ImgDirectionRef),
         [](E& e, const R& r) { return e.WriteImgDirection(r.ImgDirection, r.ImgDirectionRef); },
         Number(&R::ImgDirection)},
        {"map datum", {18}, Same(&R::MapDatum), [](E& e, const R& r) { return e.WriteMapDatum(r.MapDatum); },
         NoText()},
        {"GPS date", {29}, Same(&R::GPSDate), [](E& e, const R& r) { return e.WriteGPSDate(r.GPSDate); },
         [](const R& r) { return r.GPSDate ? Triple((*r.GPSDate)[0], (*r.GPSDate)[1], (*r.GPSDate)[2], ':') : ""; }},
        {"differential correction", {30}, Same(&R::Differential),
         [](E& e, const R& r) { return e.WriteDifferential(r.Differential); }, NoText()},
        {"positioning error", {31}, Same(&R::HPositioningError),
         [](E& e, const R& r) { return e.WriteHPositioningError(r.HPositioningError); },
         Number(&R::HPositioningError)},
    };
    return groups;
}

// GPS tags without a record field that still tell where the picture was
// taken: destination (19-26) and area name (28).
const std::vector<unsigned> kPlaceTagsWithoutField = {19, 20, 21, 22, 23, 24, 25, 26, 28};

bool HasGpsField(const CGPSMetadataInfo& r)
{
    return r.GPSVersion || r.Latitude || r.Longitude || r.AltitudeRef || r.Altitude || r.GPSTime || r.Satellites ||
           r.Status || r.MeasureMode || r.DOP || r.SpeedRef || r.Speed || r.TrackRef || r.Track ||
           r.ImgDirectionRef || r.ImgDirection || r.MapDatum || r.GPSDate || r.Differential || r.HPositioningError;
}

// IPTC IIM 4.2 maximum lengths of the location datasets, in bytes.
struct IptcField {
    const char* Path;
    std::wstring* CGPSMetadataInfo::*Field;
    size_t Limit;
    const char* Name;
};

const IptcField kIptcFields[] = {
    {IptcCountryCode, &CGPSMetadataInfo::CountryCode, 3, "Country code"},
    {IptcSubLocation, &CGPSMetadataInfo::SubLocation, 32, "Sub-location"},
    {IptcCity, &CGPSMetadataInfo::City, 32, "City"},
    {IptcProvinceState, &CGPSMetadataInfo::ProvinceState, 32, "Province/State"},
    {IptcCountryName, &CGPSMetadataInfo::CountryName, 64, "Country"},
};

}  // namespace

CGeoTagMetadataEncoder::CGeoTagMetadataEncoder(std::shared_ptr<MetadataBlock> gps, std::shared_ptr<MetadataBlock> exif,
                                               std::shared_ptr<MetadataBlock> iptc, PictureFormat format)
    : format_(format), gps_(std::move(gps)), exif_(std::move(exif)), iptc_(std::move(iptc))
{
}

bool CGeoTagMetadataEncoder::ToRational(double value, std::uint32_t minDenominator, std::uint32_t& numerator,
                                        std::uint32_t& denominator)
{
    if (!std::isfinite(value) || value < 0 || minDenominator == 0 || value * minDenominator > kMaxNumerator)
        return false;
    // "Exactly" allows for the binary noise of a decimal value (8848.86 x 100
    // is 884886.0000000001), far below any precision a position is given in.
    const double tolerance = 1e-10 * std::max(1.0, value);
    double d = minDenominator;
    for (;;) {
        const double n = std::round(value * d);
        const bool exact = std::fabs(n / d - value) <= tolerance;
        const double next = d * 10;
        if (exact || next > kMaxNumerator || value * next > kMaxNumerator) {
            numerator = static_cast<std::uint32_t>(n);
            denominator = static_cast<std::uint32_t>(d);
            return true;
        }
        d = next;
    }
}

bool CGeoTagMetadataEncoder::GpsWiped(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored)
{
    return stored && HasGpsField(*stored) && !HasGpsField(record);
}

bool CGeoTagMetadataEncoder::PositionWiped(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored)
{
    return stored && (stored->Latitude || stored->Longitude) && !record.Latitude && !record.Longitude;
}

HRESULT CGeoTagMetadataEncoder::WriteGps(const char* path, const MetadataValue& value)
{
    if (!gps_) return E_ABORT;
    return gps_->SetMetadataByName(path, value);
}

HRESULT CGeoTagMetadataEncoder::WriteRational(const char* path, const double* value, std::uint32_t denominator)
{
    if (!value) return E_ABORT;
    std::uint32_t n, d;
    if (!ToRational(*value, denominator, n, d)) return E_INVALIDARG;
    return WriteGps(path, MetadataValue::FromRational(n, d));
}

HRESULT CGeoTagMetadataEncoder::WriteChar(const char* path, const char* c)
{
    if (!c) return E_ABORT;
    return WriteGps(path, MetadataValue::FromAscii(std::string(1, *c)));
}

HRESULT CGeoTagMetadataEncoder::WriteRationalWithRef(const char* valuePath, const char* refPath, const double* value,
                                                     const char* ref, std::uint32_t denominator)
{
    const HRESULT hr = WriteRational(valuePath, value, denominator);
    if (SUCCEEDED(hr) && ref) WriteChar(refPath, ref);
    return hr;
}

HRESULT CGeoTagMetadataEncoder::WriteDateTaken(const AutomationDate* date)
{
    if (!exif_ || !date) return E_ABORT;
    // An invalid date would print as "Invalid DateTime": neither tag gets it.
    DateTimeParts parts;
    if (!date->ToParts(parts)) return E_INVALIDARG;
    const MetadataValue text = MetadataValue::FromAscii(date->Format("%Y:%m:%d %H:%M:%S"));
    const HRESULT hr = exif_->SetMetadataByName(DateTimeOriginal, text);
    if (SUCCEEDED(hr)) exif_->SetMetadataByName(DateTimeDigitized, text);
    return hr;
}

HRESULT CGeoTagMetadataEncoder::WriteGPSVersion(const GPSVersionValue* version)
{
    if (!version) return E_ABORT;
    std::vector<std::uint64_t> bytes;
    for (std::uint16_t part : *version) bytes.push_back(part & 0xFF);
    return WriteGps(GPSVersionID, MetadataValue::FromNumbers(ValueType::UInt8Vector, bytes));
}

HRESULT CGeoTagMetadataEncoder::WriteCoordinate(const GPSCoordinate* c, const char* valuePath, const char* refPath)
{
    if (!c) return E_ABORT;
    std::uint32_t n[3], d[3];
    if (!ToRational(c->Degrees, 1, n[0], d[0]) || !ToRational(c->Minutes, 1, n[1], d[1]) ||
        !ToRational(c->Seconds, 1000, n[2], d[2]))
        return E_INVALIDARG;
    // Decimal degrees that end a hair below a whole minute come out as 60
    // seconds: carry them, as a reader expects seconds below 60.
    if (d[1] == 1 && n[2] >= 60ull * d[2]) {
        n[2] -= 60 * d[2];
        ++n[1];
        if (d[0] == 1 && n[1] == 60) {
            n[1] = 0;
            ++n[0];
        }
    }
    const HRESULT hr = WriteGps(valuePath, MetadataValue::FromRationals({{n[0], d[0]}, {n[1], d[1]}, {n[2], d[2]}}));
    if (SUCCEEDED(hr)) WriteChar(refPath, &c->Ref);
    return hr;
}

HRESULT CGeoTagMetadataEncoder::WriteAltitude(const double* altitude, const std::uint8_t* altitudeRef)
{
    if (!altitude) return E_ABORT;
    const double magnitude = std::fabs(*altitude);  // the sign lives in the reference
    const HRESULT hr = WriteRational(GPSAltitude, &magnitude, 10);
    if (SUCCEEDED(hr) && altitudeRef) WriteGps(GPSAltitudeRef, MetadataValue::FromUInt8(*altitudeRef));
    return hr;
}

HRESULT CGeoTagMetadataEncoder::WriteGPSTime(const GPSTimeValue* time)
{
    if (!time) return E_ABORT;
    const GPSTimeValue& t = *time;
    if (t[0] > 23 || t[1] > 59 || t[2] > 60) return E_INVALIDARG;  // 60: a leap second
    return WriteGps(GPSTimeStamp, MetadataValue::FromRationals({{t[0], 1}, {t[1], 1}, {t[2] * 1000, 1000}}));
}

HRESULT CGeoTagMetadataEncoder::WriteSatellites(const std::wstring* satellites)
{
    if (!satellites) return E_ABORT;
    return WriteGps(GPSSatellites, MetadataValue::FromAscii(WideToUtf8(*satellites)));
}

HRESULT CGeoTagMetadataEncoder::WriteStatus(const char* status)
{
    return WriteChar(GPSStatus, status);
}

HRESULT CGeoTagMetadataEncoder::WriteMeasureMode(const char* mode)
{
    return WriteChar(GPSMeasureMode, mode);
}

HRESULT CGeoTagMetadataEncoder::WriteDOP(const double* dop)
{
    return WriteRational(GPSDOP, dop, 10000);
}

HRESULT CGeoTagMetadataEncoder::WriteSpeed(const double* speed, const char* ref)
{
    return WriteRationalWithRef(GPSSpeed, GPSSpeedRef, speed, ref, 1000);
}

HRESULT CGeoTagMetadataEncoder::WriteTrack(const double* track, const char* ref)
{
    return WriteRationalWithRef(GPSTrack, GPSTrackRef, track, ref, 1000);
}

HRESULT CGeoTagMetadataEncoder::WriteImgDirection(const double* direction, const char* ref)
{
    return WriteRationalWithRef(GPSImgDirection, GPSImgDirectionRef, direction, ref, 100);
}

HRESULT CGeoTagMetadataEncoder::WriteMapDatum(const std::wstring* datum)
{
    if (!datum) return E_ABORT;
    return WriteGps(GPSMapDatum, MetadataValue::FromAscii(WideToUtf8(*datum)));
}

HRESULT CGeoTagMetadataEncoder::WriteGPSDate(const GPSDateValue* date)
{
    if (!date) return E_ABORT;
    const GPSDateValue& d = *date;
    // The tag holds exactly "YYYY:MM:DD".
    if (d[0] > 9999 || d[1] < 1 || d[1] > 12 || d[2] < 1 || d[2] > 31) return E_INVALIDARG;
    char text[16];
    std::snprintf(text, sizeof text, "%04u:%02u:%02u", d[0], d[1], d[2]);
    return WriteGps(GPSDateStamp, MetadataValue::FromAscii(text));
}

HRESULT CGeoTagMetadataEncoder::WriteDifferential(const std::uint8_t* differential)
{
    if (!differential) return E_ABORT;
    return WriteGps(GPSDifferential, MetadataValue::FromUInt16(*differential));
}

HRESULT CGeoTagMetadataEncoder::WriteHPositioningError(const double* error)
{
    return WriteRational(GPSHPositioningError, error, 1000);
}

void CGeoTagMetadataEncoder::RemoveGpsTags(const std::vector<unsigned>& tags)
{
    for (unsigned tag : tags) {
        const std::string path = TagPath(tag);
        while (gps_->RemoveMetadataByName(path) == S_OK) {
        }
    }
}

HRESULT CGeoTagMetadataEncoder::EncodeGps(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored)
{
    if (!gps_) return S_OK;
    if (GpsWiped(record, stored)) {
        gps_->Clear();  // no field left: the tags without one go with them
        return S_OK;
    }
    if (PositionWiped(record, stored)) RemoveGpsTags(kPlaceTagsWithoutField);
    for (const GpsGroup& group : GpsGroups()) {
        if (stored && group.Same(record, *stored)) continue;  // the stored items stay as they are
        RemoveGpsTags(group.Tags);
        const HRESULT hr = group.Write(*this, record);
        if (hr == E_ABORT) continue;  // absent: removed
        if (FAILED(hr)) {
            const std::string value = group.Value(record);
            refusal_ = std::string("the ") + group.What + (value.empty() ? "" : " " + value) +
                       " cannot be stored in the picture's GPS data";
            return E_INVALIDARG;
        }
    }
    return S_OK;
}

// Sets one IPTC field to the record's text, or removes it. A field equal to
// the stored one, or to the one item the block holds, is left as it was.
bool CGeoTagMetadataEncoder::SetIptcField(const char* path, const std::wstring* text, const std::wstring* storedText,
                                          bool compare, size_t limit, const char* fieldName)
{
    if (compare && SameField(text, storedText)) return false;
    std::wstring cut;
    if (text) {
        cut = CutToUtf8Bytes(*text, limit);
        if (cut.size() < text->size())
            warnings_.push_back(std::string(fieldName) + " is longer than the " + std::to_string(limit) +
                                " bytes IPTC allows: stored as \"" + WideToUtf8(cut) + "\"");
    }
    size_t count = 0;
    bool same = false;
    for (const auto& item : iptc_->Items()) {
        if (item.first != path) continue;
        ++count;
        same = text && item.second.Type() == ValueType::WideText && item.second.Text() == cut;
    }
    if (count == 0 && !text) return false;
    if (count == 1 && same) return false;
    while (iptc_->RemoveMetadataByName(path) == S_OK) {
    }
    if (text) iptc_->SetMetadataByName(path, MetadataValue::FromWideText(cut));
    return true;
}

// Once we write IPTC text as UTF-8, the character-set record says so, and
// text the picture held in another character set is written in UTF-8 too
// (the metadata layer recodes every text under that record), so no dataset
// changes meaning.
void CGeoTagMetadataEncoder::ConvertIptcToUtf8()
{
    // A character set with no text left to describe goes too.
    if (iptc_->Size() == 0 || (iptc_->Size() == 1 && iptc_->Items().front().first == kIptcCharacterSetName)) {
        iptc_->Clear();
        return;
    }
    const MetadataValue marker = MetadataValue::FromAscii(kIptcUtf8Marker);
    MetadataValue existing;
    if (SUCCEEDED(iptc_->GetMetadataByName(kIptcCharacterSetName, existing))) {
        if (existing.Bytes() != kIptcUtf8Marker) iptc_->SetMetadataByName(kIptcCharacterSetName, marker);
        return;
    }
    // The envelope record comes before the application record.
    std::vector<MetadataBlock::Item> items = iptc_->Items();
    iptc_->Clear();
    iptc_->Append(kIptcCharacterSetName, marker);
    for (auto& item : items) iptc_->Append(item.first, item.second);
}

HRESULT CGeoTagMetadataEncoder::WriteIPTCLocation(const CGPSMetadataInfo& r, const CGPSMetadataInfo* stored)
{
    if (!iptc_) return E_FAIL;
    bool changed = false;
    for (const IptcField& f : kIptcFields)
        changed |= SetIptcField(f.Path, r.*f.Field, stored ? stored->*f.Field : nullptr, stored != nullptr, f.Limit,
                                f.Name);
    if (changed) ConvertIptcToUtf8();
    iptcChanged_ = changed;
    return S_OK;
}

HRESULT CGeoTagMetadataEncoder::Encode(const CGPSMetadataInfo& r, const CGPSMetadataInfo* stored)
{
    WriteIPTCLocation(r, stored);
    if (writeDates_) WriteDateTaken(r.DateTaken);
    return EncodeGps(r, stored);
}
