// ostrel-lookup LAT LNG [--server URL] [--user NAME]
// One nearby-place request as the program makes it (FULL, radius 5, 10
// rows), then the address extraction; prints the five address fields, the
// transport error or the service's own refusal. The library's smoke test.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "GPSMetadataInfo.h"
#include "ReverseGeoCode.h"
#include "StringUtil.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: ostrel-lookup LAT LNG [--server URL] [--user NAME]\n");
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
