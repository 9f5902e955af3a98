// Tracks read from GPX files: what is kept, what is left out and counted,
// and the files that cannot be used, each refused with a reason.
#include <gtest/gtest.h>

#include <cmath>

#include "TestSupport.h"
#include "TrackLog.h"

namespace {

using namespace testsupport;

const char* const kHead =
    "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">";

TEST(TrackLog, ReadsTimedPointsAndCountsWhatItLeavesOut)
{
    REQUIRE_SAMPLES();
    CTrackLog log;
    std::string error;
    ASSERT_TRUE(log.AddFile((SamplesDir() / "gpx/made/invalid-points.gpx").string(), error)) << error;
    // Seven points: four with coordinates that are none, one in the year 1234.
    const auto& c = log.Totals();
    EXPECT_EQ(2u, c.Points);
    EXPECT_EQ(4u, c.Invalid);
    EXPECT_EQ(1u, c.OutOfRange);
    EXPECT_EQ(1u, c.Untimed);
    ASSERT_EQ(1u, log.Segments().size());
    EXPECT_EQ(45.1, log.Segments()[0][0].Latitude);
    EXPECT_EQ(45.6, log.Segments()[0][1].Latitude);
}

TEST(TrackLog, FilesAreMergedSegmentBySegment)
{
    REQUIRE_SAMPLES();
    CTrackLog log;
    std::string error;
    ASSERT_TRUE(log.AddFile((SamplesDir() / "gpx/made/oracle-track.gpx").string(), error)) << error;
    ASSERT_TRUE(log.AddFile((SamplesDir() / "gpx/made/zone-offsets.gpx").string(), error)) << error;
    EXPECT_EQ(3u, log.Segments().size());
    EXPECT_EQ(15u, log.Totals().Points);
    EXPECT_EQ(2u, log.Files().size());
    // Fractions of a second are kept for matching.
    bool quarter = false;
    for (const TrackFix& fix : log.Segments()[2]) quarter = quarter || fix.Time - std::floor(fix.Time) == 0.25;
    EXPECT_TRUE(quarter);
}

struct RefusedCase {
    const char* name;
    std::string content;  // empty: the file does not exist
    const char* reason;
};

void PrintTo(const RefusedCase& c, std::ostream* out)
{
    *out << c.name;
}

class RefusedTrackTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedTrackTest, AddsNothingAndSaysWhy)
{
    TempDir dir;
    const fs::path path = dir / "track.gpx";
    if (!GetParam().content.empty()) WriteFile(path, GetParam().content);
    CTrackLog log;
    std::string error;
    EXPECT_FALSE(log.AddFile(path.string(), error));
    EXPECT_NE(std::string::npos, error.find(GetParam().reason)) << error;
    EXPECT_TRUE(log.Empty());
    EXPECT_TRUE(log.Files().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedTrackTest,
    testing::Values(
        RefusedCase{"Missing", "", "cannot be read (No such file or directory)"},
        RefusedCase{"NotGpx", "<?xml version=\"1.0\"?><kml><Document/></kml>", "not a GPX file"},
        RefusedCase{"NotXml", "lat,lon,time\n45,7,2013-05-07T10:00:00Z\n", "line 1"},
        RefusedCase{"CutOff",
                    std::string(kHead) + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>2013-05-07T10:00:00Z</time>",
                    "ends before the GPX document is closed"},
        RefusedCase{"NoTimedPoints",
                    std::string(kHead) + "<wpt lat=\"1\" lon=\"2\"><time>2013-05-07T10:00:00Z</time></wpt>"
                                         "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"/></trkseg></trk></gpx>",
                    "no track point with a time"},
        RefusedCase{"InvalidTime",
                    std::string(kHead) + "<trk><trkseg><trkpt lat=\"1\" lon=\"2\"><time>noon</time></trkpt>"
                                         "</trkseg></trk></gpx>",
                    "a time that is no time"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

}  // namespace
