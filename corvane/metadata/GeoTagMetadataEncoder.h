// Turns a record into metadata items: the EXIF date taken, the GPS block and
// the IPTC location fields, written into three block writers that the
// transfer engine then nests into the picture being written.
//
// The writers may already hold the items carried over from the picture the
// record was read from. Given that picture's own record (`stored`), the
// encoder rewrites only the fields the record changed: every other GPS tag
// and IPTC dataset stays the item the picture stored, rationals and all. A
// value the user set is stored with the precision it was given.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GPSMetadataInfo.h"
#include "GeoTagMetadataParser.h"
#include "HResult.h"
#include "MetadataBlock.h"

class CGeoTagMetadataEncoder : public CGeoTagMetadataParser {
public:
    CGeoTagMetadataEncoder(std::shared_ptr<MetadataBlock> gps, std::shared_ptr<MetadataBlock> exif,
                           std::shared_ptr<MetadataBlock> iptc, PictureFormat format);

    // Writes the fields of `record` that differ from `stored` (every field
    // without it): a present field replaces the items of its tags, an absent
    // one removes them. E_INVALIDARG, with Refusal() saying which value, when
    // a changed value cannot be stored (an altitude beyond 429496729.5 m, a
    // negative speed...); the blocks then hold part of the record and must be
    // thrown away.
    HRESULT Encode(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored = nullptr);
    // A save that keeps the picture's own dates when the record did not
    // change them turns this off.
    void SetWriteDates(bool writeDates) { writeDates_ = writeDates; }
    // Whether Encode changed the IPTC block.
    bool IptcChanged() const { return iptcChanged_; }
    const std::string& Refusal() const { return refusal_; }
    // One text per value that had to be cut to be stored (IPTC length limits).
    const std::vector<std::string>& Warnings() const { return warnings_; }

    HRESULT WriteDateTaken(const AutomationDate* date);
    HRESULT WriteGPSVersion(const GPSVersionValue* version);
    HRESULT WriteCoordinate(const GPSCoordinate* coordinate, const char* valuePath, const char* refPath);
    HRESULT WriteAltitude(const double* altitude, const std::uint8_t* altitudeRef);
    HRESULT WriteGPSTime(const GPSTimeValue* time);
    HRESULT WriteSatellites(const std::wstring* satellites);
    HRESULT WriteStatus(const char* status);
    HRESULT WriteMeasureMode(const char* mode);
    HRESULT WriteDOP(const double* dop);
    HRESULT WriteSpeed(const double* speed, const char* ref);
    HRESULT WriteTrack(const double* track, const char* ref);
    HRESULT WriteImgDirection(const double* direction, const char* ref);
    HRESULT WriteMapDatum(const std::wstring* datum);
    HRESULT WriteGPSDate(const GPSDateValue* date);
    HRESULT WriteDifferential(const std::uint8_t* differential);
    HRESULT WriteHPositioningError(const double* error);
    // E_FAIL without an IPTC block writer, else S_OK.
    HRESULT WriteIPTCLocation(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored = nullptr);

    // The rational for a non-negative value: the denominator is
    // `minDenominator` times the smallest power of ten that states the value
    // exactly (8848.86 with 10 gives 884886/100), else the largest one whose
    // numerator still fits 32 bits (rounded to nearest). False when the value
    // is not finite, negative, or value x minDenominator exceeds 32 bits.
    static bool ToRational(double value, std::uint32_t minDenominator, std::uint32_t& numerator,
                           std::uint32_t& denominator);

    // Whether the record lost every GPS field the stored one had, and whether
    // it lost its position (latitude and longitude both gone): the GPS tags and
    // XMP properties the record has no field for then go too.
    static bool GpsWiped(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored);
    static bool PositionWiped(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored);

private:
    HRESULT WriteGps(const char* path, const MetadataValue& value);
    HRESULT WriteRational(const char* path, const double* value, std::uint32_t denominator);
    HRESULT WriteChar(const char* path, const char* c);
    HRESULT WriteRationalWithRef(const char* valuePath, const char* refPath, const double* value, const char* ref,
                                 std::uint32_t denominator);
    HRESULT EncodeGps(const CGPSMetadataInfo& record, const CGPSMetadataInfo* stored);
    void RemoveGpsTags(const std::vector<unsigned>& tags);
    bool SetIptcField(const char* path, const std::wstring* text, const std::wstring* storedText, bool compare,
                      size_t limit, const char* fieldName);
    void ConvertIptcToUtf8();

    PictureFormat format_;
    std::shared_ptr<MetadataBlock> gps_;
    std::shared_ptr<MetadataBlock> exif_;
    std::shared_ptr<MetadataBlock> iptc_;
    bool writeDates_ = true;
    bool iptcChanged_ = false;
    std::string refusal_;
    std::vector<std::string> warnings_;
};
