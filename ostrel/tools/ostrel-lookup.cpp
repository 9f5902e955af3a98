// ostrel-lookup LAT LNG [--server URL] [--user NAME] [--timeout SECONDS]
// ostrel-lookup LAT LNG --places FILE
// One nearby-place request as the program makes it (FULL, radius 5, 10
// rows), then the address extraction; prints the five address fields, the
// transport error or the service's own refusal. With --places, the nearest
// place within 10 km of the offline places index instead. The library's
// smoke test.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "GPSMetadataInfo.h"
#include "OfflinePlaces.h"
#include "ReverseGeoCode.h"
#include "StringUtil.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: ostrel-lookup LAT LNG [--server URL] [--user NAME] [--timeout SECONDS]\n"
                         "       ostrel-lookup LAT LNG --places FILE\n");
    return 2;
}

bool ParseDegrees(const char* text, double limit, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && value >= -limit && value <= limit;
}

void Print(const char* label, const std::wstring* field)
{
    std::printf("%-14s %s\n", label, field ? WideToUtf8(*field).c_str() : "");
}

int Offline(const char* path, double lat, double lng)
{
    COfflinePlaces places;
    if (const std::error_code error = places.Load(path)) {
        std::fprintf(stderr, "ostrel-lookup: %s: %s\n", path, error.message().c_str());
        return 1;
    }
    COfflinePlace place;
    if (!places.FindNearest(lat, lng, 10, place)) {
        std::printf("no place within 10 km\n");
        return 0;
    }
    std::printf("%-14s %s\n%-14s %s\n%-14s %s\n%-14s %.1f km\n", "City", WideToUtf8(place.name).c_str(),
                "ProvinceState", WideToUtf8(place.division).c_str(), "CountryCode",
                WideToUtf8(place.countryCode).c_str(), "Distance", place.distanceKm);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    double lat, lng;
    if (argc < 3 || !ParseDegrees(argv[1], 90, lat) || !ParseDegrees(argv[2], 180, lng))
        return Usage();
    for (int i = 3; i < argc; i += 2) {
        if (i + 1 >= argc)
            return Usage();
        if (std::strcmp(argv[i], "--server") == 0)
            CReverseGeoCode::SetServiceAddress(Utf8ToWide(argv[i + 1]));
        else if (std::strcmp(argv[i], "--user") == 0)
            CReverseGeoCode::SetUserName(Utf8ToWide(argv[i + 1]));
        else if (std::strcmp(argv[i], "--timeout") == 0)
            CReverseGeoCode::SetTimeout(std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--places") == 0)
            return Offline(argv[i + 1], lat, lng);
        else
            return Usage();
    }

    CGeoNames* raw = nullptr;
    const std::error_code error = CReverseGeoCode::GetNearbyLocation(&raw, lat, lng, FULL, 5, 10);
    std::unique_ptr<CGeoNames> names(raw);
    if (error) {
        std::fprintf(stderr, "ostrel-lookup: request failed: %s (%s %d)\n", error.message().c_str(),
                     error.category().name(), error.value());
        return 1;
    }
    if (!names) {
        std::fprintf(stderr, "ostrel-lookup: the answer is not a GeoNames document\n");
        return 1;
    }
    if (names->hasStatus) {
        std::fprintf(stderr, "ostrel-lookup: the service refused: %s (%d)\n", WideToUtf8(names->statusMessage).c_str(),
                     names->statusValue);
        return 1;
    }
    CGPSMetadataInfo info;
    if (!CReverseGeoCode::GetGeoNamesInfo(names.get(), &info))
        std::printf("no address found\n");
    Print("SubLocation", info.SubLocation);
    Print("City", info.City);
    Print("ProvinceState", info.ProvinceState);
    Print("CountryName", info.CountryName);
    Print("CountryCode", info.CountryCode);
    return 0;
}
