#include "TrackMatcher.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double kSameMoment = 1e-3;  // seconds: times of one instant, rounded differently

double Lerp(double a, double b, double f)
{
    return a + (b - a) * f;
}

// Across the 180th meridian the short way: 179.9 to -179.9 passes 180, not 0.
double LerpLongitude(double a, double b, double f)
{
    if (b - a > 180) b -= 360;
    if (a - b > 180) b += 360;
    double lon = Lerp(a, b, f);
    if (lon > 180) lon -= 360;
    if (lon < -180) lon += 360;
    return lon;
}

void PlaceOn(const TrackFix& fix, MatchOutcome outcome, TrackMatch& match)
{
    match.Outcome = outcome;
    match.Latitude = fix.Latitude;
    match.Longitude = fix.Longitude;
    match.Elevation = fix.Elevation;
}

}  // namespace

CTrackMatcher::CTrackMatcher(const CTrackLog& log) : log_(log)
{
    const auto& segments = log.Segments();
    for (const auto& segment : segments)
        for (const TrackFix& fix : segment) byTime_.push_back(&fix);
    std::stable_sort(byTime_.begin(), byTime_.end(), [](const TrackFix* a, const TrackFix* b) { return a->Time < b->Time; });
    for (std::size_t i = 0; i < segments.size(); ++i) byStart_.push_back(i);
    std::stable_sort(byStart_.begin(), byStart_.end(),
                     [&](std::size_t a, std::size_t b) { return segments[a].front().Time < segments[b].front().Time; });
    double latest = -std::numeric_limits<double>::infinity();
    for (std::size_t i : byStart_) {
        starts_.push_back(segments[i].front().Time);
        latest = std::max(latest, segments[i].back().Time);
        latestEnd_.push_back(latest);
    }
}

const TrackFix* CTrackMatcher::NearestFix(double utc) const
{
    if (byTime_.empty()) return nullptr;
    const auto after = std::lower_bound(byTime_.begin(), byTime_.end(), utc,
                                        [](const TrackFix* fix, double t) { return fix->Time < t; });
    if (after == byTime_.end()) return byTime_.back();
    if (after == byTime_.begin()) return *after;
    const TrackFix* before = *(after - 1);
    return utc - before->Time <= (*after)->Time - utc ? before : *after;
}

bool CTrackMatcher::MatchInSegments(double utc, const MatchLimits& limits, TrackMatch& match) const
{
    const auto& segments = log_.Segments();
    bool found = false;
    double tightest = std::numeric_limits<double>::infinity();
    // Segments starting at or before the moment, from the latest start back,
    // while one of them may still reach the moment.
    for (std::size_t k = static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), utc) - starts_.begin());
         k-- > 0 && latestEnd_[k] >= utc;) {
        const std::vector<TrackFix>& fixes = segments[byStart_[k]];
        if (fixes.back().Time < utc) continue;
        const auto next = std::lower_bound(fixes.begin(), fixes.end(), utc,
                                           [](const TrackFix& fix, double t) { return fix.Time < t; });
        if (std::fabs(next->Time - utc) < kSameMoment) {
            PlaceOn(*next, MatchOutcome::ExactFix, match);
            match.Gap = 0;
            return true;
        }
        if (next != fixes.begin() && std::fabs((next - 1)->Time - utc) < kSameMoment) {
            PlaceOn(*(next - 1), MatchOutcome::ExactFix, match);
            match.Gap = 0;
            return true;
        }
        const TrackFix& a = *(next - 1);
        const TrackFix& b = *next;
        const double gap = b.Time - a.Time;
        if (gap >= tightest) continue;
        tightest = gap;
        match.Gap = gap;
        if (gap > limits.MaxGap) {
            match.Outcome = MatchOutcome::InGap;
            continue;
        }
        const double f = (utc - a.Time) / gap;
        match.Outcome = MatchOutcome::Interpolated;
        match.Latitude = Lerp(a.Latitude, b.Latitude, f);
        match.Longitude = LerpLongitude(a.Longitude, b.Longitude, f);
        match.Elevation = Lerp(a.Elevation, b.Elevation, f);  // NaN when either has none
        found = true;
    }
    return found;
}

TrackMatch CTrackMatcher::Match(double utc, const MatchLimits& limits) const
{
    TrackMatch match;
    const TrackFix* nearest = NearestFix(utc);
    if (!nearest) return match;
    match.NearestFix = std::fabs(nearest->Time - utc);
    match.Outcome = MatchOutcome::InGap;
    if (MatchInSegments(utc, limits, match)) return match;
    if (match.NearestFix <= limits.MaxOutside || std::floor(nearest->Time) == std::floor(utc)) {
        PlaceOn(*nearest, MatchOutcome::NearestFix, match);
        return match;
    }
    if (utc < byTime_.front()->Time)
        match.Outcome = MatchOutcome::BeforeTrack;
    else if (utc > byTime_.back()->Time)
        match.Outcome = MatchOutcome::AfterTrack;
    else
        match.Outcome = MatchOutcome::InGap;
    return match;
}
