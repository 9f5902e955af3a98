#include <gtest/gtest.h>

#include <cmath>

#include "MapViewport.h"
#include "WebMercator.h"

using namespace WebMercator;

namespace {

struct KnownTile {
    const char* Place;
    double Latitude, Longitude;
    int Zoom, X, Y;
};

// Tile numbers worked out with the slippy-map formula in its asinh(tan) form.
const KnownTile kKnownTiles[] = {
    {"Greenwich", 51.4779, -0.0015, 0, 0, 0},       {"Greenwich", 51.4779, -0.0015, 5, 15, 10},
    {"Greenwich", 51.4779, -0.0015, 10, 511, 340},  {"Greenwich", 51.4779, -0.0015, 17, 65535, 43602},
    {"Greenwich", 51.4779, -0.0015, 19, 262141, 174408},
    {"Sydney", -33.8688, 151.2093, 1, 1, 1},        {"Sydney", -33.8688, 151.2093, 13, 7536, 4915},
    {"Sydney", -33.8688, 151.2093, 19, 482358, 314621},
    {"Honolulu", 21.3069, -157.8583, 5, 1, 14},     {"Honolulu", 21.3069, -157.8583, 15, 2015, 14398},
    {"Tromso", 69.6492, 18.9553, 1, 1, 0},          {"Tromso", 69.6492, 18.9553, 10, 565, 232},
    {"Tromso", 69.6492, 18.9553, 19, 289749, 118817},
    // The edges: the north-west corner, the last tile before the antimeridian, the clamped poles.
    {"north-west corner", MaxLatitude, -180.0, 19, 0, 0},
    {"antimeridian, west side", 0.0, 179.99999, 19, 524287, 262144},
    {"antimeridian, 180 wraps to -180", 0.0, 180.0, 19, 0, 262144},
    {"north pole", 90.0, 0.0, 12, 2048, 0},
    {"south pole", -90.0, 0.0, 12, 2048, 4095},
};

class KnownTileTest : public ::testing::TestWithParam<KnownTile> {};

TEST_P(KnownTileTest, TileOfCoordinate)
{
    const KnownTile& k = GetParam();
    const TileId tile = TileAt({k.Latitude, k.Longitude}, k.Zoom);
    EXPECT_EQ(tile.Zoom, k.Zoom) << k.Place;
    EXPECT_EQ(tile.X, k.X) << k.Place;
    EXPECT_EQ(tile.Y, k.Y) << k.Place;
}

INSTANTIATE_TEST_SUITE_P(Places, KnownTileTest, ::testing::ValuesIn(kKnownTiles));

TEST(WebMercator, EveryZoomHoldsTheTileOfTheNextOne)
{
    // A tile at zoom z is the parent of the tile at z + 1 that holds the same point.
    const GeoPoint places[] = {{51.4779, -0.0015}, {-33.8688, 151.2093}, {-54.8019, -68.3030}, {0.0, 0.0}};
    for (const GeoPoint& p : places)
        for (int zoom = MinZoom; zoom < MaxZoom; ++zoom) {
            const TileId tile = TileAt(p, zoom), child = TileAt(p, zoom + 1);
            EXPECT_EQ(child.X / 2, tile.X) << zoom;
            EXPECT_EQ(child.Y / 2, tile.Y) << zoom;
            EXPECT_LT(tile.X, TileCount(zoom));
        }
}

TEST(WebMercator, PixelRoundTripAtZoom19IsWithinOneBillionthOfADegree)
{
    const double scale = WorldPixels(19);
    for (double lat = -85.0; lat <= 85.0; lat += 7.3)
        for (double lon = -179.9; lon < 180.0; lon += 11.7) {
            const WorldPoint world = Project({lat, lon});
            const double px = world.X * scale, py = world.Y * scale;  // the pixel at zoom 19
            const GeoPoint back = Unproject({px / scale, py / scale});
            EXPECT_NEAR(back.Latitude, lat, 1e-9);
            EXPECT_NEAR(back.Longitude, lon, 1e-9);
        }
}

TEST(WebMercator, LatitudesAreClampedAndLongitudesWrapped)
{
    EXPECT_DOUBLE_EQ(Project({89.9, 0}).Y, 0.0);
    EXPECT_DOUBLE_EQ(Project({-89.9, 0}).Y, 1.0);
    EXPECT_NEAR(Unproject({0.3, 0.0}).Latitude, 85.0511, 1e-4);
    EXPECT_NEAR(Unproject({0.3, 1.0}).Latitude, -85.0511, 1e-4);
    const struct {
        double In, Out;
    } wraps[] = {{180.0, -180.0}, {190.0, -170.0}, {-190.0, 170.0}, {540.0, -180.0}, {-180.0, -180.0}, {0.0, 0.0},
                 {719.5, -0.5}};
    for (const auto& w : wraps) EXPECT_DOUBLE_EQ(WrapLongitude(w.In), w.Out) << w.In;
    EXPECT_NEAR(Unproject({1.25, 0.5}).Longitude, -90.0, 1e-12);
    EXPECT_NEAR(Unproject({-0.25, 0.5}).Longitude, 90.0, 1e-12);
    EXPECT_DOUBLE_EQ(WrapWorldX(-1e-18), 0.0);  // never 1.0
}

TEST(WebMercator, GroundResolution)
{
    // The equator at zoom 0: the circumference over 256 pixels; half of it at 60 degrees.
    EXPECT_NEAR(MetersPerPixel(0, 0), 156543.03, 0.01);
    EXPECT_NEAR(MetersPerPixel(60, 0), 156543.03 / 2, 0.01);
    EXPECT_NEAR(MetersPerPixel(0, 19), 0.2986, 1e-4);
}

TEST(MapViewport, ZoomAboutAPointKeepsItUnderThePointer)
{
    CMapViewport view;
    view.SetSize(1600, 1000);
    view.SetZoom(5);
    view.SetCenter(GeoPoint{48.0, 11.0});
    const struct {
        int Zoom;
        double X, Y;
    } steps[] = {{6, 100, 900}, {12, 1500, 20}, {19, 800, 500}, {3, 0, 0}, {0, 1599, 999}};
    for (const auto& s : steps) {
        const GeoPoint before = view.ToGeo(s.X, s.Y);
        view.ZoomAbout(s.Zoom, s.X, s.Y);
        EXPECT_EQ(view.Zoom(), s.Zoom);
        if (s.Zoom < 3) continue;  // a small world is centred vertically instead
        const GeoPoint after = view.ToGeo(s.X, s.Y);
        EXPECT_NEAR(after.Latitude, before.Latitude, 1e-9) << s.Zoom;
        EXPECT_NEAR(after.Longitude, before.Longitude, 1e-9) << s.Zoom;
    }
}

TEST(MapViewport, PanFollowsTheDragAndStaysWithinThePoles)
{
    CMapViewport view;
    view.SetSize(800, 600);
    view.SetZoom(8);
    view.SetCenter(GeoPoint{0, 0});
    const ScreenPoint start = view.ToScreen(Project({1.0, 1.0}));
    view.PanBy(-120, 45);
    const ScreenPoint moved = view.ToScreen(Project({1.0, 1.0}));
    EXPECT_NEAR(moved.X - start.X, -120, 1e-6);
    EXPECT_NEAR(moved.Y - start.Y, 45, 1e-6);
    view.PanBy(0, 1e9);  // far past the north pole
    EXPECT_NEAR(view.ToGeo(400, 0).Latitude, MaxLatitude, 1e-9);
    // Panning round the whole world westwards comes back to the same meridian.
    const double lon = view.CenterGeo().Longitude;
    view.PanBy(WorldPixels(8) * 3, 0);
    EXPECT_NEAR(view.CenterGeo().Longitude, lon, 1e-9);
}

TEST(MapViewport, FitChoosesTheDeepestZoomThatHoldsTheBounds)
{
    CMapViewport view;
    view.SetSize(1600, 1000);
    const WorldPoint a = Project({48.80, 2.25}), b = Project({48.90, 2.42});  // Paris
    view.Fit({a.X, b.Y, b.X, a.Y}, 17, 40);
    EXPECT_EQ(view.Zoom(), 13);
    const ScreenPoint pa = view.ToScreen(a), pb = view.ToScreen(b);
    EXPECT_GE(pa.X, 40);
    EXPECT_LE(pb.X, 1560);
    // One point: the deepest zoom allowed.
    view.Fit({a.X, a.Y, a.X, a.Y}, 17, 40);
    EXPECT_EQ(view.Zoom(), 17);
    EXPECT_NEAR(view.ToScreen(a).X, 800, 1e-6);
}

TEST(MapViewport, TilesAndWorldCopiesAcrossTheAntimeridian)
{
    CMapViewport view;
    view.SetSize(1024, 512);
    view.SetZoom(3);
    view.SetCenter(GeoPoint{0, 180.0});
    const TileRange tiles = view.VisibleTiles();
    EXPECT_EQ(tiles.FirstX, -2);  // two tiles west of the antimeridian (6 and 7)...
    EXPECT_EQ(tiles.LastX, 1);    // ...and two east of it
    EXPECT_EQ(tiles.FirstY, 3);
    EXPECT_EQ(tiles.LastY, 4);
    // A point just east of the antimeridian is drawn east of the centre.
    EXPECT_GT(view.ToScreen(Project({0, -179.0})).X, 512);
    EXPECT_LT(view.ToScreen(Project({0, 179.0})).X, 512);
    // At zoom 0 a 1024-pixel view shows the 256-pixel world four times.
    view.SetZoom(0);
    EXPECT_EQ(view.WorldCopies(0.0, 1.0).size(), 4u);
}

}  // namespace
