// The Garmin GPX extension records (version 3), and their common base. Field
// ownership follows the GPX records: raw pointers and vectors of pointers own
// what they hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GPXOptional.h"
#include "VellocExport.h"

enum GPXGARDisplayMode : std::int32_t {
    GPXGARDisplayModeNotSet = 0,
    GPXGARSymbolOnly = 1,
    GPXGARSymbolAndName = 2,
    GPXGARSymbolAndDescription = 3,
};

enum GPXGARDisplayColor : std::int32_t {
    GPXGARColorNotSet = 0,
    GPXGARBlack, GPXGARDarkRed, GPXGARDarkGreen, GPXGARDarkYellow, GPXGARDarkBlue, GPXGARDarkMagenta,
    GPXGARDarkCyan, GPXGARLightGray, GPXGARDarkGray, GPXGARRed, GPXGARGreen, GPXGARYellow, GPXGARBlue,
    GPXGARMagenta, GPXGARCyan, GPXGARWhite, GPXGARTransparent,
};

// Base of the extension records. `data` is an untyped block for callers that
// attach their own content; the library never sets it and frees it with
// operator delete[] (it must come from new unsigned char[]).
class VELLOC_API GPXExtensions {
public:
    GPXExtensions();
    virtual ~GPXExtensions();
    GPXExtensions(const GPXExtensions&) = delete;
    GPXExtensions& operator=(const GPXExtensions&) = delete;
    // Most points carry one: they come from the library's record storage.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;
    unsigned char* data = nullptr;
};

class VELLOC_API GPXGARAddress {
public:
    GPXGARAddress();
    ~GPXGARAddress();
    GPXGARAddress(const GPXGARAddress&) = delete;
    GPXGARAddress& operator=(const GPXGARAddress&) = delete;
    std::wstring StreetAddress1;
    std::wstring StreetAddress2;
    std::wstring City;
    std::wstring State;
    std::wstring Country;
    std::wstring PostalCode;
    GPXExtensions* Extensions = nullptr;
};

class VELLOC_API GPXGARPhoneNumber {
public:
    GPXGARPhoneNumber();
    ~GPXGARPhoneNumber();
    std::wstring Category;  // the attribute
    std::wstring Number;    // the element text
};

class VELLOC_API GPXGARAutoRoutePoint {
public:
    GPXGARAutoRoutePoint();
    ~GPXGARAutoRoutePoint();
    double lat = 0;
    double lon = 0;
    std::wstring Subclass;
};

class VELLOC_API GPXGARWaypointExtension : public GPXExtensions {
public:
    GPXGARWaypointExtension();
    ~GPXGARWaypointExtension() override;
    GPXOptional<double> Proximity;
    GPXOptional<double> Temperature;
    GPXOptional<double> Depth;
    GPXGARDisplayMode DisplayMode = GPXGARDisplayModeNotSet;
    std::vector<std::wstring> Categories;
    GPXGARAddress* Address = nullptr;
    std::vector<GPXGARPhoneNumber*> PhoneNumber;
    GPXExtensions* Extensions = nullptr;
};

class VELLOC_API GPXGARRouteExtension : public GPXExtensions {
public:
    GPXGARRouteExtension();
    ~GPXGARRouteExtension() override;
    std::int32_t IsAutoNamed = 0;
    GPXGARDisplayColor DisplayColor = GPXGARColorNotSet;
    GPXExtensions* Extensions = nullptr;
};

class VELLOC_API GPXGARRoutePointExtension : public GPXExtensions {
public:
    GPXGARRoutePointExtension();
    ~GPXGARRoutePointExtension() override;
    std::wstring Subclass;
    std::vector<GPXGARAutoRoutePoint*> rpt;
    GPXExtensions* Extensions = nullptr;
};

class VELLOC_API GPXGARTrackExtension : public GPXExtensions {
public:
    GPXGARTrackExtension();
    ~GPXGARTrackExtension() override;
    GPXGARDisplayColor DisplayColor = GPXGARColorNotSet;
    GPXExtensions* Extensions = nullptr;
};

class VELLOC_API GPXGARTrackPointExtension : public GPXExtensions {
public:
    GPXGARTrackPointExtension();
    ~GPXGARTrackPointExtension() override;
    GPXOptional<double> Temperature;
    GPXOptional<double> Depth;
    GPXExtensions* Extensions = nullptr;
};

// Garmin's TrackPointExtension of versions 1 and 2 (each in a namespace of
// its own, beside the v3 record), the most common extension of activity
// tracks. Version 2 holds everything of version 1 and adds speed, course and
// bearing. The encoder writes the record in the namespace of `Version`, or of
// version 2 when a value only version 2 holds is set.
class VELLOC_API GPXGARTrackPointExtensionV2 : public GPXExtensions {
public:
    GPXGARTrackPointExtensionV2();
    ~GPXGARTrackPointExtensionV2() override;
    std::int32_t Version = 2;        // 1 or 2: the namespace it was read from
    GPXOptional<double> atemp;         // air temperature, degrees Celsius
    GPXOptional<double> wtemp;         // water temperature, degrees Celsius
    GPXOptional<double> depth;         // metres
    GPXOptional<std::uint32_t> hr;     // heart rate, beats per minute
    GPXOptional<std::uint32_t> cad;    // cadence, revolutions per minute
    GPXOptional<double> speed;         // metres per second (version 2)
    GPXOptional<double> course;        // degrees true (version 2)
    GPXOptional<double> bearing;       // degrees true (version 2)
    GPXExtensions* Extensions = nullptr;
};
