// Placing pictures from tracks: the capture time of each picture matched
// against the fixes, the outcome said in words, and the placement as the
// update entries of an ordinary metadata change (latitude, longitude and
// their references, altitude where the track has elevation, GPS date and
// time in UTC, map datum WGS-84; nothing else of the record).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CaptureTime.h"
#include "ImageOperation.h"
#include "TrackMatcher.h"

struct GeotagSettings {
    CameraClock Clock;
    MatchLimits Limits;
    bool ReplaceCoordinates = false;  // place pictures that have coordinates already
};

enum class PlacementResult {
    Placed,
    NoDateTaken,
    AlreadyGeotagged,
    BeforeTrack,
    AfterTrack,
    InGap,
    NoTrack,
};

struct PicturePlacement {
    PlacementResult Result = PlacementResult::NoTrack;
    std::optional<CaptureInstant> Capture;
    TrackMatch Match;  // also for pictures not placed, when they have a capture time
};

PicturePlacement PlacePicture(const CaptureStamp& stamp, bool hasCoordinates, const CTrackMatcher& matcher,
                              const GeotagSettings& settings);

// The entries that write a placed picture's position (none for others).
std::vector<std::unique_ptr<UpdateEntry>> PlacementEntries(const PicturePlacement& placement);

// The texts of the command line and the window (UTF-8, full stop as
// decimal point whatever the locale).
// "45.0400833, 7.0400833, 140.1 m"; empty when not placed.
std::string PositionText(const TrackMatch& match);
// "0 s", "0.5 s", "3 min 20 s", "2 h 5 min".
std::string DurationText(double seconds);
// "interpolated", "on a fix", "on the nearest fix", "no date taken",
// "before the track", "after the track", "in a gap of 50 min",
// "between track segments", "already geotagged", "no track".
std::string ResultText(const PicturePlacement& placement);

struct PlacementSummary {
    int Placed = 0;
    int NoDateTaken = 0;
    int AlreadyGeotagged = 0;
    int OutsideTrack = 0;  // before or after
    int InGap = 0;
    int NoTrack = 0;  // no fix loaded at all
    void Add(const PicturePlacement& placement);
    int NotPlaced() const { return NoDateTaken + AlreadyGeotagged + OutsideTrack + InGap + NoTrack; }
    // "7 placed, 3 not placed (1 no date taken, 2 outside the track)".
    std::string Text() const;
};

// Fixed notation with `decimals` decimals, trailing zeros dropped.
std::string DecimalText(double value, int decimals);
