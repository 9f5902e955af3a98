#include "GeoTagMetadataEncoder.h"

#include <cmath>
#include <cstdio>

#include "IptcNames.h"
#include "StringUtil.h"

using namespace GeoTagPaths;

CGeoTagMetadataEncoder::CGeoTagMetadataEncoder(std::shared_ptr<MetadataBlock> gps, std::shared_ptr<MetadataBlock> exif,
                                               std::shared_ptr<MetadataBlock> iptc, PictureFormat format)
    : format_(format), gps_(std::move(gps)), exif_(std::move(exif)), iptc_(std::move(iptc))
{
}

bool CGeoTagMetadataEncoder::ToNumerator(double value, std::uint32_t denominator, std::uint32_t& numerator)
{
    const double n = std::trunc(value * denominator);
    if (!std::isfinite(n) || n < 0 || n > 4294967295.0) return false;
    numerator = static_cast<std::uint32_t>(n);
    return true;
}

HRESULT CGeoTagMetadataEncoder::WriteGps(const char* path, const MetadataValue& value)
{
    if (!gps_) return E_ABORT;
    return gps_->SetMetadataByName(path, value);
}

HRESULT CGeoTagMetadataEncoder::WriteRational(const char* path, const double* value, std::uint32_t denominator)
{
    if (!value) return E_ABORT;
    std::uint32_t numerator;
    if (!ToNumerator(*value, denominator, numerator)) return E_INVALIDARG;
    return WriteGps(path, MetadataValue::FromRational(numerator, denominator));
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
    if (!date->IsValid()) return E_INVALIDARG;
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
    std::uint32_t d, m, s;
    if (!ToNumerator(c->Degrees, 1, d) || !ToNumerator(c->Minutes, 1, m) || !ToNumerator(c->Seconds, 1000, s))
        return E_INVALIDARG;
    const HRESULT hr = WriteGps(valuePath, MetadataValue::FromRationals({{d, 1}, {m, 1}, {s, 1000}}));
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
    std::uint32_t seconds;
    if (!ToNumerator((*time)[2], 1000, seconds)) return E_INVALIDARG;
    return WriteGps(GPSTimeStamp, MetadataValue::FromRationals({{(*time)[0], 1}, {(*time)[1], 1}, {seconds, 1000}}));
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
    char text[32];
    std::snprintf(text, sizeof text, "%04u:%02u:%02u", (*date)[0], (*date)[1], (*date)[2]);
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

// Sets one IPTC field to the record's text, or removes it; an item that
// already holds exactly that text is left as it was, bytes and all.
bool CGeoTagMetadataEncoder::SetIptcField(const char* path, const std::wstring* text)
{
    size_t count = 0;
    bool same = false;
    for (const auto& item : iptc_->Items()) {
        if (item.first != path) continue;
        ++count;
        same = text && item.second.Type() == ValueType::WideText && item.second.Text() == *text;
    }
    if (count == 0 && !text) return false;
    if (count == 1 && same) return false;
    while (iptc_->RemoveMetadataByName(path) == S_OK) {
    }
    if (text) iptc_->SetMetadataByName(path, MetadataValue::FromWideText(*text));
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

HRESULT CGeoTagMetadataEncoder::WriteIPTCLocation(const CGPSMetadataInfo& r)
{
    if (!iptc_) return E_FAIL;
    bool changed = false;
    changed |= SetIptcField(IptcCountryCode, r.CountryCode);
    changed |= SetIptcField(IptcSubLocation, r.SubLocation);
    changed |= SetIptcField(IptcCity, r.City);
    changed |= SetIptcField(IptcProvinceState, r.ProvinceState);
    changed |= SetIptcField(IptcCountryName, r.CountryName);
    if (changed) ConvertIptcToUtf8();
    iptcChanged_ = changed;
    return S_OK;
}

void CGeoTagMetadataEncoder::Encode(const CGPSMetadataInfo& r)
{
    WriteIPTCLocation(r);
    if (writeDates_) WriteDateTaken(r.DateTaken);
    WriteGPSVersion(r.GPSVersion);
    WriteCoordinate(r.Latitude, GPSLatitude, GPSLatitudeRef);
    WriteCoordinate(r.Longitude, GPSLongitude, GPSLongitudeRef);
    WriteAltitude(r.Altitude, r.AltitudeRef);
    WriteGPSTime(r.GPSTime);
    WriteSatellites(r.Satellites);
    WriteStatus(r.Status);
    WriteMeasureMode(r.MeasureMode);
    WriteDOP(r.DOP);
    WriteSpeed(r.Speed, r.SpeedRef);
    WriteTrack(r.Track, r.TrackRef);
    WriteImgDirection(r.ImgDirection, r.ImgDirectionRef);
    WriteMapDatum(r.MapDatum);
    WriteGPSDate(r.GPSDate);
    WriteDifferential(r.Differential);
    WriteHPositioningError(r.HPositioningError);
}
