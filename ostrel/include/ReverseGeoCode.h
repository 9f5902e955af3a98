// Reverse geocoding through the GeoNames web service: the nearby-place
// request, the search of places by name, and the reduction of places to the
// address fields of a picture's geotag record. The operations are static;
// the service address, account name and deadline are set once by the
// program (from its settings), or given with each request.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <system_error>

#include "GeoNames.h"
#include "GeoNamesXmlParser.h"
#include "OstrelErrors.h"
#include "OstrelExport.h"

class CGPSMetadataInfo;

// Where and as whom the service is asked, and how long a request may take
// in all (connection, redirects and the whole answer).
struct CGeoNamesService {
    std::wstring address = L"http://api.geonames.org/";  // plain HTTP, path "/"
    std::wstring user;                                   // empty: no account, nothing is sent
    int timeoutSeconds = 10;
};

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
    // - Transport failure: an OstrelErrc code saying what happened (host not
    //   found, connection refused, no complete answer before the deadline,
    //   the answer cut off, a redirect to another host); *names is not touched.
    // - No account set: OstrelErrc::NoAccount, nothing sent, *names null.
    // - Any HTTP answer: value 0. *names is the parsed list (empty when the
    //   answer names no place; see hasStatus for the service's refusal), or
    //   null when the body is not a complete XML document whose root is
    //   "geonames" (an error page, a network's login page).
    // - An answer longer than ReceiveBufferSize: OstrelErrc::AnswerTooLong
    //   (equal to std::errc::message_size) and *names null. Any other failure
    //   that is not the transport's (an invalid service address, say): a
    //   non-zero code and *names null.
    // - A null `names` or a style outside SHORT..FULL: std::errc::invalid_argument.
    // The caller owns the list and deletes it (which deletes its places).
    static std::error_code GetNearbyLocation(CGeoNames** names, double lat, double lng, GeoNameStyle style,
                                             int radius, int maxRows);
    // The same with the service given instead of the one set below.
    static std::error_code GetNearbyLocation(const CGeoNamesService& service, CGeoNames** names, double lat,
                                             double lng, GeoNameStyle style, int radius, int maxRows);
    // The same, given up as soon as `*cancelled` becomes true (looked at
    // every 50 ms while the request waits): OstrelErrc::Cancelled, the
    // connection closed and *names untouched. A null `cancelled` never cancels.
    static std::error_code GetNearbyLocation(const CGeoNamesService& service, CGeoNames** names, double lat,
                                             double lng, GeoNameStyle style, int radius, int maxRows,
                                             const std::atomic_bool* cancelled);

    // Asks the service for the populated places whose names match `name`,
    // most relevant first, at most `maxRows` of them ("search", style LONG:
    // name, coordinates, country and first-level division of each). Results
    // and failures as for GetNearbyLocation; an empty name or maxRows below
    // 1 is std::errc::invalid_argument.
    static std::error_code SearchPlaces(CGeoNames** names, const std::wstring& name, int maxRows);
    static std::error_code SearchPlaces(const CGeoNamesService& service, CGeoNames** names,
                                        const std::wstring& name, int maxRows);

    // Fills SubLocation, City, ProvinceState, CountryName and CountryCode of
    // *info from the places; the earliest place of each kind wins. False,
    // with *info untouched, for a null or empty list; false also when no name
    // was found (then the fields that ended empty are absent).
    static bool GetGeoNamesInfo(CGeoNames* names, CGPSMetadataInfo* info);

    // The base address of the service (plain HTTP, path "/"), the account
    // name sent as "username" (none at first) and the deadline of a whole
    // request in seconds (10 at first, at least 1). Safe to call from any thread.
    static void SetServiceAddress(const std::wstring& address);
    static void SetUserName(const std::wstring& user);
    static void SetTimeout(int seconds);
    static std::wstring GetServiceAddress();
    static std::wstring GetUserName();
    static int GetTimeout();
    static CGeoNamesService GetService();

    // A coordinate as the request sends it: 14 significant digits, general
    // format, whatever the locale ("48.858844", "45", "1e-05").
    static std::string FormatCoordinate(double value);
};
