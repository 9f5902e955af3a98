// The places of a GeoNames answer: one CGeoNameLocation per "geoname"
// element, in document order, in a CGeoNames list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "OstrelExport.h"

struct CGeoNameAdminCode {
    std::wstring iso3166_2;  // attribute "ISO3166-2"
    std::int32_t code = -1;  // the element's text
};

struct CGeoNameAlternateName {
    std::wstring lang;  // attribute "lang"
    std::wstring name;  // the element's text
};

struct CGeoNameTimeZone {
    double dstOffset = 0;
    double gmtOffset = 0;
    std::wstring timeZoneId;
};

// -91 and -181 (outside latitude and longitude) mean no box was read.
struct CGeoNameBoundingBox {
    double north = -91.0;
    double south = -91.0;
    double east = -181.0;
    double west = -181.0;
};

class OSTREL_API CGeoNameLocation {
public:
    CGeoNameLocation();
    ~CGeoNameLocation();
    CGeoNameLocation(const CGeoNameLocation&) = delete;
    CGeoNameLocation& operator=(const CGeoNameLocation&) = delete;

    // Back to the values of a new record (numbers 0, ids and codes -1, the
    // bounding box empty, the alternate name records destroyed).
    void Clear();

    std::wstring toponymName;
    std::wstring name;
    double lat;
    double lng;
    std::int32_t geonameId;
    std::wstring countryCode;
    std::wstring countryName;
    std::wstring fcl;  // feature class: "P" populated place, "A" administrative division, ...
    std::wstring fcode;
    std::vector<std::wstring> fclName;  // the words of "fclName"
    std::wstring fcodeName;
    double population;
    std::wstring asciiName;
    std::vector<std::wstring> alternateNames;  // "alternateNames" cut at commas
    double elevation;
    std::wstring continentCode;
    CGeoNameAdminCode adminCode1;
    CGeoNameAdminCode adminCode2;
    std::wstring adminName1;
    std::wstring adminName2;
    std::vector<CGeoNameAlternateName*> alternateNameList;  // owned
    CGeoNameTimeZone timezone;
    double distance;
    CGeoNameBoundingBox bbox;
};

// The list returned by a request. Destroying it destroys its places: do not
// delete them yourself.
struct OSTREL_API CGeoNames {
    CGeoNames();
    ~CGeoNames();
    CGeoNames(const CGeoNames&) = delete;
    CGeoNames& operator=(const CGeoNames&) = delete;

    std::vector<CGeoNameLocation*> locations;  // owned, in document order

    // The service's own refusal ("status" element: an unknown account, an
    // exhausted daily or hourly limit), kept so the caller can say why no
    // place came back.
    bool hasStatus = false;
    std::wstring statusMessage;
    std::int32_t statusValue = 0;
};
