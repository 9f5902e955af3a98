// Geotagging checked against an independent geotagger: exiftool -geotag,
// given the same track, the same capture instants (as the zone rules give
// them), the same clock correction and the same limits, writes the positions
// that our placement computes (1e-7 degrees, 0.1 m) and that corvane-cli
// geotag writes into the pictures, and places the same pictures.
//
// Covered: interpolation, exact fixes, a gap longer than the limit, segment
// ends (where both place on the nearest fix), the edges of the track, both
// sides of a daylight-saving change, OffsetTimeOriginal of both signs,
// sub-seconds, and a camera clock that was slow or fast. Moments between two
// segments closer than the gap limit are left out: the other program
// interpolates across segments, we do not.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "TestSupport.h"
#include "TrackGeotagging.h"

namespace {

using namespace testsupport;

// How precisely a written coordinate survives the EXIF writer here: seconds
// of arc are stored in thousandths, which is 2.8e-7 degrees.
constexpr double kWrittenDegrees = 1e-7;

struct OracleGroup {
    const char* zone;
    const char* correction;  // as both programs take it
    double maxGap, maxOutside;
};

const OracleGroup kGroups[] = {
    {"Europe/Paris", "+00:00:00", 1800, 0},   // A: the defaults
    {"Europe/Paris", "+00:00:00", 900, 300},  // B: segment ends and the edges
    {"Europe/Paris", "+00:02:00", 1800, 0},   // C: a slow camera
    {"Europe/Paris", "-00:01:30", 1800, 0},   // D: a fast camera
    {"America/New_York", "+00:00:00", 1800, 0},
};

struct OracleCase {
    const char* name;
    int group;
    const char* dateTimeOriginal;
    const char* subSec;          // "" for none
    const char* offsetOriginal;  // "" for none
    const char* geotime;         // the capture instant as the other program is told it
    bool placed;
};

const OracleCase kCases[] = {
    {"ExactFix", 0, "2013:03:31 01:05:00", "", "", "2013:03:31 01:05:00+01:00", true},
    {"Interpolated", 0, "2013:03:31 01:07:30", "", "", "2013:03:31 01:07:30+01:00", true},
    {"SubSecondsAndOffset", 0, "2013:03:31 01:12:14", "25", "+01:00", "2013:03:31 01:12:14.25+01:00", true},
    {"AfterTheSpringChange", 0, "2013:03:31 03:03:00", "", "", "2013:03:31 03:03:00+02:00", true},
    {"InTheGap", 0, "2013:03:31 01:40:00", "", "", "2013:03:31 01:40:00+01:00", false},
    {"SegmentEndExact", 0, "2013:03:31 03:12:00", "", "", "2013:03:31 03:12:00+02:00", true},
    {"WestOffsetInThePicture", 0, "2013:03:30 22:09:00", "", "-03:00", "2013:03:30 22:09:00-03:00", true},
    {"BeforeTheTrack", 0, "2013:03:31 00:58:30", "", "", "2013:03:31 00:58:30+01:00", false},
    {"SecondSegment", 0, "2013:03:31 03:33:10", "", "", "2013:03:31 03:33:10+02:00", true},
    {"AfterASegmentEnd", 1, "2013:03:31 03:14:00", "", "", "2013:03:31 03:14:00+02:00", true},
    {"BeforeTheFirstFix", 1, "2013:03:31 00:58:30", "", "", "2013:03:31 00:58:30+01:00", true},
    {"AfterTheLastFix", 1, "2013:03:31 03:43:00", "", "", "2013:03:31 03:43:00+02:00", true},
    {"GapBeyondOutside", 1, "2013:03:31 01:40:00", "", "", "2013:03:31 01:40:00+01:00", false},
    {"BeforeASegmentStart", 1, "2013:03:31 03:28:00", "", "", "2013:03:31 03:28:00+02:00", true},
    {"SlowCamera", 2, "2013:03:31 01:05:30", "", "", "2013:03:31 01:05:30+01:00", true},
    {"FastCamera", 3, "2013:03:31 03:05:00", "", "", "2013:03:31 03:05:00+02:00", true},
    {"FastCameraSubSeconds", 3, "2013:03:31 01:10:00", "5", "", "2013:03:31 01:10:00.5+01:00", true},
    {"NewYorkInSummerTime", 4, "2013:03:30 20:11:11", "", "", "2013:03:30 20:11:11-04:00", true},
};

struct Position {
    bool placed = false;
    double lat = 0, lon = 0, alt = 0;
};

// Latitude, longitude and altitude of each file, as exiftool reads them.
std::map<std::string, Position> ReadPositions(const fs::path& folder)
{
    std::map<std::string, Position> positions;
    std::istringstream lines(
        RunCommand("exiftool -n -T -FileName -GPSLatitude -GPSLongitude -GPSAltitude " + Quote(folder) + " 2>&1"));
    std::string name, lat, lon, alt;
    while (std::getline(lines, name, '\t') && std::getline(lines, lat, '\t') && std::getline(lines, lon, '\t') &&
           std::getline(lines, alt)) {
        Position p;
        p.placed = lat != "-";
        if (p.placed) {
            p.lat = std::stod(lat);
            p.lon = std::stod(lon);
            p.alt = alt == "-" ? NAN : std::stod(alt);
        }
        positions[name] = p;
    }
    return positions;
}

class GeotagOracle : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_FALSE(SamplesDir().empty()) << "the test data is missing";
        ASSERT_TRUE(HaveTool("exiftool")) << "exiftool is not installed (scripts/setup)";
        dir_ = new TempDir();
        for (const char* sub : {"prepared", "theirs", "cli"}) fs::create_directories(*dir_ / sub);
        Prepare();
        RunExiftool();
        RunCli();
        theirs_ = ReadPositions(*dir_ / "theirs");
        cli_ = ReadPositions(*dir_ / "cli");
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }

    static fs::path Track() { return SamplesDir() / "gpx/made/oracle-track.gpx"; }
    static std::string FileName(const OracleCase& c) { return std::string(c.name) + ".jpg"; }

    // A picture without GPS per case, its capture tags set by exiftool, in
    // three copies: ours to read, theirs and the command line's to write.
    static void Prepare()
    {
        std::string args;
        for (const OracleCase& c : kCases) {
            const fs::path prepared = *dir_ / "prepared" / FileName(c);
            fs::copy_file(SamplesDir() / "pictures/cameras/Nikon_D70.jpg", prepared);
            fs::permissions(prepared, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
            args += "-overwrite_original\n-DateTimeOriginal=" + std::string(c.dateTimeOriginal) + "\n";
            if (*c.subSec) args += "-SubSecTimeOriginal=" + std::string(c.subSec) + "\n";
            if (*c.offsetOriginal) args += "-OffsetTimeOriginal=" + std::string(c.offsetOriginal) + "\n";
            args += prepared.string() + "\n-execute\n";
        }
        RunArguments(args);
        for (const OracleCase& c : kCases)
            for (const char* sub : {"theirs", "cli"})
                fs::copy_file(*dir_ / "prepared" / FileName(c), *dir_ / sub / FileName(c));
    }

    static void RunArguments(const std::string& args)
    {
        const fs::path file = *dir_ / "args.txt";
        WriteFile(file, args);
        int status = 0;
        const std::string output = RunCommand("exiftool -@ " + Quote(file) + " -common_args -q -q 2>&1", &status);
        ASSERT_EQ(0, status) << output;
    }

    static void RunExiftool()
    {
        std::string args;
        for (const OracleCase& c : kCases) {
            const OracleGroup& g = kGroups[c.group];
            args += "-overwrite_original\n-geotag\n" + Track().string() + "\n-geotime=" + c.geotime +
                    "\n-geosync=" + g.correction + "\n-api\nGeoMaxIntSecs=" + std::to_string(g.maxGap) +
                    "\n-api\nGeoMaxExtSecs=" + std::to_string(g.maxOutside) + "\n" +
                    (*dir_ / "theirs" / FileName(c)).string() + "\n-execute\n";
        }
        RunArguments(args);
    }

    static void RunCli()
    {
        for (std::size_t group = 0; group < std::size(kGroups); ++group) {
            const OracleGroup& g = kGroups[group];
            std::string files;
            for (const OracleCase& c : kCases)
                if (c.group == static_cast<int>(group)) files += " " + Quote(*dir_ / "cli" / FileName(c));
            int status = 0;
            const std::string output =
                RunCommand(std::string(CORVANE_CLI) + " geotag --track " + Quote(Track()) + " --tz " + g.zone +
                               " --offset=" + g.correction + " --max-gap " + std::to_string(g.maxGap) +
                               " --max-outside " + std::to_string(g.maxOutside) + files + " 2>&1",
                           &status);
            ASSERT_EQ(0, status) << output;
        }
    }

    static TempDir* dir_;
    static std::map<std::string, Position> theirs_, cli_;
};

