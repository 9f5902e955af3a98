// Reverse geocoding through the GeoNames web service: the nearby-place
// request and the reduction of its places to the address fields of a
// picture's geotag record. The operations are static; the service address
// and account name are set once by the program (from its settings).
#pragma once

#include <cstdint>
#include <string>
#include <system_error>

#include "GeoNames.h"
#include "GeoNamesXmlParser.h"
#include "OstrelExport.h"

class CGPSMetadataInfo;

// The verbosity asked for; sent as the word of the same name.
enum GeoNameStyle : std::int32_t {
    SHORT = 0,
    MEDIUM = 1,
    LONG = 2,
    FULL = 3,
};

class OSTREL_API CReverseGeoCode {
public:
    // The receive buffer: an answer longer than this is refused.
    static constexpr std::size_t ReceiveBufferSize = 0xFFFF;

    // Asks the service for the places within `radius` km of the coordinate
    // (signed decimal degrees), at most `maxRows` of them.
    // - Transport failure (name resolution, connection, time-out): the HTTP
    //   client's error code; *names is not touched.
    // - Any HTTP answer: value 0. *names is the parsed list (empty when the
    //   answer names no place; see hasStatus for the service's refusal), or
    //   null when the body is not a complete XML document.
    // - An answer longer than ReceiveBufferSize: std::errc::message_size and
    //   *names null. Any other failure that is not the transport's (an
    //   invalid service address, say): a non-zero code and *names null.
    // - A null `names` or a style outside SHORT..FULL: std::errc::invalid_argument.
    // The caller owns the list and deletes it (which deletes its places).
    static std::error_code GetNearbyLocation(CGeoNames** names, double lat, double lng, GeoNameStyle style,
                                             int radius, int maxRows);

    // Fills SubLocation, City, ProvinceState, CountryName and CountryCode of
    // *info from the places; the earliest place of each kind wins. False,
    // with *info untouched, for a null or empty list; false also when no name
    // was found (then the fields that ended empty are absent).
    static bool GetGeoNamesInfo(CGeoNames* names, CGPSMetadataInfo* info);

    // The base address of the service (plain HTTP, path "/") and the
    // account name sent as "username". Safe to call from any thread.
    static void SetServiceAddress(const std::wstring& address);
    static void SetUserName(const std::wstring& user);
    static std::wstring GetServiceAddress();
    static std::wstring GetUserName();

    // A coordinate as the request sends it: 14 significant digits, general
    // format, whatever the locale ("48.858844", "45", "1e-05").
    static std::string FormatCoordinate(double value);
};
