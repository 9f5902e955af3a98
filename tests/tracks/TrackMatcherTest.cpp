// The matcher on a log of a few fixes: exact fixes, interpolation, gaps,
// segment ends, the edges of the track, overlapping tracks, the 180th
// meridian, and fixes without elevation.
#include <gtest/gtest.h>

#include <cmath>

#include "TrackMatcher.h"

namespace {

constexpr double T0 = 1367920800;  // 2013-05-07T10:00:00Z
const double kNoEle = std::nan("");

CTrackLog MakeLog()
{
    CTrackLog log;
    // A gap of 3000 s between the second and the third fix.
    log.AddSegment({{T0, 45.0, 7.0, 100}, {T0 + 600, 45.1, 7.1, 200}, {T0 + 3600, 45.2, 7.2, 300}});
    // Without elevation, 400 s after the first segment ends.
    log.AddSegment({{T0 + 4000, 46.0, 8.0, kNoEle}, {T0 + 4100, 46.1, 8.1, kNoEle}});
    // Across the 180th meridian.
    log.AddSegment({{T0 + 10000, 0.0, 179.9, 0}, {T0 + 10010, 0.0, -179.9, 0}});
    return log;
}

struct MatchCase {
    const char* name;
    double at;  // seconds after T0
    double maxGap, maxOutside;
    MatchOutcome outcome;
    double lat, lon, ele;  // when placed; ele NaN for none
    double nearest;        // seconds to the nearest fix
};

void PrintTo(const MatchCase& c, std::ostream* out)
{
    *out << c.name;
}

class MatcherTest : public testing::TestWithParam<MatchCase> {};

TEST_P(MatcherTest, PlacesOrSaysWhyNot)
{
    const CTrackLog log = MakeLog();
    const CTrackMatcher matcher(log);
    const MatchCase& c = GetParam();
    const TrackMatch m = matcher.Match(T0 + c.at, MatchLimits{c.maxGap, c.maxOutside});
    EXPECT_EQ(c.outcome, m.Outcome);
    EXPECT_NEAR(c.nearest, m.NearestFix, 1e-6);
    if (!m.Placed()) return;
    EXPECT_NEAR(c.lat, m.Latitude, 1e-9);
    EXPECT_NEAR(c.lon, m.Longitude, 1e-9);
    if (std::isnan(c.ele))
        EXPECT_TRUE(std::isnan(m.Elevation)) << m.Elevation;
    else
        EXPECT_NEAR(c.ele, m.Elevation, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(
    Moments, MatcherTest,
    testing::Values(
        MatchCase{"ExactFix", 600, 1800, 0, MatchOutcome::ExactFix, 45.1, 7.1, 200, 0},
        MatchCase{"Interpolated", 300, 1800, 0, MatchOutcome::Interpolated, 45.05, 7.05, 150, 300},
        MatchCase{"SubSecond", 150.5, 1800, 0, MatchOutcome::Interpolated, 45.0 + 0.1 * 150.5 / 600,
                  7.0 + 0.1 * 150.5 / 600, 100 + 100 * 150.5 / 600, 150.5},
        MatchCase{"GapLongerThanTheLimit", 2000, 1800, 0, MatchOutcome::InGap, 0, 0, 0, 1400},
        MatchCase{"GapNearAFixWithinOutside", 2000, 1800, 1400, MatchOutcome::NearestFix, 45.1, 7.1, 200, 1400},
        MatchCase{"GapWithinALargerLimit", 2100, 3000, 0, MatchOutcome::Interpolated, 45.15, 7.15, 250, 1500},
        MatchCase{"BetweenSegmentsNothingIsInterpolated", 3800, 1800, 0, MatchOutcome::InGap, 0, 0, 0, 200},
        MatchCase{"SegmentEndWithinOutside", 3700, 1800, 100, MatchOutcome::NearestFix, 45.2, 7.2, 300, 100},
        MatchCase{"BeforeTheTrack", -10, 1800, 0, MatchOutcome::BeforeTrack, 0, 0, 0, 10},
        MatchCase{"BeforeTheTrackWithinOutside", -10, 1800, 10, MatchOutcome::NearestFix, 45.0, 7.0, 100, 10},
        MatchCase{"AfterTheTrack", 10020, 1800, 0, MatchOutcome::AfterTrack, 0, 0, 0, 10},
        MatchCase{"SameWholeSecondAsTheLastFixOfASegment", 4100.4, 1800, 0, MatchOutcome::NearestFix, 46.1, 8.1,
                  kNoEle, 0.4},
        MatchCase{"NoElevationInterpolatesNone", 4050, 1800, 0, MatchOutcome::Interpolated, 46.05, 8.05, kNoEle, 50},
        MatchCase{"AcrossTheMeridian", 10002.5, 1800, 0, MatchOutcome::Interpolated, 0, 179.95, 0, 2.5},
        MatchCase{"OnTheMeridian", 10005, 1800, 0, MatchOutcome::Interpolated, 0, 180, 0, 5}),
    [](const testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });

TEST(Matcher, OverlappingTracksUseTheTightestFixes)
{
    CTrackLog log;
    // A logger with a fix every 20 minutes, and a phone that logged densely
    // over the same minutes.
    log.AddSegment({{T0, 45.0, 7.0, kNoEle}, {T0 + 1200, 45.2, 7.2, kNoEle}});
    log.AddSegment({{T0 + 500, 45.0, 7.1, kNoEle}, {T0 + 700, 45.0, 7.3, kNoEle}});
    const CTrackMatcher matcher(log);
    const TrackMatch m = matcher.Match(T0 + 600, MatchLimits{});
    EXPECT_EQ(MatchOutcome::Interpolated, m.Outcome);
    EXPECT_NEAR(45.0, m.Latitude, 1e-9);
    EXPECT_NEAR(7.2, m.Longitude, 1e-9);
}

TEST(Matcher, AnEmptyLogPlacesNothing)
{
    const CTrackLog log;
    const CTrackMatcher matcher(log);
    EXPECT_EQ(MatchOutcome::NoTrack, matcher.Match(T0, MatchLimits{}).Outcome);
}

TEST(TrackLog, SegmentsAreSortedAndOneFixIsKeptPerTime)
{
    CTrackLog log;
    log.AddSegment({{T0 + 60, 45.1, 7.1, 0}, {T0, 45.0, 7.0, 0}, {T0 + 60, 45.3, 7.3, 0}, {T0 + 30, 45.2, 7.2, 0}});
    ASSERT_EQ(1u, log.Segments().size());
    const auto& fixes = log.Segments()[0];
    ASSERT_EQ(3u, fixes.size());
    EXPECT_EQ(T0, fixes[0].Time);
    EXPECT_EQ(T0 + 30, fixes[1].Time);
    EXPECT_EQ(45.3, fixes[2].Latitude) << "the later of two fixes at one time is kept";
    EXPECT_EQ(1u, log.Totals().SameTime);
    // No division by a zero gap: the moment of the repeated fix is that fix.
    const CTrackMatcher matcher(log);
    const TrackMatch m = matcher.Match(T0 + 60, MatchLimits{});
    EXPECT_EQ(MatchOutcome::ExactFix, m.Outcome);
    EXPECT_EQ(45.3, m.Latitude);
}

}  // namespace
