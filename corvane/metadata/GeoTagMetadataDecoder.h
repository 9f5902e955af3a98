// Reads the geotag of one JPEG or TIFF picture into a record: the EXIF date
// taken, the EXIF GPS block and the five IPTC location fields, through the
// picture's metadata blocks. Where an EXIF or IPTC item is missing, the
// picture's XMP mirror of it fills the field, so every geotag the file
// carries is seen.
#pragma once

#include <memory>
#include <string>

#include "GPSMetadataInfo.h"
#include "GeoTagMetadataParser.h"
#include "HResult.h"
#include "MetadataBlock.h"

class CGeoTagMetadataDecoder : public CGeoTagMetadataParser {
public:
    // Never fails: blocks the picture lacks stay missing and their reads give E_ABORT.
    CGeoTagMetadataDecoder(std::shared_ptr<const MetadataBlock> root, PictureFormat format);

    // Fills a new record from every block; failed reads leave fields as they were.
    void Decode(CGPSMetadataInfo& record);

    HRESULT ReadDateTaken(AutomationDate*& dateTaken);
    HRESULT ReadGPSVersion(GPSVersionValue*& version);
    HRESULT ReadCoordinate(const std::string& valuePath, const std::string& refPath, GPSCoordinate*& target);
    HRESULT ReadAltitude(double*& altitude, std::uint8_t*& altitudeRef);
    HRESULT ReadGPSTime(GPSTimeValue*& time);
    HRESULT ReadSatellites(std::wstring*& satellites);
    HRESULT ReadStatus(char*& status);
    HRESULT ReadMeasureMode(char*& mode);
    HRESULT ReadDOP(double*& dop, std::wstring*& rating);
    HRESULT ReadSpeed(double*& speed, char*& ref);
    HRESULT ReadTrack(double*& track, char*& ref);
    HRESULT ReadImgDirection(double*& direction, char*& ref);
    HRESULT ReadMapDatum(std::wstring*& datum);
    HRESULT ReadGPSDate(GPSDateValue*& date);
    HRESULT ReadDifferential(std::uint8_t*& differential);
    HRESULT ReadHPositioningError(double*& error);
    // All five IPTC fields; E_ABORT without an IPTC block.
    HRESULT ReadIPTCLocation(CGPSMetadataInfo& record);

    // Latitude, longitude and both references all read (from EXIF, or both
    // coordinates from the XMP mirror).
    static bool HasGPSCoordinates(const std::shared_ptr<const MetadataBlock>& root, PictureFormat format);

    // The leading-number conversion of date texts: "2013:05:07 14:03:09" into
    // at most `count` numbers split at `separators` (or at runs of them);
    // splitting stops at the first empty token. Returns the tokens found.
    static int SplitNumbers(const std::string& text, const char* separators, int* numbers, int count,
                            bool separatorRuns);

private:
    HRESULT ReadAscii(const std::shared_ptr<MetadataBlock>& block, const std::string& path, std::string& text) const;
    HRESULT ReadChar(const std::string& path, char*& target) const;
    // Unsigned rationals; signed ones too when `allowSigned` (their values keep their sign).
    HRESULT ReadRationals(const std::shared_ptr<MetadataBlock>& block, const std::string& path, double* values,
                          int count, int& read, bool allowSigned = false) const;
    HRESULT ReadRationalWithRef(const char* valuePath, const char* refPath, double*& value, char*& ref);
    HRESULT ReadValue(const std::shared_ptr<MetadataBlock>& block, const std::string& path, MetadataValue& value) const;

    PictureFormat format_;
    std::shared_ptr<const MetadataBlock> root_;
    std::shared_ptr<MetadataBlock> gps_;
    std::shared_ptr<MetadataBlock> exif_;
    std::shared_ptr<MetadataBlock> iptc_;
    std::shared_ptr<MetadataBlock> xmp_;
};
