#include "WebMercator.h"

#include <algorithm>
#include <cmath>

namespace WebMercator {

namespace {

constexpr double kPi = 3.14159265358979323846;
// WGS 84 equatorial circumference, the ground size of the zoom 0 tile.
constexpr double kEquator = 40075016.685578488;

}  // namespace

double ClampLatitude(double latitude) { return std::clamp(latitude, -MaxLatitude, MaxLatitude); }

double WrapLongitude(double longitude)
{
    if (longitude >= -180.0 && longitude < 180.0) return longitude;
    double wrapped = std::fmod(longitude + 180.0, 360.0);
    if (wrapped < 0) wrapped += 360.0;
    return wrapped - 180.0;
}

double WrapWorldX(double x)
{
    if (x >= 0.0 && x < 1.0) return x;
    double wrapped = x - std::floor(x);
    return wrapped >= 1.0 ? 0.0 : wrapped;  // a tiny negative x rounds up to 1
}

WorldPoint Project(const GeoPoint& point)
{
    const double lambda = WrapLongitude(point.Longitude);
    const double phi = ClampLatitude(point.Latitude) * kPi / 180.0;
    WorldPoint world;
    world.X = (lambda + 180.0) / 360.0;
    world.Y = 0.5 - std::log(std::tan(kPi / 4.0 + phi / 2.0)) / (2.0 * kPi);
    world.Y = std::clamp(world.Y, 0.0, 1.0);
    return world;
}

GeoPoint Unproject(const WorldPoint& point)
{
    const double y = std::clamp(point.Y, 0.0, 1.0);
    GeoPoint geo;
    geo.Longitude = WrapWorldX(point.X) * 360.0 - 180.0;
    geo.Latitude = std::atan(std::sinh(kPi * (1.0 - 2.0 * y))) * 180.0 / kPi;
    return geo;
}

double WorldPixels(int zoom) { return std::ldexp(static_cast<double>(TileSize), std::clamp(zoom, 0, 30)); }

int TileCount(int zoom) { return 1 << std::clamp(zoom, 0, 30); }

TileId TileAt(const GeoPoint& point, int zoom)
{
    zoom = std::clamp(zoom, MinZoom, MaxZoom);
    const WorldPoint world = Project(point);
    const int count = TileCount(zoom);
    TileId tile;
    tile.Zoom = zoom;
    tile.X = std::clamp(static_cast<int>(std::floor(world.X * count)), 0, count - 1);
    tile.Y = std::clamp(static_cast<int>(std::floor(world.Y * count)), 0, count - 1);
    return tile;
}

double MetersPerPixel(double latitude, int zoom)
{
    return kEquator * std::cos(ClampLatitude(latitude) * kPi / 180.0) / WorldPixels(zoom);
}

}  // namespace WebMercator
