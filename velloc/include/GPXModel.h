// The in-memory form of a GPX 1.1 file: a tree of plain records rooted at
// GPXRoot, one record per GPX element type, fields named after the elements
// and attributes they stand for and kept in the schema's order.
//
// Conventions: a raw pointer field owns what it points to (null = absent);
// a vector of pointers owns its elements, in document order. Destroying a
// record frees everything it owns, so deleting the root frees the tree.
// Times are seconds since 1970-01-01 00:00:00 UTC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "GPXGarminExtensions.h"
#include "GPXOptional.h"
#include "VellocExport.h"

using GPXTime = std::int64_t;

enum GPXFixType : std::int32_t {
    GPXFixNone = 0,
    GPXFix2D = 1,
    GPXFix3D = 2,
    GPXFixDGPS = 3,
    GPXFixPPS = 4,
};

class VELLOC_API GPXEmail {
public:
    GPXEmail();
    ~GPXEmail();
    std::wstring id;
    std::wstring domain;
};

class VELLOC_API GPXLink {
public:
    GPXLink();
    ~GPXLink();
    std::wstring href;
    std::wstring text;
    std::wstring type;
};

class VELLOC_API GPXPerson {
public:
    GPXPerson();
    ~GPXPerson();
    GPXPerson(const GPXPerson&) = delete;
    GPXPerson& operator=(const GPXPerson&) = delete;
    std::wstring name;
    GPXEmail* email = nullptr;
    GPXLink* link = nullptr;  // one link, not a list
};

class VELLOC_API GPXCopyright {
public:
    GPXCopyright();
    ~GPXCopyright();
    GPXCopyright(const GPXCopyright&) = delete;
    GPXCopyright& operator=(const GPXCopyright&) = delete;
    std::wstring author;
    GPXOptional<std::int32_t> year;
    std::wstring license;
};

class VELLOC_API GPXBounds {
public:
    GPXBounds();
    ~GPXBounds();
    double minlat = 0;
    double minlon = 0;
    double maxlat = 0;
    double maxlon = 0;
};

class VELLOC_API GPXMetadata {
public:
    GPXMetadata();
    ~GPXMetadata();
    GPXMetadata(const GPXMetadata&) = delete;
    GPXMetadata& operator=(const GPXMetadata&) = delete;
    std::wstring name;
    std::wstring desc;
    GPXPerson* author = nullptr;
    GPXCopyright* copyright = nullptr;
    std::vector<GPXLink*> link;
    GPXOptional<GPXTime> time;
    std::wstring keywords;
    GPXBounds* bounds = nullptr;
    GPXExtensions* extensions = nullptr;
};

// A waypoint, and the common part of route and track points. Route and
// track points are deleted through this base, hence the virtual destructor.
class VELLOC_API GPXWayPoint {
public:
    GPXWayPoint();
    virtual ~GPXWayPoint();
    GPXWayPoint(const GPXWayPoint&) = delete;
    GPXWayPoint& operator=(const GPXWayPoint&) = delete;
    // Points are many: they come from the library's record storage.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;
    double lat = 0;
    double lon = 0;
    GPXOptional<double> ele;
    GPXOptional<GPXTime> time;
    GPXOptional<double> magvar;
    GPXOptional<double> geoidheight;
    std::wstring name;
    std::wstring cmt;
    std::wstring desc;
    std::wstring src;
    std::vector<GPXLink*> link;
    std::wstring sym;
    std::wstring type;
    GPXFixType fix = GPXFixNone;
    GPXOptional<std::uint32_t> sat;
    GPXOptional<double> hdop;
    GPXOptional<double> vdop;
    GPXOptional<double> pdop;
    GPXOptional<double> ageofdgpsdata;
    GPXOptional<std::int32_t> dgpsid;
    // For a waypoint read from a file: a GPXGARWaypointExtension or null.
    GPXExtensions* extensions = nullptr;
    // The fraction of a second of `time` (0 < f < 1) when the file gave one;
    // `time` holds the whole seconds.
    GPXOptional<double> timeFraction;
};

class VELLOC_API GPXRoutePoint : public GPXWayPoint {
public:
    GPXRoutePoint();
    ~GPXRoutePoint() override;
    // A GPXGARRoutePointExtension when read from a file, or null.
    GPXExtensions* garminExtension = nullptr;
};

class VELLOC_API GPXTrackPoint : public GPXWayPoint {
public:
    GPXTrackPoint();
    ~GPXTrackPoint() override;
    // A GPXGARTrackPointExtension when read from a file, or null.
    GPXExtensions* garminExtension = nullptr;
    // Garmin's TrackPointExtension version 1 or 2 (heart rate, cadence,
    // temperatures...): a GPXGARTrackPointExtensionV2 when read, or null.
    GPXExtensions* garminTrackPointExtension = nullptr;
};

// The common part of routes and tracks.
class VELLOC_API GPXRouteTrackBase {
public:
    GPXRouteTrackBase();
    virtual ~GPXRouteTrackBase();
    GPXRouteTrackBase(const GPXRouteTrackBase&) = delete;
    GPXRouteTrackBase& operator=(const GPXRouteTrackBase&) = delete;
    std::wstring name;
    std::wstring cmt;
    std::wstring desc;
    std::wstring src;
    std::vector<GPXLink*> link;
    GPXOptional<std::uint32_t> number;
    std::wstring type;
};

class VELLOC_API GPXRoute : public GPXRouteTrackBase {
public:
    GPXRoute();
    ~GPXRoute() override;
    std::vector<GPXRoutePoint*> rtept;
    // A GPXGARRouteExtension when read from a file, or null.
    GPXExtensions* extensions = nullptr;
};

class VELLOC_API GPXTrackSegment {
public:
    GPXTrackSegment();
    ~GPXTrackSegment();
    GPXTrackSegment(const GPXTrackSegment&) = delete;
    GPXTrackSegment& operator=(const GPXTrackSegment&) = delete;
    std::vector<GPXTrackPoint*> trkpt;
    GPXExtensions* extensions = nullptr;  // never filled by the decoder
};

class VELLOC_API GPXTrack : public GPXRouteTrackBase {
public:
    GPXTrack();
    ~GPXTrack() override;
    std::vector<GPXTrackSegment*> trkseg;
    // A GPXGARTrackExtension when read from a file, or null.
    GPXExtensions* extensions = nullptr;
};

class VELLOC_API GPXRoot {
public:
    GPXRoot();
    ~GPXRoot();
    GPXRoot(const GPXRoot&) = delete;
    GPXRoot& operator=(const GPXRoot&) = delete;
    // 1 when the file read declares the Garmin extension namespace.
    std::int32_t hasGarminExtensions = 0;
    std::wstring version = L"1.1";
    std::wstring creator;
    GPXMetadata* metadata = nullptr;
    std::vector<GPXWayPoint*> wpt;
    std::vector<GPXRoute*> rte;
    std::vector<GPXTrack*> trk;
    GPXExtensions* extensions = nullptr;
};
