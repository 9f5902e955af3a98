#include "TrackGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

using namespace WebMercator;

namespace {

// Douglas-Peucker runs over pieces of this many points (the ends of a piece
// are always kept), which bounds the work a pathological line can cause.
constexpr size_t kPieceLength = 8192;

double DistanceToChord(const WorldPoint& p, const WorldPoint& a, const WorldPoint& b)
{
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    const double length2 = dx * dx + dy * dy;
    if (length2 == 0.0) return std::hypot(p.X - a.X, p.Y - a.Y);
    double t = ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / length2;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.X - (a.X + t * dx), p.Y - (a.Y + t * dy));
}

void Extend(WorldRect& r, const WorldPoint& p)
{
    r.Left = std::min(r.Left, p.X);
    r.Top = std::min(r.Top, p.Y);
    r.Right = std::max(r.Right, p.X);
    r.Bottom = std::max(r.Bottom, p.Y);
}

WorldRect PointRect(const WorldPoint& p) { return {p.X, p.Y, p.X, p.Y}; }

}  // namespace

void CTrackGeometry::Clear() { lines_.clear(); }

std::vector<WorldPoint> CTrackGeometry::Unwrap(const Line& line)
{
    std::vector<WorldPoint> points;
    points.reserve(line.size());
    double shift = 0.0;
    for (const GeoPoint& geo : line) {
        if (!std::isfinite(geo.Latitude) || !std::isfinite(geo.Longitude)) continue;
        WorldPoint p = Project(geo);
        p.X += shift;
        // A step of more than half the world is the short way round the other side.
        if (!points.empty()) {
            const double step = p.X - points.back().X;
            const double turn = std::round(step);
            p.X -= turn;
            shift -= turn;
        }
        points.push_back(p);
    }
    return points;
}

std::vector<float> CTrackGeometry::Rank(const std::vector<WorldPoint>& points)
{
    // rank[i]: the largest tolerance at which point i is still kept.
    std::vector<float> rank(points.size(), 0.0f);
    std::vector<std::pair<size_t, size_t>> stack;
    std::vector<float> parent;  // the rank of the split that made each stacked span
    for (size_t begin = 0; begin + 1 < points.size(); begin += kPieceLength) {
        const size_t end = std::min(points.size() - 1, begin + kPieceLength);
        rank[begin] = rank[end] = std::numeric_limits<float>::infinity();
        stack.assign(1, {begin, end});
        parent.assign(1, std::numeric_limits<float>::infinity());
        while (!stack.empty()) {
            const auto [a, b] = stack.back();
            const float limit = parent.back();
            stack.pop_back();
            parent.pop_back();
            if (b <= a + 1) continue;
            double farthest = -1.0;
            size_t split = a + 1;
            for (size_t i = a + 1; i < b; ++i) {
                const double d = DistanceToChord(points[i], points[a], points[b]);
                if (d > farthest) {
                    farthest = d;
                    split = i;
                }
            }
            // A point never outranks the split that made its span: levels nest.
            const float r = std::min(limit, static_cast<float>(farthest));
            rank[split] = r;
            stack.push_back({a, split});
            parent.push_back(r);
            stack.push_back({split, b});
            parent.push_back(r);
        }
    }
    return rank;
}

void CTrackGeometry::BuildLevel(const PreparedLine& line, const std::vector<float>& rank, double tolerance,
                                LevelPoints& level)
{
    for (size_t i = 0; i < rank.size(); ++i)
        if (rank[i] >= tolerance) level.Kept.push_back(static_cast<std::uint32_t>(i));
    level.Kept.shrink_to_fit();
    for (size_t begin = 0; begin + 1 < level.Kept.size(); begin += RunLength) {
        Run run;
        run.Begin = static_cast<std::uint32_t>(begin);
        run.End = static_cast<std::uint32_t>(std::min(level.Kept.size() - 1, begin + RunLength));
        run.Box = PointRect(line.Points[level.Kept[run.Begin]]);
        for (size_t k = run.Begin; k <= run.End; ++k) Extend(run.Box, line.Points[level.Kept[k]]);
        level.Runs.push_back(run);
    }
    level.Runs.shrink_to_fit();
}

void CTrackGeometry::Build(const std::vector<Line>& lines)
{
    lines_.clear();
    for (const Line& source : lines) {
        PreparedLine line;
        line.Points = Unwrap(source);
        if (line.Points.size() < 2) continue;
        line.Points.shrink_to_fit();
        line.Box = PointRect(line.Points.front());
        for (const WorldPoint& p : line.Points) Extend(line.Box, p);
        const std::vector<float> rank = Rank(line.Points);
        line.Levels.resize(MaxZoom + 1);
        for (int zoom = MinZoom; zoom <= MaxZoom; ++zoom)
            BuildLevel(line, rank, 0.5 / WorldPixels(zoom), line.Levels[static_cast<size_t>(zoom)]);
        lines_.push_back(std::move(line));
    }
}

size_t CTrackGeometry::PointCount() const
{
    size_t count = 0;
    for (const PreparedLine& line : lines_) count += line.Points.size();
    return count;
}

bool CTrackGeometry::Bounds(WorldRect& bounds) const
{
    if (lines_.empty()) return false;
    bounds = lines_.front().Box;
    for (const PreparedLine& line : lines_) {
        Extend(bounds, {line.Box.Left, line.Box.Top});
        Extend(bounds, {line.Box.Right, line.Box.Bottom});
    }
    return true;
}

size_t CTrackGeometry::KeptAt(int zoom) const
{
    size_t count = 0;
    const size_t level = static_cast<size_t>(std::clamp(zoom, MinZoom, MaxZoom));
    for (const PreparedLine& line : lines_) count += line.Levels[level].Kept.size();
    return count;
}

void CTrackGeometry::Visit(int zoom, const WorldRect& view, const Visitor& draw) const
{
    const size_t levelIndex = static_cast<size_t>(std::clamp(zoom, MinZoom, MaxZoom));
    std::vector<WorldPoint> points;
    points.reserve(RunLength + 1);
    for (const PreparedLine& line : lines_) {
        if (!line.Box.Intersects(view)) continue;
        const LevelPoints& level = line.Levels[levelIndex];
        for (const Run& run : level.Runs) {
            if (!run.Box.Intersects(view)) continue;
            points.clear();
            for (size_t k = run.Begin; k <= run.End; ++k) points.push_back(line.Points[level.Kept[k]]);
            draw(points.data(), points.size());
        }
    }
}

size_t CTrackGeometry::MemoryBytes() const
{
    size_t bytes = 0;
    for (const PreparedLine& line : lines_) {
        bytes += sizeof(PreparedLine) + line.Points.capacity() * sizeof(WorldPoint);
        for (const LevelPoints& level : line.Levels)
            bytes += sizeof(LevelPoints) + level.Kept.capacity() * sizeof(std::uint32_t) +
                     level.Runs.capacity() * sizeof(Run);
    }
    return bytes;
}
