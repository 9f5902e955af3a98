// corvane-cli geotag and export-gpx as a user runs them: usage errors, a
// track that cannot be used, what each picture is told, what is written (as
// an independent reader sees it), and the GPX waypoints of geotagged pictures.
#include <gtest/gtest.h>

#include <sstream>

#include "CliHarness.h"

namespace {

using namespace testsupport;
using namespace clitest;

fs::path Track()
{
    return SamplesDir() / "gpx/made/oracle-track.gpx";
}

// A picture without GPS taken at `when` (camera time), and another with GPS.
struct Folder {
    TempDir dir;
    CliRunner cli;

    fs::path Picture(const std::string& name, const std::string& when, const char* sample = "cameras/Nikon_D70.jpg")
    {
        const fs::path path = dir.Copy(SamplesDir() / "pictures" / sample, name);
        if (!when.empty()) {
            const CliResult set = cli.Run("set --date " + Quote(when) + " " + Quote(path));
            EXPECT_EQ(0, set.Status) << set.Err;
        }
        return path;
    }
    std::string Tags(const fs::path& path, const std::string& tags)
    {
        return RunCommand("exiftool -n -s3 -f " + tags + " " + Quote(path));
    }
};

struct UsageCase {
    const char* name;
    const char* args;
    const char* says;
};

void PrintTo(const UsageCase& c, std::ostream* out)
{
    *out << c.name;
}

class GeotagUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(GeotagUsage, IsAUsageErrorThatWritesNothing)
{
    REQUIRE_SAMPLES();
    Folder f;
    const fs::path picture = f.Picture("a.jpg", "2013-03-31 01:07:30");
    const FolderState before = Snapshot(f.dir.Path());
    std::string args = GetParam().args;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"TRACK", Quote(Track())},
                                   {"PICTURE", Quote(picture)}})
        for (std::size_t at; (at = args.find(from)) != std::string::npos;) args.replace(at, from.size(), to);
    const CliResult r = f.cli.Run(args);
    EXPECT_EQ(2, r.Status) << r.Out << r.Err;
    EXPECT_NE(std::string::npos, r.Err.find(GetParam().says)) << r.Err;
    EXPECT_EQ("", Differences(before, Snapshot(f.dir.Path())));
}

