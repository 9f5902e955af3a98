#include "GPSMetadataInfo.h"

#include <cmath>

CGPSMetadataInfo::~CGPSMetadataInfo()
{
    ClearField(DateTaken);
    ClearField(GPSVersion);
    ClearField(Latitude);
    ClearField(Longitude);
    ClearField(AltitudeRef);
    ClearField(Altitude);
    ClearField(GPSTime);
    ClearField(Satellites);
    ClearField(Status);
    ClearField(MeasureMode);
    ClearField(PrecisionRating);
    ClearField(DOP);
    ClearField(SpeedRef);
    ClearField(Speed);
    ClearField(TrackRef);
    ClearField(Track);
    ClearField(ImgDirectionRef);
    ClearField(ImgDirection);
    ClearField(MapDatum);
    ClearField(GPSDate);
    ClearField(Differential);
    ClearField(HPositioningError);
    ClearField(SubLocation);
    ClearField(City);
    ClearField(ProvinceState);
    ClearField(CountryName);
    ClearField(CountryCode);
}

CGPSMetadataInfo* CGPSMetadataInfo::Clone() const
{
    auto* c = new CGPSMetadataInfo;
    c->DateTaken = CopyField(DateTaken);
    c->GPSVersion = CopyField(GPSVersion);
    c->Latitude = CopyField(Latitude);
    c->Longitude = CopyField(Longitude);
    c->AltitudeRef = CopyField(AltitudeRef);
    c->Altitude = CopyField(Altitude);
    c->GPSTime = CopyField(GPSTime);
    c->Satellites = CopyField(Satellites);
    c->Status = CopyField(Status);
    c->MeasureMode = CopyField(MeasureMode);
    c->PrecisionRating = CopyField(PrecisionRating);
    c->DOP = CopyField(DOP);
    c->SpeedRef = CopyField(SpeedRef);
    c->Speed = CopyField(Speed);
    c->TrackRef = CopyField(TrackRef);
    c->Track = CopyField(Track);
    c->ImgDirectionRef = CopyField(ImgDirectionRef);
    c->ImgDirection = CopyField(ImgDirection);
    c->MapDatum = CopyField(MapDatum);
    c->GPSDate = CopyField(GPSDate);
    c->Differential = CopyField(Differential);
    c->HPositioningError = CopyField(HPositioningError);
    c->SubLocation = CopyField(SubLocation);
    c->City = CopyField(City);
    c->ProvinceState = CopyField(ProvinceState);
    c->CountryName = CopyField(CountryName);
    c->CountryCode = CopyField(CountryCode);
    return c;
}

double CGPSMetadataInfo::CoordinateToDecimal(const GPSCoordinate& c)
{
    const double value = c.Degrees + c.Minutes / 60.0 + c.Seconds / 3600.0;
    const bool negative = c.Ref == 'S' || c.Ref == 's' || c.Ref == 'W' || c.Ref == 'w';
    return negative ? -value : value;
}

bool CGPSMetadataInfo::DecimalToCoordinate(GPSCoordinate*& field, double value, char positive, char negative)
{
    const double a = std::fabs(value);
    GPSCoordinate c;
    c.Degrees = std::trunc(a);
    c.Minutes = std::trunc((a - c.Degrees) * 60.0);
    c.Seconds = ((a - c.Degrees) * 60.0 - c.Minutes) * 60.0;
    c.Ref = value >= 0 ? positive : negative;
    if (field && field->Degrees == c.Degrees && field->Minutes == c.Minutes &&
        std::fabs(field->Seconds - c.Seconds) <= 0.01 && field->Ref == c.Ref)
        return false;
    SetField(field, c);
    return true;
}

std::wstring CGPSMetadataInfo::RateDOP(double dop)
{
    if (std::isnan(dop)) return {};
    if (dop <= 1) return L"Ideal";
    if (dop <= 2) return L"Excellent";
    if (dop <= 5) return L"Good";
    if (dop <= 10) return L"Moderate";
    if (dop <= 20) return L"Fair";
    return L"Poor";
}

void CGPSMetadataInfo::SetDOP(double dop)
{
    if (!PrecisionRating) PrecisionRating = new std::wstring;
    const std::wstring word = RateDOP(dop);
    if (!word.empty()) *PrecisionRating = word;
    SetField(DOP, dop);
}

void CGPSMetadataInfo::SetSignedAltitude(double metres)
{
    SetField(Altitude, metres);
    SetField(AltitudeRef, static_cast<std::uint8_t>(metres > 0 ? 0 : 1));
}
