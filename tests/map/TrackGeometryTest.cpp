#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "Clipping.h"
#include "TrackGeometry.h"

using namespace WebMercator;

namespace {

std::vector<WorldPoint> VisitAll(const CTrackGeometry& track, int zoom, const WorldRect& view)
{
    std::vector<WorldPoint> points;
    track.Visit(zoom, view, [&](const WorldPoint* p, size_t n) {
        // Runs share their end points: keep each point once.
        for (size_t i = points.empty() ? 0 : 1; i < n; ++i) points.push_back(p[i]);
    });
    return points;
}

const WorldRect kEverywhere{-3, -1, 3, 2};

TEST(TrackGeometry, ATrackAcrossTheAntimeridianIsOneUnbrokenLine)
{
    // Fiji to Samoa: 178 E to 172 W, the short way across 180.
    CTrackGeometry track;
    track.Build({{{-17.7, 178.0}, {-17.0, 179.5}, {-16.0, -179.5}, {-14.0, -172.0}}});
    const std::vector<WorldPoint> points = VisitAll(track, MaxZoom, kEverywhere);
    ASSERT_EQ(points.size(), 4u);
    for (size_t i = 1; i < points.size(); ++i) {
        EXPECT_GT(points[i].X, points[i - 1].X);                  // always eastwards
        EXPECT_LT(points[i].X - points[i - 1].X, 10.0 / 360.0);  // never the long way round
    }
    EXPECT_GT(points.back().X, 1.0);  // beyond the east edge of the world, not back at its west edge
    WorldRect bounds;
    ASSERT_TRUE(track.Bounds(bounds));
    EXPECT_LT(bounds.Right - bounds.Left, 11.0 / 360.0);
    // Westwards the other way: below 0.
    CTrackGeometry back;
    back.Build({{{-14.0, -172.0}, {-16.0, -179.5}, {-17.0, 179.5}}});
    EXPECT_LT(VisitAll(back, MaxZoom, kEverywhere).back().X, 0.0);
}

TEST(TrackGeometry, LevelsKeepFewerPointsWhenZoomedOutAndAlwaysTheEnds)
{
    std::mt19937 random(3);
    std::normal_distribution<double> step(0.0, 0.0002);
    CTrackGeometry::Line line;
    GeoPoint p{46.0, 7.0};
    for (int i = 0; i < 20000; ++i) {
        line.push_back(p);
        p.Latitude += step(random);
        p.Longitude += step(random);
    }
    CTrackGeometry track;
    track.Build({line});
    EXPECT_EQ(track.PointCount(), 20000u);
    size_t previous = 0;
    for (int zoom = MinZoom; zoom <= MaxZoom; ++zoom) {
        const size_t kept = track.KeptAt(zoom);
        EXPECT_GE(kept, previous) << zoom;
        previous = kept;
        const std::vector<WorldPoint> points = VisitAll(track, zoom, kEverywhere);
        EXPECT_EQ(points.size(), kept);
        EXPECT_DOUBLE_EQ(points.front().X, Project(line.front()).X);
        EXPECT_DOUBLE_EQ(points.back().Y, Project(line.back()).Y);
    }
    EXPECT_LE(track.KeptAt(0), 8u);  // a few pixels of track: a handful of points
    EXPECT_GT(track.KeptAt(MaxZoom), 15000u);
}

TEST(TrackGeometry, NoDroppedPointLiesFartherThanHalfAPixelFromTheDrawnLine)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> wiggle(-0.01, 0.01);
    CTrackGeometry::Line line;
    for (int i = 0; i < 2000; ++i) line.push_back({45.0 + i * 0.001 + wiggle(random), 7.0 + wiggle(random)});
    CTrackGeometry track;
    track.Build({line});
    const int zoom = 9;
    const std::vector<WorldPoint> kept = VisitAll(track, zoom, kEverywhere);
    const double tolerance = 0.5 / WorldPixels(zoom);
    // Each original point is within tolerance of some drawn segment.
    for (const GeoPoint& geo : line) {
        const WorldPoint p = Project(geo);
        double best = 1.0;
        for (size_t i = 0; i + 1 < kept.size(); ++i) {
            const WorldPoint& a = kept[i];
            const WorldPoint& b = kept[i + 1];
            const double dx = b.X - a.X, dy = b.Y - a.Y, l2 = dx * dx + dy * dy;
            double t = l2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / l2 : 0;
            t = std::fmin(1.0, std::fmax(0.0, t));
            best = std::fmin(best, std::hypot(p.X - a.X - t * dx, p.Y - a.Y - t * dy));
        }
        EXPECT_LE(best, tolerance * 1.0001);
    }
}

TEST(TrackGeometry, VisitSkipsRunsOutsideTheViewAndDropsShortLines)
{
    CTrackGeometry::Line line;
    for (int i = 0; i < 5000; ++i) line.push_back({0.0, -170.0 + i * 0.068});  // along the equator
    CTrackGeometry track;
    track.Build({line, {{1.0, 1.0}}, {}});
    EXPECT_EQ(track.LineCount(), 1u);  // a single point and an empty line are no lines
    const WorldPoint centre = Project({0.0, 0.0});
    const double half = 100.0 / WorldPixels(MaxZoom);
    size_t visited = 0;
    track.Visit(MaxZoom, {centre.X - half, centre.Y - half, centre.X + half, centre.Y + half},
                [&](const WorldPoint*, size_t n) { visited += n; });
    EXPECT_GT(visited, 0u);
    EXPECT_LE(visited, 2 * (CTrackGeometry::RunLength + 1));
    EXPECT_GT(track.MemoryBytes(), 5000 * sizeof(WorldPoint));
}

TEST(Clipping, PolylinePiecesAndRings)
{
    const WorldRect box{0, 0, 10, 10};
    // In, out, back in: two pieces, cut at the edges.
    const WorldPoint line[] = {{5, 5}, {15, 5}, {15, 8}, {5, 8}};
    std::vector<std::vector<WorldPoint>> pieces;
    ClipPolyline(line, 4, box, [&](const std::vector<WorldPoint>& piece) { pieces.push_back(piece); });
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_DOUBLE_EQ(pieces[0].back().X, 10);
    EXPECT_DOUBLE_EQ(pieces[1].front().X, 10);
    EXPECT_DOUBLE_EQ(pieces[1].back().X, 5);
    // A segment crossing the box with both ends outside.
    const WorldPoint across[] = {{-5, 5}, {15, 5}};
    pieces.clear();
    ClipPolyline(across, 2, box, [&](const std::vector<WorldPoint>& piece) { pieces.push_back(piece); });
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_DOUBLE_EQ(pieces[0][0].X, 0);
    EXPECT_DOUBLE_EQ(pieces[0][1].X, 10);
    // A ring larger than the box becomes the box; one outside it disappears.
    const WorldPoint big[] = {{-100, -100}, {100, -100}, {100, 100}, {-100, 100}};
    const std::vector<WorldPoint> clipped = ClipRing(big, 4, box);
    ASSERT_EQ(clipped.size(), 4u);
    for (const WorldPoint& p : clipped) {
        EXPECT_TRUE(p.X == 0 || p.X == 10);
        EXPECT_TRUE(p.Y == 0 || p.Y == 10);
    }
    const WorldPoint away[] = {{20, 20}, {30, 20}, {30, 30}};
    EXPECT_TRUE(ClipRing(away, 3, box).empty());
}

}  // namespace