TempDir* GeotagOracle::dir_ = nullptr;
std::map<std::string, Position> GeotagOracle::theirs_, GeotagOracle::cli_;

// Our placement to 1e-7 degrees; what the command line writes, to the
// precision the EXIF writer keeps.
TEST_F(GeotagOracle, PicturesArePlacedWhereTheOraclePlacesThem)
{
    CTrackLog log;
    std::string error;
    ASSERT_TRUE(log.AddFile(Track().string(), error)) << error;
    const CTrackMatcher matcher(log);
    int placed = 0;
    for (const OracleCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const OracleGroup& g = kGroups[c.group];
        GeotagSettings settings;
        settings.Clock.Zone = QTimeZone(g.zone);
        ASSERT_TRUE(ParseCorrection(g.correction, settings.Clock.Correction));
        settings.Limits = MatchLimits{g.maxGap, g.maxOutside};
        const CaptureStamp stamp = ReadCaptureStampOfFile((*dir_ / "prepared" / FileName(c)).string());
        const PicturePlacement ours = PlacePicture(stamp, false, matcher, settings);
        const Position& theirs = theirs_[FileName(c)];
        const Position& written = cli_[FileName(c)];
        EXPECT_EQ(c.placed, theirs.placed) << "the case says what both programs do";
        ASSERT_EQ(theirs.placed, ours.Result == PlacementResult::Placed) << ResultText(ours);
        ASSERT_EQ(theirs.placed, written.placed);
        if (!theirs.placed) continue;
        ++placed;
        EXPECT_NEAR(theirs.lat, ours.Match.Latitude, 1e-7);
        EXPECT_NEAR(theirs.lon, ours.Match.Longitude, 1e-7);
        EXPECT_NEAR(theirs.alt, ours.Match.Elevation, 0.1);
        EXPECT_NEAR(theirs.lat, written.lat, kWrittenDegrees);
        EXPECT_NEAR(theirs.lon, written.lon, kWrittenDegrees);
        EXPECT_NEAR(theirs.alt, written.alt, 0.1);
    }
    EXPECT_GE(placed, 14);
}

}  // namespace
