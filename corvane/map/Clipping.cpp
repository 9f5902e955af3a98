#include "Clipping.h"

#include <algorithm>

using WebMercator::WorldPoint;

namespace {

enum Edge { LeftEdge, RightEdge, TopEdge, BottomEdge };

bool Inside(const WorldPoint& p, Edge edge, const WorldRect& r)
{
    switch (edge) {
    case LeftEdge: return p.X >= r.Left;
    case RightEdge: return p.X <= r.Right;
    case TopEdge: return p.Y >= r.Top;
    default: return p.Y <= r.Bottom;
    }
}

WorldPoint Crossing(const WorldPoint& a, const WorldPoint& b, Edge edge, const WorldRect& r)
{
    if (edge == LeftEdge || edge == RightEdge) {
        const double x = edge == LeftEdge ? r.Left : r.Right;
        const double t = (x - a.X) / (b.X - a.X);
        return {x, a.Y + t * (b.Y - a.Y)};
    }
    const double y = edge == TopEdge ? r.Top : r.Bottom;
    const double t = (y - a.Y) / (b.Y - a.Y);
    return {a.X + t * (b.X - a.X), y};
}

// Liang-Barsky: the part of segment a-b inside r, as parameters t0 <= t1.
bool ClipSegment(const WorldPoint& a, const WorldPoint& b, const WorldRect& r, double& t0, double& t1)
{
    t0 = 0.0;
    t1 = 1.0;
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.X - r.Left, r.Right - a.X, a.Y - r.Top, r.Bottom - a.Y};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

}  // namespace

std::vector<WorldPoint> ClipRing(const WorldPoint* points, size_t count, const WorldRect& rect)
{
    std::vector<WorldPoint> current(points, points + count), next;
    for (const Edge edge : {LeftEdge, RightEdge, TopEdge, BottomEdge}) {
        if (current.empty()) break;
        next.clear();
        next.reserve(current.size() + 4);
        WorldPoint previous = current.back();
        for (const WorldPoint& p : current) {
            const bool in = Inside(p, edge, rect), wasIn = Inside(previous, edge, rect);
            if (in != wasIn) next.push_back(Crossing(previous, p, edge, rect));
            if (in) next.push_back(p);
            previous = p;
        }
        current.swap(next);
    }
    return current;
}

void ClipPolyline(const WorldPoint* points, size_t count, const WorldRect& rect,
                  const std::function<void(const std::vector<WorldPoint>&)>& piece)
{
    std::vector<WorldPoint> run;
    const auto flush = [&] {
        if (run.size() >= 2) piece(run);
        run.clear();
    };
    for (size_t i = 0; i + 1 < count; ++i) {
        const WorldPoint& a = points[i];
        const WorldPoint& b = points[i + 1];
        double t0, t1;
        if (!ClipSegment(a, b, rect, t0, t1)) {
            flush();
            continue;
        }
        const WorldPoint from{a.X + t0 * (b.X - a.X), a.Y + t0 * (b.Y - a.Y)};
        const WorldPoint to{a.X + t1 * (b.X - a.X), a.Y + t1 * (b.Y - a.Y)};
        if (t0 > 0.0) flush();  // the line came back in: a new piece
        if (run.empty()) run.push_back(from);
        run.push_back(to);
        if (t1 < 1.0) flush();  // the line leaves here
    }
    flush();
}
