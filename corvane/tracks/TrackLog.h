// The fixes of the GPS tracks a user brings home: every track segment of
// every GPX file loaded, each as a run of fixes sorted by time. Only timed
// track points are fixes; waypoints and routes are no log of where the
// logger was.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Where the logger was at one moment.
struct TrackFix {
    double Time = 0;       // seconds since 1970 in UTC, fraction included
    double Latitude = 0;   // decimal degrees
    double Longitude = 0;
    double Elevation = 0;  // metres; NaN when the point has none
};

class CTrackLog {
public:
    // What loading left out, over every file loaded.
    struct Counts {
        std::size_t Points = 0;         // fixes kept
        std::size_t Untimed = 0;        // track points without a time
        std::size_t Invalid = 0;        // dropped for a coordinate that is no coordinate
        std::size_t OutOfRange = 0;     // times left out for a date out of range
        std::size_t SameTime = 0;       // later fixes of a segment at a time already taken
    };

    // Adds the track segments of a GPX file. False, adding nothing, with
    // `error` saying why when the file cannot be read, is not GPX, is cut
    // off or malformed, holds an invalid time, or has no timed track point.
    bool AddFile(const std::string& path, std::string& error);

    // One run of fixes per segment, sorted by time; no two fixes of a run at
    // the same time.
    const std::vector<std::vector<TrackFix>>& Segments() const { return segments_; }
    const Counts& Totals() const { return counts_; }
    bool Empty() const { return segments_.empty(); }
    // The files added, in order.
    const std::vector<std::string>& Files() const { return files_; }

    // Adds a run of fixes as a segment (sorted and stripped of repeated
    // times here); for tests and callers with fixes of their own.
    void AddSegment(std::vector<TrackFix> fixes);

private:
    std::vector<std::vector<TrackFix>> segments_;
    std::vector<std::string> files_;
    Counts counts_;
};