INSTANTIATE_TEST_SUITE_P(
    Options, GeotagUsage,
    testing::Values(
        UsageCase{"NoTrack", "geotag PICTURE", "geotag needs at least one --track"},
        UsageCase{"UnknownZone", "geotag --track TRACK --tz Mars/Olympus_Mons PICTURE", "a time zone name"},
        UsageCase{"OffsetNotATime", "geotag --track TRACK --offset 1:75 PICTURE", "[+-]HH:MM:SS"},
        UsageCase{"OffsetWithWords", "geotag --track TRACK --offset 'two minutes' PICTURE", "[+-]HH:MM:SS"},
        UsageCase{"SyncWithoutTime", "geotag --track TRACK --sync PICTURE PICTURE", "PICTURE=YYYY-MM-DD"},
        UsageCase{"SyncTimeNotATime", "geotag --track TRACK --sync PICTURE=noon PICTURE", "PICTURE=YYYY-MM-DD"},
        UsageCase{"OffsetAndSync", "geotag --track TRACK --offset +1 --sync PICTURE=2013-03-31T00:00:00Z PICTURE",
                  "--offset or --sync, not both"},
        UsageCase{"NegativeGap", "geotag --track TRACK --max-gap -5 PICTURE", "0 or more"},
        UsageCase{"TrackForAnotherVerb", "set --track TRACK --city X PICTURE", "set takes no option --track"},
        UsageCase{"ExportWithoutTarget", "export-gpx PICTURE", "then the GPX file"},
        UsageCase{"ExportOverAPicture", "export-gpx PICTURE PICTURE", "is a picture"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

struct BadTrackCase {
    const char* name;
    const char* content;
    const char* says;
};

void PrintTo(const BadTrackCase& c, std::ostream* out)
{
    *out << c.name;
}

class GeotagBadTrack : public testing::TestWithParam<BadTrackCase> {};

// One track that cannot be used changes nothing, even beside a good one.
TEST_P(GeotagBadTrack, IsNamedAndNothingChanges)
{
    REQUIRE_SAMPLES();
    Folder f;
    f.Picture("a.jpg", "2013-03-31 01:07:30");
    const fs::path bad = f.dir / "day2.gpx";
    WriteFile(bad, GetParam().content);
    const FolderState before = Snapshot(f.dir.Path());
    const CliResult r = f.cli.Run("geotag --tz Europe/Paris --track " + Quote(Track()) + " --track " + Quote(bad) +
                                  " " + Quote(f.dir / "a.jpg"));
    EXPECT_EQ(1, r.Status);
    EXPECT_NE(std::string::npos, r.Err.find(bad.string() + ": cannot be used as a track: " + GetParam().says))
        << r.Err;
    EXPECT_NE(std::string::npos, r.Err.find("no picture was changed")) << r.Err;
    EXPECT_EQ("", Differences(before, Snapshot(f.dir.Path())));
}

INSTANTIATE_TEST_SUITE_P(
    Files, GeotagBadTrack,
    testing::Values(BadTrackCase{"NotGpx", "<?xml version=\"1.0\"?><kml/>", "not a GPX file"},
                    BadTrackCase{"CutOff",
                                 "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg><trkpt lat=\"1\" "
                                 "lon=\"2\"><time>2013-03-31T00:00:00Z</time></trkpt>",
                                 "the file ends before"},
                    BadTrackCase{"NoTimedPoints",
                                 "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg><trkpt lat=\"1\" "
                                 "lon=\"2\"/></trkseg></trk></gpx>",
                                 "it has no track point with a time"}),
    [](const testing::TestParamInfo<BadTrackCase>& info) { return std::string(info.param.name); });

TEST(CliGeotag, PlacesSaysWhyNotAndWritesOnlyThePosition)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    Folder f;
    // 01:07:30 in Paris before the clocks went forward: 00:07:30 UTC, half
    // way between two fixes.
    const fs::path walk = f.Picture("walk.jpg", "2013-03-31 01:07:30");
    ASSERT_EQ(0, f.cli.Run("set --city Paris --alt 1 " + Quote(walk)).Status);
    const fs::path tagged = f.Picture("tagged.jpg", "2013-03-31 03:03:00", "gps/DSCN0010.jpg");
    const fs::path dateless = f.Picture("dateless.jpg", "", "cameras/no_exif.jpg");
    const fs::path night = f.Picture("night.jpg", "2013-03-31 05:00:00");
    const std::string taggedBefore = ReadFile(tagged);

    const CliResult r = f.cli.Run("geotag --track " + Quote(Track()) + " --tz Europe/Paris " + Quote(f.dir.Path()));
    EXPECT_EQ(0, r.Status) << r.Out << r.Err;
    for (const std::string& line :
         {walk.string() + ": taken 2013-03-31 01:07:30 (+01:00 Europe/Paris) = 2013-03-31T00:07:30Z, placed at "
                          "48.82, 2.295, 39 m (interpolated, nearest fix 2 min 30 s away)",
          tagged.string() + ": taken 2013-03-31 03:03:00 (+02:00 Europe/Paris) = 2013-03-31T01:03:00Z, not placed: "
                            "already geotagged (give --overwrite to replace its coordinates)",
          dateless.string() + ": not placed: no date taken",
          night.string() + ": taken 2013-03-31 05:00:00 (+02:00 Europe/Paris) = 2013-03-31T03:00:00Z, not placed: "
                           "after the track (nearest fix 1 h 19 min away)",
          walk.string() + ": saved", std::string("geotag: 1 placed, 3 not placed (1 no date taken, 1 outside the "
                                                  "track, 1 already geotagged)")})
        EXPECT_NE(std::string::npos, r.Out.find(line + "\n")) << line << "\nin\n" << r.Out;

    // Seconds of arc are written in thousandths: 2.8e-7 degrees at most.
    std::istringstream position(f.Tags(walk, "-GPSLatitude -GPSLongitude -GPSAltitude"));
    double lat = 0, lon = 0, alt = 0;
    position >> lat >> lon >> alt;
    EXPECT_NEAR(48.82, lat, 3e-7);
    EXPECT_NEAR(2.295, lon, 3e-7);
    EXPECT_NEAR(39, alt, 0.1);
    EXPECT_EQ("0\n2013:03:31\n00:07:30\nWGS-84\nParis\n",
              f.Tags(walk, "-GPSAltitudeRef -GPSDateStamp -GPSTimeStamp -GPSMapDatum -City"));
    EXPECT_EQ(taggedBefore, ReadFile(tagged)) << "a picture with coordinates is left alone";

    const CliResult again = f.cli.Run("geotag --overwrite --dry-run --tz Europe/Paris --track " + Quote(Track()) +
                                      " " + Quote(tagged));
    EXPECT_EQ(0, again.Status) << again.Err;
    EXPECT_NE(std::string::npos, again.Out.find("would be placed at 48.905, 2.21, 63 m")) << again.Out;
    EXPECT_EQ(taggedBefore, ReadFile(tagged)) << "a dry run writes nothing";
}

TEST(CliGeotag, TheClockIsSynchronisedWithAPictureOfTheTrueTime)
{
    REQUIRE_SAMPLES();
    Folder f;
    // The camera showed 01:05:00 when the clock in the picture said 01:07:30:
    // the camera was two and a half minutes slow.
    const fs::path clock = f.Picture("clock.jpg", "2013-03-31 01:05:00");
    const CliResult r = f.cli.Run("geotag --dry-run --tz Europe/Paris --track " + Quote(Track()) + " --sync " +
                                  Quote(clock.string() + "=2013-03-31 01:07:30") + " " + Quote(clock));
    EXPECT_EQ(0, r.Status) << r.Err;
    EXPECT_NE(std::string::npos, r.Out.find("camera clock: +00:02:30")) << r.Out;
    EXPECT_NE(std::string::npos, r.Out.find("+00:02:30 = 2013-03-31T00:07:30Z, would be placed at 48.82, 2.295, 39 m"))
        << r.Out;

    const fs::path dateless = f.Picture("dateless.jpg", "", "cameras/no_exif.jpg");
    const CliResult refused = f.cli.Run("geotag --track " + Quote(Track()) + " --sync " +
                                        Quote(dateless.string() + "=2013-03-31T00:07:30Z") + " " + Quote(clock));
    EXPECT_EQ(1, refused.Status);
    EXPECT_NE(std::string::npos, refused.Err.find("cannot synchronise the clock with it: it has no date taken"))
        << refused.Err;
}

TEST(CliExportGpx, WritesTheGeotaggedPicturesInTheOrderTheyWereTaken)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("xmllint");
    REQUIRE_TOOL("gpsbabel");
    Folder f;
    const fs::path late = f.Picture("a-late.jpg", "2013-03-31 03:03:00");
    const fs::path early = f.Picture("b-early.jpg", "2013-03-31 01:07:30");
    f.Picture("c-none.jpg", "2013-03-31 01:08:00");
    ASSERT_EQ(0, f.cli.Run("geotag --tz Europe/Paris --track " + Quote(Track()) + " " + Quote(late) + " " +
                           Quote(early))
                     .Status);
    const fs::path out = f.dir / "photos.gpx";
    const CliResult r = f.cli.Run("export-gpx --tz Europe/Paris " + Quote(f.dir.Path()) + " " + Quote(out));
    EXPECT_EQ(0, r.Status) << r.Err;
    EXPECT_NE(std::string::npos, r.Out.find("2 waypoints (1 pictures without coordinates left out)")) << r.Out;

    int status = 0;
    const std::string valid =
        RunCommand("xmllint --noout --schema " CORVANE_SCHEMAS "/gpx11.xsd " + Quote(out) + " 2>&1", &status);
    EXPECT_EQ(0, status) << valid;
    const std::string csv = RunCommand("gpsbabel -i gpx -f " + Quote(out) + " -o unicsv,utc=0 -F - 2>&1", &status);
    ASSERT_EQ(0, status) << csv;
    const std::size_t first = csv.find("b-early.jpg"), second = csv.find("a-late.jpg");
    ASSERT_NE(std::string::npos, first) << csv;
    EXPECT_LT(first, second) << csv;
    EXPECT_NE(std::string::npos, csv.find("48.820000,2.295000,\"b-early.jpg\",39.0,2013/03/31,00:07:30")) << csv;
    EXPECT_NE(std::string::npos, csv.find("48.905000,2.210000,\"a-late.jpg\",63.0,2013/03/31,01:03:00")) << csv;
}

}  // namespace
