// Turns a record into metadata items: the EXIF date taken, the GPS block and
// the IPTC location fields, written into three free-standing block writers
// that the transfer engine then nests into the picture being written.
#pragma once

#include <memory>
#include <string>

#include "GPSMetadataInfo.h"
#include "GeoTagMetadataParser.h"
#include "HResult.h"
#include "MetadataBlock.h"

class CGeoTagMetadataEncoder : public CGeoTagMetadataParser {
public:
    CGeoTagMetadataEncoder(std::shared_ptr<MetadataBlock> gps, std::shared_ptr<MetadataBlock> exif,
                           std::shared_ptr<MetadataBlock> iptc, PictureFormat format);

    // Writes the record; failures of single writes are not reported.
    void Encode(const CGPSMetadataInfo& record);
    // A save that keeps the picture's own dates when the record did not
    // change them turns this off.
    void SetWriteDates(bool writeDates) { writeDates_ = writeDates; }
    // Whether Encode changed the IPTC block.
    bool IptcChanged() const { return iptcChanged_; }

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
    HRESULT WriteIPTCLocation(const CGPSMetadataInfo& record);

    // value x denominator truncated toward zero, as a 32-bit numerator; false
    // when that is not a finite number in range.
    static bool ToNumerator(double value, std::uint32_t denominator, std::uint32_t& numerator);

private:
    HRESULT WriteGps(const char* path, const MetadataValue& value);
    HRESULT WriteRational(const char* path, const double* value, std::uint32_t denominator);
    HRESULT WriteChar(const char* path, const char* c);
    HRESULT WriteRationalWithRef(const char* valuePath, const char* refPath, const double* value, const char* ref,
                                 std::uint32_t denominator);
    bool SetIptcField(const char* path, const std::wstring* text);
    void ConvertIptcToUtf8();

    PictureFormat format_;
    std::shared_ptr<MetadataBlock> gps_;
    std::shared_ptr<MetadataBlock> exif_;
    std::shared_ptr<MetadataBlock> iptc_;
    bool writeDates_ = true;
    bool iptcChanged_ = false;
};
