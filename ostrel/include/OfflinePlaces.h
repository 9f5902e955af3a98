// The offline places index: the populated places of GeoNames (at least
// 1,000 inhabitants) in a compact file built with the program, answering
// "the nearest place to this point" and "the places of this name" without
// a network.
//
// The file (little-endian, written by data/places/make-places-index.js):
//   header, 64 bytes: "CVPLACES", version, place count, division count,
//     band count, string bytes, the offsets of the sections below, the file
//     size and the CRC-32 of everything after the header;
//   places, 24 bytes each: latitude and longitude in 1e-5 degrees (int32),
//     name and search-key string offsets, population, division index
//     (0xFFFF: none), two-letter country code; sorted by 0.1-degree latitude
//     band, then longitude;
//   bands: the first place of each band, and the place count after the last;
//   name order: the place indices sorted by search key (bytes of UTF-8);
//   divisions: one name string offset per first-level division;
//   strings: a length byte, then that many bytes of UTF-8.
// Load checks every count, offset, order and the checksum before any use and
// refuses a file that fails one: a damaged file is never read past its end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "OstrelErrors.h"
#include "OstrelExport.h"

struct OSTREL_API COfflinePlace {
    std::wstring name;         // GeoNames' name of the place
    std::wstring division;     // first-level division; empty where the data names none
    std::wstring countryCode;  // ISO 3166-1 alpha-2
    double lat = 0;            // signed decimal degrees
    double lng = 0;
    std::uint32_t population = 0;
    double distanceKm = 0;     // great-circle distance from the point asked (FindNearest)
};

class OSTREL_API COfflinePlaces {
public:
    COfflinePlaces();
    ~COfflinePlaces();
    COfflinePlaces(const COfflinePlaces&) = delete;
    COfflinePlaces& operator=(const COfflinePlaces&) = delete;

    // Reads and checks the index. OstrelErrc::IndexMissing when the file
    // cannot be read, OstrelErrc::IndexDamaged when it fails a check; the
    // index is then empty.
    std::error_code Load(const std::string& path);
    std::error_code LoadFromBytes(std::vector<char> bytes);

    bool IsLoaded() const { return count_ > 0; }
    std::size_t Count() const { return count_; }
    // The place at `index` (0 to Count() - 1), in the file's order.
    COfflinePlace At(std::size_t index) const;

    // The place nearest to the point by great-circle distance, if one lies
    // within `maxKm`; across the antimeridian and over the poles alike.
    bool FindNearest(double lat, double lng, double maxKm, COfflinePlace& place) const;

    // The places whose search key starts with `key`: exact matches first,
    // then by population, at most `maxRows`. The key is the name folded as
    // the index folds names: canonical decomposition, combining marks
    // removed, lower case, and ł ø æ œ ß đ ı þ spelled l o ae oe ss d i th.
    std::vector<COfflinePlace> FindByName(const std::string& key, std::size_t maxRows) const;

    // Great-circle distance on the mean Earth sphere (6371.0088 km).
    static double DistanceKm(double lat1, double lng1, double lat2, double lng2);

private:
    struct Record;
    Record RecordAt(std::size_t index) const;
    std::string StringAt(std::uint32_t offset) const;
    std::string_view KeyAt(std::uint32_t offset) const;
    std::error_code Check();
    std::error_code CheckPlaces() const;
    std::error_code CheckNameOrder() const;
    void Clear();

    std::vector<char> data_;
    std::size_t count_ = 0;
    std::uint32_t divisions_ = 0;
    std::uint32_t stringBytes_ = 0;
    std::uint32_t placesOffset_ = 0, bandsOffset_ = 0, orderOffset_ = 0, divisionsOffset_ = 0, stringsOffset_ = 0;
};
