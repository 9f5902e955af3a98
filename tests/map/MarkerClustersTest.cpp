#include <gtest/gtest.h>

#include <random>
#include <set>

#include "MarkerClusters.h"

using namespace WebMercator;

namespace {

std::vector<MapMarker> Markers(const std::vector<GeoPoint>& points)
{
    std::vector<MapMarker> markers;
    for (size_t i = 0; i < points.size(); ++i) markers.push_back({static_cast<int>(100 + i), Project(points[i])});
    return markers;
}

TEST(MarkerClusters, NearMarkersMergeWhenZoomedOutAndPartWhenZoomedIn)
{
    // Two pictures 200 m apart in Lisbon, one in Porto.
    CMarkerClusters clusters;
    clusters.Build(Markers({{38.7139, -9.1394}, {38.7157, -9.1375}, {41.1496, -8.6110}}));
    const struct {
        int Zoom;
        size_t Clusters;
    } expected[] = {{3, 1}, {8, 2}, {17, 3}, {19, 3}};
    for (const auto& e : expected) {
        EXPECT_EQ(clusters.ClustersAt(e.Zoom).size(), e.Clusters) << e.Zoom;
        int total = 0;
        for (const MarkerCluster& c : clusters.ClustersAt(e.Zoom)) total += c.Count;
        EXPECT_EQ(total, 3) << e.Zoom;
    }
    // At zoom 8 the two Lisbon pictures are one numbered cluster.
    const int lisbon = clusters.ClusterOf(8, 0);
    EXPECT_EQ(clusters.ClusterOf(8, 1), lisbon);
    EXPECT_EQ(clusters.ClustersAt(8)[static_cast<size_t>(lisbon)].Count, 2);
    EXPECT_EQ(clusters.Members(8, lisbon), (std::vector<int>{0, 1}));
    EXPECT_EQ(clusters.IndexOf(102), 2);
    EXPECT_EQ(clusters.IndexOf(7), -1);
}

TEST(MarkerClusters, PicturesTakenAtOneSpotStayStackedAtEveryZoom)
{
    CMarkerClusters clusters;
    clusters.Build(Markers({{10, 10}, {10, 10}, {10, 10}}));
    EXPECT_EQ(clusters.ClustersAt(MaxZoom).size(), 1u);
    EXPECT_EQ(clusters.ClustersAt(MaxZoom)[0].Count, 3);
}

TEST(MarkerClusters, LevelsNestAndNoClusterIsWiderThanItsRadiusAllows)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> lat(45.0, 47.0), lon(6.0, 10.0);
    std::vector<GeoPoint> points;
    for (int i = 0; i < 3000; ++i) points.push_back({lat(random), lon(random)});
    CMarkerClusters clusters;
    clusters.Build(Markers(points));
    for (int zoom = MinZoom; zoom < MaxZoom; ++zoom) {
        // Markers together at zoom + 1 stay together at zoom.
        std::set<std::pair<int, int>> pairs;
        for (size_t m = 0; m < points.size(); ++m)
            pairs.insert({clusters.ClusterOf(zoom + 1, static_cast<int>(m)), clusters.ClusterOf(zoom, static_cast<int>(m))});
        std::set<int> finer;
        for (const auto& [f, c] : pairs) EXPECT_TRUE(finer.insert(f).second) << "split at zoom " << zoom;
        EXPECT_LE(clusters.ClustersAt(zoom).size(), clusters.ClustersAt(zoom + 1).size());
    }
    // A cluster is made around its first item; every merge adds at most one radius per level above.
    const double scale = WorldPixels(10);
    for (const MarkerCluster& c : clusters.ClustersAt(10)) {
        EXPECT_LE((c.Bounds.Right - c.Bounds.Left) * scale, 2 * 40.0 * 2.1);
        EXPECT_LE(c.Bounds.Left, c.Position.X);
        EXPECT_GE(c.Bounds.Right, c.Position.X);
    }
    // Few clusters when the whole region is in a few pixels.
    EXPECT_LE(clusters.ClustersAt(2).size(), 2u);
}

TEST(MarkerClusters, EmptyAndCleared)
{
    CMarkerClusters clusters;
    EXPECT_TRUE(clusters.ClustersAt(5).empty());
    EXPECT_EQ(clusters.ClusterOf(5, 0), -1);
    WorldRect bounds;
    EXPECT_FALSE(clusters.Bounds(bounds));
    clusters.Build(Markers({{1, 2}}));
    EXPECT_TRUE(clusters.Bounds(bounds));
    clusters.Clear();
    EXPECT_TRUE(clusters.ClustersAt(5).empty());
}

}  // namespace
