// Web Mercator (EPSG:3857) as slippy-map tiles use it. Positions are kept
// in world units: x from 0 (180 W) to 1 (180 E), y from 0 (85.0511 N) to 1
// (85.0511 S); a zoom level z spreads the world over 256 * 2^z pixels.
#pragma once

#include <cstdint>

namespace WebMercator {

// The latitude at which the square world ends: atan(sinh(pi)).
constexpr double MaxLatitude = 85.05112877980659;
constexpr int TileSize = 256;
constexpr int MinZoom = 0;
constexpr int MaxZoom = 19;

struct GeoPoint {
    double Latitude = 0;
    double Longitude = 0;
};

struct WorldPoint {
    double X = 0;
    double Y = 0;
};

struct TileId {
    int Zoom = 0;
    int X = 0;
    int Y = 0;
    bool operator==(const TileId& o) const { return Zoom == o.Zoom && X == o.X && Y == o.Y; }
    bool operator!=(const TileId& o) const { return !(*this == o); }
    // One number per tile, for hashing and caches.
    std::uint64_t Key() const
    {
        return (static_cast<std::uint64_t>(Zoom) << 48) | (static_cast<std::uint64_t>(X) << 24) |
               static_cast<std::uint64_t>(Y);
    }
};

double ClampLatitude(double latitude);
// Into [-180, 180); 180 itself becomes -180, the same meridian.
double WrapLongitude(double longitude);
// Into [0, 1).
double WrapWorldX(double x);

// Latitudes beyond MaxLatitude are clamped, longitudes wrapped.
WorldPoint Project(const GeoPoint& point);
// x is wrapped into the world first; y is clamped to [0, 1].
GeoPoint Unproject(const WorldPoint& point);

// 256 * 2^zoom.
double WorldPixels(int zoom);
int TileCount(int zoom);
// The tile holding a coordinate at `zoom` (clamped to 0..MaxZoom).
TileId TileAt(const GeoPoint& point, int zoom);
// Ground distance covered by one pixel at this latitude and zoom, in metres.
double MetersPerPixel(double latitude, int zoom);

}  // namespace WebMercator
