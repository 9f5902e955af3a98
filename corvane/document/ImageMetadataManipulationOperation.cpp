#include "ImageMetadataManipulationOperation.h"

#include <charconv>
#include <cmath>

#include "StringUtil.h"

namespace {

constexpr int kChanged = 0;
constexpr int kUnchanged = 1;
constexpr double kHalfSecond = 5.787037037037037e-6;  // in days

int SetDateTaken(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    if (r.DateTaken && r.DateTaken->IsValid() && std::fabs(r.DateTaken->Value - e.Number) < kHalfSecond)
        return kUnchanged;
    AutomationDate date;
    date.Value = e.Number;
    date.DateStatus = AutomationDate::Valid;
    SetField(r.DateTaken, date);
    return kChanged;
}

int SetLatitude(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    return CGPSMetadataInfo::DecimalToCoordinate(r.Latitude, e.Number, 'N', 'S') ? kChanged : kUnchanged;
}

int SetLongitude(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    return CGPSMetadataInfo::DecimalToCoordinate(r.Longitude, e.Number, 'E', 'W') ? kChanged : kUnchanged;
}

int SetAltitude(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    if (r.Altitude && *r.Altitude == e.Number) return kUnchanged;
    r.SetSignedAltitude(e.Number);
    return kChanged;
}

int SetImageDirection(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    if (r.ImgDirection && r.ImgDirectionRef && *r.ImgDirection == e.Number && *r.ImgDirectionRef == e.Reference)
        return kUnchanged;
    SetField(r.ImgDirection, e.Number);
    SetField(r.ImgDirectionRef, e.Reference);
    return kChanged;
}

int SetPrecision(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    if (r.PrecisionRating && EqualsNoCase(*r.PrecisionRating, e.ExtraText)) return kUnchanged;
    SetField(r.PrecisionRating, e.ExtraText);
    SetField(r.DOP, e.Number);
    return kChanged;
}

int SetText(std::wstring*& field, const UpdateEntry& e)
{
    if (field && EqualsNoCase(*field, e.Text)) return kUnchanged;
    SetField(field, e.Text);
    return kChanged;
}

// Date and time entries are checked to convert before they are applied.
DateTimeParts PartsOf(double days)
{
    DateTimeParts p;
    AutomationDate::FromDays(days).ToParts(p);
    return p;
}

int SetGPSDate(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    const DateTimeParts p = PartsOf(e.Number);
    const GPSDateValue date{static_cast<std::uint16_t>(p.Year), static_cast<std::uint16_t>(p.Month),
                            static_cast<std::uint16_t>(p.Day)};
    if (r.GPSDate && *r.GPSDate == date) return kUnchanged;
    SetField(r.GPSDate, date);
    return kChanged;
}

int SetGPSTime(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    const DateTimeParts p = PartsOf(e.Number);
    const GPSTimeValue time{static_cast<std::uint32_t>(p.Hour), static_cast<std::uint32_t>(p.Minute),
                            static_cast<std::uint32_t>(p.Second)};
    if (r.GPSTime && *r.GPSTime == time) return kUnchanged;
    SetField(r.GPSTime, time);
    return kChanged;
}

int ClearEntry(CGPSMetadataInfo& r, std::int32_t field)
{
    switch (field) {
    case DateTakenField: ClearField(r.DateTaken); break;
    case LatitudeField: ClearField(r.Latitude); break;
    case LongitudeField: ClearField(r.Longitude); break;
    case AltitudeField:
        ClearField(r.Altitude);
        ClearField(r.AltitudeRef);
        break;
    case ImageDirectionField:
        ClearField(r.ImgDirection);
        ClearField(r.ImgDirectionRef);
        break;
    case MeasurementPrecisionField:
        ClearField(r.PrecisionRating);
        ClearField(r.DOP);
        break;
    case MapDatumField: ClearField(r.MapDatum); break;
    case GPSDateField: ClearField(r.GPSDate); break;
    case GPSTimeField: ClearField(r.GPSTime); break;
    case LocationField: ClearField(r.SubLocation); break;
    case CityField: ClearField(r.City); break;
    case StateField: ClearField(r.ProvinceState); break;
    case CountryField:
        ClearField(r.CountryName);
        ClearField(r.CountryCode);
        break;
    default: return kUnchanged;
    }
    return kChanged;  // also when the field was already absent
}

std::wstring Number(double value)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? Utf8ToWide(std::string(buf, end)) : L"?";
}

