// Markers grouped into numbered clusters, built once per set of markers for
// every zoom level so that drawing a level costs only its clusters. Near
// markers (closer than a radius in pixels at that level) are merged greedily
// around the first marker of each group, level by level from the most
// detailed one down, so a cluster of one level is made of whole clusters of
// the level above it.
#pragma once

#include <cstdint>
#include <vector>

#include "MapViewport.h"
#include "WebMercator.h"

struct MapMarker {
    int Id = 0;  // the caller's key (a picture of the document)
    WebMercator::WorldPoint Position;
};

struct MarkerCluster {
    WebMercator::WorldPoint Position;  // mean of its markers
    WorldRect Bounds;                  // of its markers
    int Count = 0;
    int First = 0;  // index (into the markers) of one member
};

class CMarkerClusters {
public:
    // Merge radius at zoom levels up to DetailZoom; above it only markers
    // that nearly coincide are stacked.
    static constexpr double Radius = 40.0;
    static constexpr double StackRadius = 3.0;
    static constexpr int DetailZoom = 16;

    void Build(std::vector<MapMarker> markers);
    void Clear();

    const std::vector<MapMarker>& Markers() const { return markers_; }
    const std::vector<MarkerCluster>& ClustersAt(int zoom) const;
    // The cluster of level `zoom` that holds marker `marker` (an index into Markers()).
    int ClusterOf(int zoom, int marker) const;
    // The marker indices of one cluster.
    std::vector<int> Members(int zoom, int cluster) const;
    // The index of the marker with this id, or -1.
    int IndexOf(int id) const;
    // Every marker's bounds; false when there are none.
    bool Bounds(WorldRect& bounds) const;

private:
    struct Level {
        std::vector<MarkerCluster> Clusters;
        std::vector<std::int32_t> ClusterOfMarker;
    };
    void BuildLevel(int zoom, const Level* finer);

    std::vector<MapMarker> markers_;
    std::vector<Level> levels_;  // one per zoom 0..MaxZoom
};
