#include "TrackGeotagging.h"

#include <charconv>
#include <cmath>

namespace {

constexpr double kEpochDay = 25569;  // 1970-01-01 as an automation date

std::unique_ptr<UpdateEntry> Entry(GeoField field, double number)
{
    auto entry = std::make_unique<UpdateEntry>();
    entry->Field = field;
    entry->Number = number;
    return entry;
}

PlacementResult ResultOf(MatchOutcome outcome)
{
    switch (outcome) {
    case MatchOutcome::ExactFix:
    case MatchOutcome::Interpolated:
    case MatchOutcome::NearestFix: return PlacementResult::Placed;
    case MatchOutcome::BeforeTrack: return PlacementResult::BeforeTrack;
    case MatchOutcome::AfterTrack: return PlacementResult::AfterTrack;
    case MatchOutcome::InGap: return PlacementResult::InGap;
    default: return PlacementResult::NoTrack;
    }
}

void AddCount(std::string& text, int count, const char* what)
{
    if (count == 0) return;
    text += text.empty() ? "" : ", ";
    text += std::to_string(count) + " " + what;
}

}  // namespace

std::string DecimalText(double value, int decimals)
{
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return "?";
    std::string s(text, end);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

PicturePlacement PlacePicture(const CaptureStamp& stamp, bool hasCoordinates, const CTrackMatcher& matcher,
                              const GeotagSettings& settings)
{
    PicturePlacement placement;
    placement.Capture = CaptureInstantOf(stamp, settings.Clock);
    if (!placement.Capture) {
        placement.Result = PlacementResult::NoDateTaken;
        return placement;
    }
    placement.Match = matcher.Match(placement.Capture->Utc, settings.Limits);
    placement.Result = ResultOf(placement.Match.Outcome);
    if (placement.Result == PlacementResult::Placed && hasCoordinates && !settings.ReplaceCoordinates)
        placement.Result = PlacementResult::AlreadyGeotagged;
    return placement;
}

std::vector<std::unique_ptr<UpdateEntry>> PlacementEntries(const PicturePlacement& placement)
{
    std::vector<std::unique_ptr<UpdateEntry>> entries;
    if (placement.Result != PlacementResult::Placed || !placement.Capture) return entries;
    const TrackMatch& m = placement.Match;
    entries.push_back(Entry(LatitudeField, m.Latitude));
    entries.push_back(Entry(LongitudeField, m.Longitude));
    if (std::isfinite(m.Elevation)) entries.push_back(Entry(AltitudeField, m.Elevation));
    // The GPS time stamp holds whole seconds: the second the picture was taken in.
    const double day = std::floor(placement.Capture->Utc) / 86400.0 + kEpochDay;
    entries.push_back(Entry(GPSDateField, day));
    entries.push_back(Entry(GPSTimeField, day));
    auto datum = Entry(MapDatumField, 0);
    datum->SetText(L"WGS-84");
    entries.push_back(std::move(datum));
    return entries;
}

std::string PositionText(const TrackMatch& match)
{
    if (!match.Placed()) return {};
    std::string text = DecimalText(match.Latitude, 7) + ", " + DecimalText(match.Longitude, 7);
    if (std::isfinite(match.Elevation)) text += ", " + DecimalText(match.Elevation, 1) + " m";
    return text;
}

std::string DurationText(double seconds)
{
    seconds = std::fabs(seconds);
    if (seconds < 59.95) return DecimalText(seconds, 1) + " s";
    const long long whole = std::llround(seconds);
    if (whole < 3600) {
        const long long s = whole % 60;
        return std::to_string(whole / 60) + " min" + (s ? " " + std::to_string(s) + " s" : "");
    }
    const long long minutes = (whole + 30) / 60;
    const long long m = minutes % 60;
    return std::to_string(minutes / 60) + " h" + (m ? " " + std::to_string(m) + " min" : "");
}

std::string ResultText(const PicturePlacement& placement)
{
    switch (placement.Result) {
    case PlacementResult::NoDateTaken: return "no date taken";
    case PlacementResult::AlreadyGeotagged: return "already geotagged";
    case PlacementResult::BeforeTrack: return "before the track";
    case PlacementResult::AfterTrack: return "after the track";
    case PlacementResult::NoTrack: return "no track";
    case PlacementResult::InGap:
        return placement.Match.Gap > 0 ? "in a gap of " + DurationText(placement.Match.Gap) : "between track segments";
    case PlacementResult::Placed: break;
    }
    switch (placement.Match.Outcome) {
    case MatchOutcome::ExactFix: return "on a fix";
    case MatchOutcome::Interpolated: return "interpolated";
    default: return "on the nearest fix";
    }
}

void PlacementSummary::Add(const PicturePlacement& placement)
{
    switch (placement.Result) {
    case PlacementResult::Placed: ++Placed; break;
    case PlacementResult::NoDateTaken: ++NoDateTaken; break;
    case PlacementResult::AlreadyGeotagged: ++AlreadyGeotagged; break;
    case PlacementResult::BeforeTrack:
    case PlacementResult::AfterTrack: ++OutsideTrack; break;
    case PlacementResult::InGap: ++InGap; break;
    case PlacementResult::NoTrack: ++NoTrack; break;
    }
}

std::string PlacementSummary::Text() const
{
    std::string reasons;
    AddCount(reasons, NoDateTaken, "no date taken");
    AddCount(reasons, OutsideTrack, "outside the track");
    AddCount(reasons, InGap, "in a gap");
    AddCount(reasons, AlreadyGeotagged, "already geotagged");
    AddCount(reasons, NoTrack, "no track");
    std::string text = std::to_string(Placed) + " placed, " + std::to_string(NotPlaced()) + " not placed";
    return reasons.empty() ? text : text + " (" + reasons + ")";
}
