// Tracks made ready for drawing at every zoom level. Each line (a GPX track
// segment) is unwrapped across the antimeridian, so that a track crossing
// it stays one unbroken line in world units (x may leave [0, 1]), and its
// points are ranked by Douglas-Peucker: a level keeps only the points that
// move the line by at least half a pixel there. Each level's kept points are
// cut into runs with bounding boxes, so drawing visits only the runs the
// view meets and no point that the level dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "MapViewport.h"
#include "WebMercator.h"

class CTrackGeometry {
public:
    // Kept points per run; a run shares its last point with the next one.
    static constexpr size_t RunLength = 256;

    using Line = std::vector<WebMercator::GeoPoint>;
    // Lines of fewer than two points are left out.
    void Build(const std::vector<Line>& lines);
    void Clear();

    bool Empty() const { return lines_.empty(); }
    size_t LineCount() const { return lines_.size(); }
    size_t PointCount() const;
    // Every line's extent in world units (x unwrapped); false when empty.
    bool Bounds(WorldRect& bounds) const;
    // How many points `zoom` keeps, over every line.
    size_t KeptAt(int zoom) const;

    // Calls `draw` with consecutive kept points of each run of level `zoom`
    // whose box meets `view` (world units, x unwrapped as the lines are).
    using Visitor = std::function<void(const WebMercator::WorldPoint* points, size_t count)>;
    void Visit(int zoom, const WorldRect& view, const Visitor& draw) const;

    // Bytes held for drawing (points, ranks and levels).
    size_t MemoryBytes() const;

private:
    struct Run {
        std::uint32_t Begin = 0;  // into the level's kept indices
        std::uint32_t End = 0;    // inclusive
        WorldRect Box;
    };
    struct LevelPoints {
        std::vector<std::uint32_t> Kept;
        std::vector<Run> Runs;
    };
    struct PreparedLine {
        std::vector<WebMercator::WorldPoint> Points;
        std::vector<LevelPoints> Levels;  // zoom 0..MaxZoom
        WorldRect Box;
    };

    static std::vector<WebMercator::WorldPoint> Unwrap(const Line& line);
    static std::vector<float> Rank(const std::vector<WebMercator::WorldPoint>& points);
    static void BuildLevel(const PreparedLine& line, const std::vector<float>& rank, double tolerance,
                           LevelPoints& level);

    std::vector<PreparedLine> lines_;
};
