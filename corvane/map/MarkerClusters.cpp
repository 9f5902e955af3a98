#include "MarkerClusters.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

using namespace WebMercator;

namespace {

// A hash grid over the items of one level, with cells as wide as the radius.
class CellGrid {
public:
    explicit CellGrid(double cell) : cell_(cell) {}
    void Add(const WorldPoint& p, int index) { cells_[KeyOf(CellX(p.X), CellY(p.Y))].push_back(index); }
    template <typename F>
    void Near(const WorldPoint& p, F&& visit) const
    {
        const long long cx = CellX(p.X), cy = CellY(p.Y);
        for (long long y = cy - 1; y <= cy + 1; ++y)
            for (long long x = cx - 1; x <= cx + 1; ++x) {
                const auto it = cells_.find(KeyOf(x, y));
                if (it == cells_.end()) continue;
                for (const int index : it->second) visit(index);
            }
    }

private:
    long long CellX(double x) const { return static_cast<long long>(std::floor(x / cell_)); }
    long long CellY(double y) const { return static_cast<long long>(std::floor(y / cell_)); }
    static long long KeyOf(long long x, long long y) { return x * 73856093LL ^ y * 19349663LL; }
    double cell_;
    std::unordered_map<long long, std::vector<int>> cells_;
};

void Extend(WorldRect& r, const WorldRect& o)
{
    r.Left = std::min(r.Left, o.Left);
    r.Top = std::min(r.Top, o.Top);
    r.Right = std::max(r.Right, o.Right);
    r.Bottom = std::max(r.Bottom, o.Bottom);
}

}  // namespace

void CMarkerClusters::Clear()
{
    markers_.clear();
    levels_.clear();
}

void CMarkerClusters::Build(std::vector<MapMarker> markers)
{
    markers_ = std::move(markers);
    levels_.assign(MaxZoom + 1, Level{});
    for (int zoom = MaxZoom; zoom >= MinZoom; --zoom)
        BuildLevel(zoom, zoom == MaxZoom ? nullptr : &levels_[static_cast<size_t>(zoom + 1)]);
}

void CMarkerClusters::BuildLevel(int zoom, const Level* finer)
{
    // The items merged at this level: the clusters of the finer level, or the markers.
    std::vector<MarkerCluster> items;
    if (finer) {
        items = finer->Clusters;
    } else {
        items.reserve(markers_.size());
        for (size_t i = 0; i < markers_.size(); ++i) {
            const WorldPoint p = markers_[i].Position;
            items.push_back({p, {p.X, p.Y, p.X, p.Y}, 1, static_cast<int>(i)});
        }
    }
    const double radius = (zoom > DetailZoom ? StackRadius : Radius) / WorldPixels(zoom);
    CellGrid grid(radius);
    for (size_t i = 0; i < items.size(); ++i) grid.Add(items[i].Position, static_cast<int>(i));

    Level& level = levels_[static_cast<size_t>(zoom)];
    std::vector<std::int32_t> clusterOfItem(items.size(), -1);
    for (size_t i = 0; i < items.size(); ++i) {
        if (clusterOfItem[i] >= 0) continue;
        const int id = static_cast<int>(level.Clusters.size());
        MarkerCluster merged = items[i];
        double sumX = items[i].Position.X * items[i].Count, sumY = items[i].Position.Y * items[i].Count;
        clusterOfItem[i] = id;
        const WorldPoint centre = items[i].Position;
        grid.Near(centre, [&](int j) {
            if (clusterOfItem[static_cast<size_t>(j)] >= 0) return;
            const MarkerCluster& other = items[static_cast<size_t>(j)];
            const double dx = other.Position.X - centre.X, dy = other.Position.Y - centre.Y;
            if (dx * dx + dy * dy > radius * radius) return;
            clusterOfItem[static_cast<size_t>(j)] = id;
            merged.Count += other.Count;
            sumX += other.Position.X * other.Count;
            sumY += other.Position.Y * other.Count;
            Extend(merged.Bounds, other.Bounds);
        });
        merged.Position = {sumX / merged.Count, sumY / merged.Count};
        level.Clusters.push_back(merged);
    }
    level.ClusterOfMarker.resize(markers_.size());
    for (size_t m = 0; m < markers_.size(); ++m) {
        const size_t item = finer ? static_cast<size_t>(finer->ClusterOfMarker[m]) : m;
        level.ClusterOfMarker[m] = clusterOfItem[item];
    }
}

const std::vector<MarkerCluster>& CMarkerClusters::ClustersAt(int zoom) const
{
    static const std::vector<MarkerCluster> kNone;
    if (levels_.empty()) return kNone;
    return levels_[static_cast<size_t>(std::clamp(zoom, MinZoom, MaxZoom))].Clusters;
}

int CMarkerClusters::ClusterOf(int zoom, int marker) const
{
    if (levels_.empty() || marker < 0 || static_cast<size_t>(marker) >= markers_.size()) return -1;
    return levels_[static_cast<size_t>(std::clamp(zoom, MinZoom, MaxZoom))].ClusterOfMarker[static_cast<size_t>(marker)];
}

std::vector<int> CMarkerClusters::Members(int zoom, int cluster) const
{
    std::vector<int> members;
    if (levels_.empty()) return members;
    const Level& level = levels_[static_cast<size_t>(std::clamp(zoom, MinZoom, MaxZoom))];
    for (size_t m = 0; m < level.ClusterOfMarker.size(); ++m)
        if (level.ClusterOfMarker[m] == cluster) members.push_back(static_cast<int>(m));
    return members;
}

int CMarkerClusters::IndexOf(int id) const
{
    for (size_t i = 0; i < markers_.size(); ++i)
        if (markers_[i].Id == id) return static_cast<int>(i);
    return -1;
}

bool CMarkerClusters::Bounds(WorldRect& bounds) const
{
    if (markers_.empty()) return false;
    const WorldPoint first = markers_.front().Position;
    bounds = {first.X, first.Y, first.X, first.Y};
    for (const MapMarker& m : markers_) Extend(bounds, {m.Position.X, m.Position.Y, m.Position.X, m.Position.Y});
    return true;
}
