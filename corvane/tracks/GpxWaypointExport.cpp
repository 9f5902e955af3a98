#include "GpxWaypointExport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "GPXFilesEncoder.h"
#include "StatusException.h"
#include "StringUtil.h"

namespace {

constexpr double kLastInstant = 253402300800.0;  // 10000-01-01: GPX times end before

struct Placed {
    const WaypointPicture* Picture;
    double Latitude, Longitude;
    std::optional<double> Time;
};

// The UTC instant of the record's GPS date and time stamp.
std::optional<double> GpsStampTime(const CGPSMetadataInfo& r)
{
    if (!r.GPSDate || !r.GPSTime) return std::nullopt;
    const auto& d = *r.GPSDate;
    const auto& t = *r.GPSTime;
    const AutomationDate date = AutomationDate::FromParts(d[0], d[1], d[2], static_cast<int>(t[0]),
                                                          static_cast<int>(t[1]), static_cast<int>(t[2]));
    if (!date.IsValid()) return std::nullopt;
    return std::round((date.Value - 25569.0) * 86400.0);
}

std::optional<double> TimeOf(const WaypointPicture& p, const CameraClock& clock)
{
    if (const auto instant = CaptureInstantOf(StampForRecord(p.Stamp, p.Record->DateTaken), clock)) return instant->Utc;
    return GpsStampTime(*p.Record);
}

std::unique_ptr<GPXWayPoint> WaypointOf(const Placed& p)
{
    auto point = std::make_unique<GPXWayPoint>();
    point->lat = p.Latitude;
    point->lon = p.Longitude;
    point->name = p.Picture->Name;
    const CGPSMetadataInfo& r = *p.Picture->Record;
    if (r.Altitude && std::isfinite(*r.Altitude))
        point->ele = new double(r.AltitudeRef && *r.AltitudeRef == 1 ? -*r.Altitude : *r.Altitude);
    if (p.Time && *p.Time >= 0 && *p.Time < kLastInstant) {
        const double whole = std::floor(*p.Time);
        point->time = new GPXTime(static_cast<GPXTime>(whole));
        if (*p.Time > whole) point->timeFraction = new double(*p.Time - whole);
    }
    return point;
}

}  // namespace

WaypointTree BuildWaypoints(const std::vector<WaypointPicture>& pictures, const CameraClock& clock)
{
    WaypointTree tree;
    std::vector<Placed> placed;
    for (const WaypointPicture& p : pictures) {
        const CGPSMetadataInfo* r = p.Record;
        const double lat = r && r->Latitude ? CGPSMetadataInfo::CoordinateToDecimal(*r->Latitude) : NAN;
        const double lon = r && r->Longitude ? CGPSMetadataInfo::CoordinateToDecimal(*r->Longitude) : NAN;
        if (!(lat >= -90 && lat <= 90 && lon >= -180 && lon <= 180)) {
            ++tree.WithoutCoordinates;
            continue;
        }
        placed.push_back({&p, lat, lon, TimeOf(p, clock)});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        if (a.Time.has_value() != b.Time.has_value()) return a.Time.has_value();
        if (a.Time && *a.Time != *b.Time) return *a.Time < *b.Time;
        return a.Picture->Name < b.Picture->Name;
    });
    tree.Root = std::make_unique<GPXRoot>();
    for (const Placed& p : placed) tree.Root->wpt.push_back(WaypointOf(p).release());
    tree.Waypoints = static_cast<int>(placed.size());
    return tree;
}

bool WriteWaypointFile(const std::string& path, const GPXRoot& root, std::string& error)
{
    try {
        CGPXFilesEncoder encoder(Utf8OrLatin1ToWide(path), L"Corvane", Utf8ToWide(CORVANE_VERSION), false);
        long hr = encoder.Initialize();
        if (hr >= 0) {
            encoder.WriteGpxRoot(const_cast<GPXRoot*>(&root));
            hr = encoder.Finalize();
        }
        if (hr < 0) {
            const int code = static_cast<int>(hr & 0xFFFF);
            error = std::string("cannot write the file (") + ((hr & 0xFFFF0000) == 0x80070000 ? std::strerror(code) : "write failed") + ")";
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        error = std::string("cannot write the file (") + e.what() + ")";
        return false;
    }
}