std::wstring OutOfRange(const wchar_t* what, double value, const wchar_t* range)
{
    return std::wstring(what) + L" " + Number(value) + L" is outside " + range;
}

bool IsDate(double days)
{
    DateTimeParts p;
    return AutomationDate::FromDays(days).ToParts(p);
}

}  // namespace

std::wstring CImageMetadataManipulationOperation::EntryRefusal(const UpdateEntry& e)
{
    if (e.Clear) return {};
    const double n = e.Number;
    switch (e.Field) {
    case DateTakenField:
        return IsDate(n) ? std::wstring() : L"the date taken " + Number(n) + L" is not a date";
    case LatitudeField: return n >= -90 && n <= 90 ? std::wstring() : OutOfRange(L"latitude", n, L"-90 to 90");
    case LongitudeField:
        return n >= -180 && n <= 180 ? std::wstring() : OutOfRange(L"longitude", n, L"-180 to 180");
    case AltitudeField:
        return std::fabs(n) <= MaxAltitude ? std::wstring()
                                           : OutOfRange(L"altitude", n, L"-429496729.5 to 429496729.5 m");
    case ImageDirectionField:
        return n >= 0 && n <= 359.99 ? std::wstring() : OutOfRange(L"image direction", n, L"0 to 359.99");
    case MeasurementPrecisionField:
        // The dilution of precision is stored in ten-thousandths.
        return n >= 0 && n <= 429496.7295 ? std::wstring()
                                           : OutOfRange(L"measurement precision", n, L"0 to 429496.7295");
    case GPSDateField: return IsDate(n) ? std::wstring() : L"the GPS date " + Number(n) + L" is not a date";
    case GPSTimeField: return IsDate(n) ? std::wstring() : L"the GPS time " + Number(n) + L" is not a time";
    default: return {};
    }
}

int CImageMetadataManipulationOperation::ApplyEntry(CGPSMetadataInfo& r, const UpdateEntry& e)
{
    if (e.Clear) return ClearEntry(r, e.Field);
    switch (e.Field) {
    case DateTakenField: return SetDateTaken(r, e);
    case LatitudeField: return SetLatitude(r, e);
    case LongitudeField: return SetLongitude(r, e);
    case AltitudeField: return SetAltitude(r, e);
    case ImageDirectionField: return SetImageDirection(r, e);
    case MeasurementPrecisionField: return SetPrecision(r, e);
    case MapDatumField: return SetText(r.MapDatum, e);
    case GPSDateField: return SetGPSDate(r, e);
    case GPSTimeField: return SetGPSTime(r, e);
    case LocationField: return SetText(r.SubLocation, e);
    case CityField: return SetText(r.City, e);
    case StateField: return SetText(r.ProvinceState, e);
    case CountryField: return SetText(r.CountryName, e);
    default: return kUnchanged;  // row number and picture name have no handler
    }
}

HRESULT CImageMetadataManipulationOperation::AttachRecord(CGPSMetadataInfo* record)
{
    if (!record) return E_FAIL;
    record_ = record;
    return S_OK;
}

HRESULT CImageMetadataManipulationOperation::Uninitialize()
{
    record_ = nullptr;
    return S_OK;
}

HRESULT CImageMetadataManipulationOperation::ApplyUpdates(UpdateEntry* const* entries, int count,
                                                          std::vector<std::int32_t>& changed)
{
    if (count < 1 || !entries) return E_FAIL;
    if (!record_) return E_FAIL;
    refusal_.clear();
    for (int i = 0; i < count; ++i) {
        if (entries[i]) refusal_ = EntryRefusal(*entries[i]);
        if (!refusal_.empty()) return E_INVALIDARG;  // nothing of the change is applied
    }
    for (int i = 0; i < count; ++i)
        if (entries[i] && ApplyEntry(*record_, *entries[i]) == kChanged) changed.push_back(entries[i]->Field);
    return S_OK;
}
