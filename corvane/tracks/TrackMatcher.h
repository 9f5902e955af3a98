// Where a track puts a moment: the fix at that moment, the position
// interpolated between the two fixes of one segment around it, or the
// nearest fix when the moment lies just outside the track or a gap in it.
//
// - A fix at the moment (within a millisecond) is used as it is.
// - Between two fixes of the same segment at most MaxGap seconds apart, the
//   latitude, longitude and elevation are interpolated linearly in time
//   (the longitude the short way across the 180th meridian).
// - Across segments, across longer gaps, before the first and after the last
//   fix, nothing is interpolated: the nearest fix is used when it lies within
//   MaxOutside seconds, or within the same whole second.
// Where segments of several tracks overlap, the tightest pair of fixes
// around the moment wins.
#pragma once

#include <cstddef>
#include <vector>

#include "TrackLog.h"

struct MatchLimits {
    double MaxGap = 1800;   // seconds between two fixes still interpolated across
    double MaxOutside = 0;  // seconds a moment may lie from the fix it is placed on
};

enum class MatchOutcome {
    ExactFix,      // placed: a fix at the moment
    Interpolated,  // placed: between two fixes
    NearestFix,    // placed: on the nearest fix, within the limit
    BeforeTrack,   // not placed: before the first fix
    AfterTrack,    // not placed: after the last fix
    InGap,         // not placed: between segments or in a gap longer than MaxGap
    NoTrack,       // not placed: no fix at all
};

struct TrackMatch {
    MatchOutcome Outcome = MatchOutcome::NoTrack;
    double Latitude = 0, Longitude = 0;
    double Elevation = 0;       // NaN when the fixes give none
    double NearestFix = 0;      // seconds to the nearest fix (always set when there is a fix)
    double Gap = 0;             // seconds between the fixes of a segment around the moment; 0 between segments

    bool Placed() const
    {
        return Outcome == MatchOutcome::ExactFix || Outcome == MatchOutcome::Interpolated ||
               Outcome == MatchOutcome::NearestFix;
    }
};

class CTrackMatcher {
public:
    // The log must outlive the matcher and stay unchanged while it is used.
    explicit CTrackMatcher(const CTrackLog& log);

    TrackMatch Match(double utc, const MatchLimits& limits) const;

private:
    // A segment that spans `utc` and the match it gives; false when none.
    bool MatchInSegments(double utc, const MatchLimits& limits, TrackMatch& match) const;
    const TrackFix* NearestFix(double utc) const;

    const CTrackLog& log_;
    std::vector<const TrackFix*> byTime_;     // every fix, sorted by time
    std::vector<std::size_t> byStart_;        // segment indices by their first time
    std::vector<double> starts_;              // first time of each segment in byStart_ order
    std::vector<double> latestEnd_;           // the latest last time among byStart_[0..i]
};
