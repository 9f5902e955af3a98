// The geotag record of one picture: 27 optional fields in a fixed order. Each
// field is a pointer to a separately allocated value; null means absent. The
// program and the reverse-geocoding library share this layout and one heap,
// so both must be built against this one definition.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "AutomationDate.h"
#include "SharedExport.h"

struct GPSCoordinate {
    double Degrees = 0.0;
    double Minutes = 0.0;
    double Seconds = 0.0;
    char Ref = 0;  // 'N', 'S', 'E', 'W' as stored (lower case accepted)
};

// Field identifiers shared by the table's columns, pending changes, the
// manipulation operations and address retrieval.
enum GeoField : std::int32_t {
    RowNumber = 0,
    PictureName = 1,
    DateTakenField = 2,
    LatitudeField = 3,
    LongitudeField = 4,
    AltitudeField = 5,
    ImageDirectionField = 6,
    MeasurementPrecisionField = 7,
    MapDatumField = 8,
    GPSDateField = 9,
    GPSTimeField = 10,
    LocationField = 11,
    CityField = 12,
    StateField = 13,
    CountryField = 14,
};
constexpr int GeoFieldCount = 15;

using GPSVersionValue = std::array<std::uint16_t, 4>;  // version bytes widened, first byte first
using GPSTimeValue = std::array<std::uint32_t, 3>;     // hour, minute, whole second (UTC)
using GPSDateValue = std::array<std::uint16_t, 3>;     // year, month, day (UTC)

class CORVANE_SHARED_API CGPSMetadataInfo {
public:
    CGPSMetadataInfo() = default;
    ~CGPSMetadataInfo();
    CGPSMetadataInfo(const CGPSMetadataInfo&) = delete;
    CGPSMetadataInfo& operator=(const CGPSMetadataInfo&) = delete;

    // A new record holding deep copies of every present field.
    CGPSMetadataInfo* Clone() const;

    // Signed decimal degrees; negative for 'S'/'s'/'W'/'w'.
    static double CoordinateToDecimal(const GPSCoordinate& coordinate);
    // Sets `field` from signed decimal degrees. Returns false (no change, field
    // untouched) when it already holds the same degrees, minutes and reference
    // with seconds within 0.01 of the new ones; true when it created or
    // overwrote the field.
    static bool DecimalToCoordinate(GPSCoordinate*& field, double value, char positive, char negative);
    // The precision word for a dilution-of-precision value; empty for NaN.
    static std::wstring RateDOP(double dop);

    // Applies RateDOP to PrecisionRating (created empty when absent); NaN keeps the old word.
    void SetDOP(double dop);
    // Stores a signed altitude in metres: AltitudeRef 0 above zero, else 1.
    void SetSignedAltitude(double metres);

    // Slot order is part of the layout contract.
    AutomationDate* DateTaken = nullptr;
    GPSVersionValue* GPSVersion = nullptr;
    GPSCoordinate* Latitude = nullptr;
    GPSCoordinate* Longitude = nullptr;
    std::uint8_t* AltitudeRef = nullptr;
    double* Altitude = nullptr;
    GPSTimeValue* GPSTime = nullptr;
    std::wstring* Satellites = nullptr;
    char* Status = nullptr;
    char* MeasureMode = nullptr;
    std::wstring* PrecisionRating = nullptr;
    double* DOP = nullptr;
    char* SpeedRef = nullptr;
    double* Speed = nullptr;
    char* TrackRef = nullptr;
    double* Track = nullptr;
    char* ImgDirectionRef = nullptr;
    double* ImgDirection = nullptr;
    std::wstring* MapDatum = nullptr;
    GPSDateValue* GPSDate = nullptr;
    std::uint8_t* Differential = nullptr;
    double* HPositioningError = nullptr;
    std::wstring* SubLocation = nullptr;
    std::wstring* City = nullptr;
    std::wstring* ProvinceState = nullptr;
    std::wstring* CountryName = nullptr;
    std::wstring* CountryCode = nullptr;
};

// Creates the value when absent, overwrites it when present.
template <typename T>
void SetField(T*& field, const T& value)
{
    if (field)
        *field = value;
    else
        field = new T(value);
}

// Deletes the value and marks the field absent.
template <typename T>
void ClearField(T*& field)
{
    delete field;
    field = nullptr;
}

// Deep copy of one optional field.
template <typename T>
T* CopyField(const T* field)
{
    return field ? new T(*field) : nullptr;
}
