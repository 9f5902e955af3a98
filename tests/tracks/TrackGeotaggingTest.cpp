// A placement becomes an ordinary metadata change: the position, the GPS
// date and time of the capture in UTC and the datum, nothing else of the
// record; and the words the user reads about each picture.
#include <gtest/gtest.h>

#include <cmath>

#include "ImageMetadataManipulationOperation.h"
#include "TrackGeotagging.h"

namespace {

constexpr double T0 = 1367920800;  // 2013-05-07T10:00:00Z

CaptureStamp Stamp(int hour, int minute, int second, double sub = 0)
{
    CaptureStamp stamp;
    stamp.HasDate = true;
    stamp.Year = 2013;
    stamp.Month = 5;
    stamp.Day = 7;
    stamp.Hour = hour;
    stamp.Minute = minute;
    stamp.Second = second;
    stamp.SubSecond = sub;
    return stamp;
}

GeotagSettings Utc()
{
    GeotagSettings settings;
    settings.Clock.Zone = QTimeZone::utc();
    return settings;
}

// Applies a placement to `record` as the document and the command line do.
std::vector<std::int32_t> Apply(const PicturePlacement& placement, CGPSMetadataInfo& record)
{
    auto entries = PlacementEntries(placement);
    std::vector<UpdateEntry*> raw;
    for (auto& e : entries) raw.push_back(e.get());
    CImageMetadataManipulationOperation operation;
    operation.AttachRecord(&record);
    std::vector<std::int32_t> changed;
    if (!raw.empty()) operation.ApplyUpdates(raw.data(), static_cast<int>(raw.size()), changed);
    return changed;
}

TEST(Placement, WritesThePositionTheUtcStampAndTheDatumOnly)
{
    CTrackLog log;
    log.AddSegment({{T0, 45.0, -7.0, 100}, {T0 + 600, 45.1, -7.1, -200}});
    const CTrackMatcher matcher(log);
    CGPSMetadataInfo record;
    SetField(record.City, std::wstring(L"Lyon"));
    SetField(record.ImgDirection, 90.0);
    SetField(record.ImgDirectionRef, 'T');
    // 12:07:30.75 in Paris is 10:07:30.75 UTC, three quarters of the way.
    GeotagSettings settings;
    settings.Clock.Zone = QTimeZone("Europe/Paris");
    const PicturePlacement p = PlacePicture(Stamp(12, 7, 30, 0.75), false, matcher, settings);
    ASSERT_EQ(PlacementResult::Placed, p.Result);
    const auto changed = Apply(p, record);
    EXPECT_EQ((std::vector<std::int32_t>{LatitudeField, LongitudeField, AltitudeField, GPSDateField, GPSTimeField,
                                         MapDatumField}),
              changed);
    const double f = 450.75 / 600;
    EXPECT_NEAR(45.0 + 0.1 * f, CGPSMetadataInfo::CoordinateToDecimal(*record.Latitude), 1e-9);
    EXPECT_NEAR(-7.0 - 0.1 * f, CGPSMetadataInfo::CoordinateToDecimal(*record.Longitude), 1e-9);
    EXPECT_EQ('W', record.Longitude->Ref);
    EXPECT_NEAR(100 - 300 * f, *record.Altitude, 1e-9);
    EXPECT_EQ(1, *record.AltitudeRef) << "below sea level";
    EXPECT_EQ((GPSDateValue{2013, 5, 7}), *record.GPSDate);
    EXPECT_EQ((GPSTimeValue{10, 7, 30}), *record.GPSTime) << "the second the picture was taken in";
    EXPECT_EQ(L"WGS-84", *record.MapDatum);
    EXPECT_EQ(L"Lyon", *record.City);
    EXPECT_EQ(90.0, *record.ImgDirection);
}

TEST(Placement, ATrackWithoutElevationLeavesTheAltitudeAlone)
{
    CTrackLog log;
    log.AddSegment({{T0, 45.0, 7.0, std::nan("")}});
    const CTrackMatcher matcher(log);
    CGPSMetadataInfo record;
    SetField(record.Altitude, 321.0);
    const PicturePlacement p = PlacePicture(Stamp(10, 0, 0), false, matcher, Utc());
    Apply(p, record);
    EXPECT_EQ(321.0, *record.Altitude);
    EXPECT_TRUE(record.Latitude);
}

TEST(Placement, CoordinatesAreReplacedOnlyWhenAsked)
{
    CTrackLog log;
    log.AddSegment({{T0, 45.0, 7.0, 0}});
    const CTrackMatcher matcher(log);
    GeotagSettings settings = Utc();
    const PicturePlacement kept = PlacePicture(Stamp(10, 0, 0), true, matcher, settings);
    EXPECT_EQ(PlacementResult::AlreadyGeotagged, kept.Result);
    EXPECT_TRUE(PlacementEntries(kept).empty());
    settings.ReplaceCoordinates = true;
    EXPECT_EQ(PlacementResult::Placed, PlacePicture(Stamp(10, 0, 0), true, matcher, settings).Result);
    EXPECT_EQ(PlacementResult::NoDateTaken, PlacePicture(CaptureStamp{}, false, matcher, settings).Result);
}

TEST(Placement, TheSummaryCountsEveryReason)
{
    CTrackLog log;
    log.AddSegment({{T0, 45.0, 7.0, 0}, {T0 + 7200, 45.1, 7.1, 0}});
    const CTrackMatcher matcher(log);
    const CTrackLog none;
    const CTrackMatcher nothing(none);
    PlacementSummary summary;
    for (const auto& [stamp, coordinates] : {std::pair{Stamp(10, 0, 0), false}, {Stamp(10, 0, 0), true},
                                             {Stamp(11, 0, 0), false}, {Stamp(9, 0, 0), false},
                                             {CaptureStamp{}, false}})
        summary.Add(PlacePicture(stamp, coordinates, matcher, Utc()));
    summary.Add(PlacePicture(Stamp(10, 0, 0), false, nothing, Utc()));
    EXPECT_EQ("1 placed, 5 not placed (1 no date taken, 1 outside the track, 1 in a gap, 1 already geotagged, "
              "1 no track)",
              summary.Text());
}

struct DurationCase {
    double seconds;
    const char* text;
};

class DurationTextTest : public testing::TestWithParam<DurationCase> {};

TEST_P(DurationTextTest, ReadsAsPeopleSayIt)
{
    EXPECT_EQ(GetParam().text, DurationText(GetParam().seconds));
}

INSTANTIATE_TEST_SUITE_P(Texts, DurationTextTest,
                         testing::Values(DurationCase{0, "0 s"}, DurationCase{0.44, "0.4 s"},
                                         DurationCase{12.5, "12.5 s"}, DurationCase{59.97, "1 min"},
                                         DurationCase{200, "3 min 20 s"}, DurationCase{3600, "1 h"},
                                         DurationCase{4770, "1 h 20 min"}, DurationCase{-30, "30 s"}));

TEST(Placement, PositionsAreWrittenWithAFullStopInEveryLocale)
{
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    TrackMatch m;
    m.Outcome = MatchOutcome::Interpolated;
    m.Latitude = 48.8204167;
    m.Longitude = -2.5;
    m.Elevation = 39.04;
    EXPECT_EQ("48.8204167, -2.5, 39 m", PositionText(m));
    std::setlocale(LC_ALL, "C");
}

}  // namespace
