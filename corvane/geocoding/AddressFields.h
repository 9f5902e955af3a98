// The five address fields of a geotag record as an answer carries them.
#pragma once

#include <optional>
#include <string>

class CGPSMetadataInfo;

struct AddressFields {
    std::optional<std::wstring> SubLocation, City, ProvinceState, CountryName, CountryCode;

    // An address is found when a place name is known; a country code alone is none.
    bool Found() const { return SubLocation || City || ProvinceState || CountryName; }
    bool operator==(const AddressFields& other) const;

    static AddressFields FromRecord(const CGPSMetadataInfo& record);
};
