// The one line of text a GPS or address stamp draws, composed from the
// geotag a decoder reads (when saving, the metadata the new file gets, so the
// band states the record being saved) and, for the address stamp, from the
// picture's current record. The settings are read at every
// composition, so the wording follows the settings in force when the picture
// is saved. Numbers are written the same in every locale ("." decimals, the
// English month names).
#pragma once

#include <string>

#include "AutomationDate.h"
#include "GPSMetadataInfo.h"
#include "GeoTagMetadataDecoder.h"
#include "SettingsStore.h"

class CStampTextComposer {
public:
    explicit CStampTextComposer(const ISettingsStore& settings) : settings_(settings) {}

    std::wstring ComposeGPSStampText(CGeoTagMetadataDecoder& decoder) const;
    std::wstring ComposeAddressStampText(CGeoTagMetadataDecoder& decoder, const CGPSMetadataInfo& record) const;

    // "Lat 48.856614° N" (with label) or "48.856614° N", in the format and
    // decimals of the settings; the label alone for an unknown format.
    std::wstring FormatCoordinate(const GPSCoordinate& coordinate, bool isLatitude, bool withLabel) const;
    // Empty when the value cannot be read from the picture.
    std::wstring FormatAltitude(CGeoTagMetadataDecoder& decoder) const;
    std::wstring FormatDateTaken(CGeoTagMetadataDecoder& decoder, bool withLabel) const;
    std::wstring FormatDirection(CGeoTagMetadataDecoder& decoder) const;

    // The same items from values already read.
    std::wstring FormatAltitudeValue(double metres) const;
    std::wstring FormatDateValue(const AutomationDate& date, bool withLabel) const;
    static std::wstring FormatDirectionValue(double degrees);

private:
    std::wstring ComposeGPSFacts(CGeoTagMetadataDecoder& decoder, const char* const* keys, bool labels,
                                 std::wstring text) const;

    const ISettingsStore& settings_;
};
