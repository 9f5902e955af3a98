// What corvane-cli refuses before it touches a file: values that are not
// exactly what they claim to be. A refusal names what it refuses and changes
// nothing on disk, not even a modification time.
#include <gtest/gtest.h>

#include "CliHarness.h"
#include "GeoTagFile.h"

namespace {

using namespace testsupport;
using namespace clitest;

struct Refusal {
    const char* Args;     // before the picture's path
    int Status;
    const char* Message;  // a part of standard error
};

std::ostream& operator<<(std::ostream& out, const Refusal& r)
{
    return out << r.Args;
}

class CliValueRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(CliValueRefusal, IsAUsageErrorThatWritesNothing)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    const FolderState before = Snapshot(dir.Path());
    const CliResult r = CliRunner().Run(std::string(GetParam().Args) + " " + Quote(p));
    EXPECT_EQ(r.Status, GetParam().Status) << r.Err;
    EXPECT_NE(r.Err.find(GetParam().Message), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(Differences(before, Snapshot(dir.Path())), "");
}

INSTANTIATE_TEST_SUITE_P(
    Values, CliValueRefusal,
    ::testing::Values(
        Refusal{"set --lat 0x10", 2, "invalid value for --lat: \"0x10\""},
        Refusal{"set --lat ' 12'", 2, "invalid value for --lat: \" 12\""},
        Refusal{"set --lat '12 '", 2, "invalid value for --lat"},
        Refusal{"set --lat 1,5", 2, "invalid value for --lat"},
        Refusal{"set --lat -90.0000001", 2, "invalid value for --lat: latitude -90.0000001 is outside -90 to 90"},
        // Half an edit is worse than none: the longitude is not written either.
        Refusal{"set --lat 91 --lon 2", 2, "latitude 91 is outside -90 to 90"},
        Refusal{"set --lon 2 --lon=-180.5", 2, "longitude -180.5 is outside -180 to 180"},
        Refusal{"set --direction 360T", 2, "image direction 360 is outside 0 to 359.99"},
        Refusal{"set --alt 1e10", 2, "altitude 1e10 is outside"},
        Refusal{"set --date '2013-05-07 14:03:09 junk'", 2, "invalid value for --date"},
        Refusal{"set --gps-date '2013-05-07 14:03:09'", 2, "invalid value for --gps-date"},
        // Latin-1 bytes from an old script: they would become U+FFFD in the picture.
        Refusal{"set --city \"$(printf 'Z\\374rich')\"", 2, "invalid value for --city: the text is not UTF-8"},
        Refusal{"stamp title \"$(printf '\\377')\"", 2, "invalid title: the text is not UTF-8"},
        Refusal{"show --separator ''", 2, "invalid value for --separator"},
        Refusal{"set --city X --out ''", 2, "invalid value for --out"},
        Refusal{"set --city X --out=", 2, "invalid value for --out"},
        Refusal{"show --out elsewhere", 2, "show takes no option --out"},
        Refusal{"clear --city X all", 2, "clear takes no option --city"}));

TEST(CliValues, StrictFormsThatAreRightAreTaken)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    const CliResult r = CliRunner().Run("set --lat=+12.5 --lon -0.25 --alt 1e3 --date 2013:05:07T14:03:09 "
                                        "--gps-date 2013-05-07 --gps-time 9:03 --direction 359.99t " + Quote(p));
    ASSERT_EQ(r.Status, 0) << r.Err;
    auto record = ReadGeoTag(p.string(), nullptr, nullptr);
    ASSERT_TRUE(record && record->Latitude && record->Altitude && record->GPSTime && record->DateTaken);
    EXPECT_EQ(record->Latitude->Ref, 'N');
    EXPECT_EQ(record->Latitude->Degrees, 12);
    EXPECT_EQ(record->Longitude->Ref, 'W');
    EXPECT_DOUBLE_EQ(*record->Altitude, 1000);
    EXPECT_EQ(record->DateTaken->Format("%Y-%m-%d %H:%M:%S"), "2013-05-07 14:03:09");
}

}  // namespace
