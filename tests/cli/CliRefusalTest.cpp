// What corvane-cli refuses before it touches a file: values that are not
// exactly what they claim to be, a CSV target that is a picture, two
// pictures saved to one path. A refusal names what it refuses and changes
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
        Refusal{"set --alt 429496729.6", 2, "altitude 429496729.6 is outside -429496729.5 to 429496729.5"},
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

// export-csv PICTURES... FILE: a forgotten CSV name makes the last picture the target.
struct CsvTarget {
    const char* Name;
    const char* Content;  // nullptr: absent; "JPEG": a picture; "DIR": a folder; "NUL": binary; else text
    const char* Message;
};

std::ostream& operator<<(std::ostream& out, const CsvTarget& t)
{
    return out << t.Name;
}

class CliCsvTargetRefusal : public ::testing::TestWithParam<CsvTarget> {};

TEST_P(CliCsvTargetRefusal, ChangesNothing)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path a = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg", "a.jpg");
    const fs::path target = dir / GetParam().Name;
    const std::string content = GetParam().Content ? GetParam().Content : "";
    if (content == "JPEG")
        dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg", GetParam().Name);
    else if (content == "DIR")
        fs::create_directory(target);
    else if (content == "NUL")
        WriteFile(target, std::string("a\0b", 3));
    else if (GetParam().Content)
        WriteFile(target, content);
    const FolderState before = Snapshot(dir.Path());
    const CliResult r = CliRunner().Run("export-csv " + Quote(a) + " " + Quote(target));
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find(target.string() + " " + GetParam().Message), std::string::npos) << r.Err;
    EXPECT_EQ(Differences(before, Snapshot(dir.Path())), "");
}

INSTANTIATE_TEST_SUITE_P(
    Targets, CliCsvTargetRefusal,
    ::testing::Values(CsvTarget{"c.jpg", "JPEG", "is a picture"},
                      CsvTarget{"c.TIF", nullptr, "is named as a picture"},
                      CsvTarget{"lies.csv", "JPEG", "is a picture"},
                      CsvTarget{"noname", "JPEG", "is a picture"},
                      CsvTarget{"notes.txt", "my only notes\n", "exists and is not a CSV file"},
                      CsvTarget{"binary.csv", "NUL", "exists and is not a CSV file"},
                      CsvTarget{"photos", "DIR", "is a folder"}));

TEST(CliCsvTarget, ATableReplacesATableAndForceReplacesAnything)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path a = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg", "a.jpg");
    const fs::path c = dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg", "c.jpg");
    const CliRunner cli;
    for (const char* name : {"t.csv", "t.csv", "new-table", "report.txt"}) {
        const CliResult r = cli.Run("export-csv " + Quote(a) + " " + Quote(dir / name));
        ASSERT_EQ(r.Status, 0) << name << r.Err;
        EXPECT_EQ(ReadFile(dir / name).substr(0, 4), "\xEF\xBB\xBF#") << name;
    }
    // report.txt now holds a table of ours: it may be replaced again.
    EXPECT_EQ(cli.Run("export-csv " + Quote(a) + " " + Quote(dir / "report.txt")).Status, 0);
    const CliResult dry = cli.Run("export-csv --dry-run " + Quote(a) + " " + Quote(dir / "dry.csv"));
    EXPECT_EQ(dry.Out, (dir / "dry.csv").string() + ": would write the table of 1 pictures\n");
    EXPECT_FALSE(fs::exists(dir / "dry.csv"));
    const CliResult forced = cli.Run("export-csv --force " + Quote(a) + " " + Quote(c));
    EXPECT_EQ(forced.Status, 0) << forced.Err;
    EXPECT_NE(ReadFile(c).find("a.jpg"), std::string::npos);
}

// Two pictures of one name from two folders, into one --out folder.
class CliOutCollision : public ::testing::TestWithParam<const char*> {};

TEST_P(CliOutCollision, TheSecondIsRefused)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    const fs::path first = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg", "a/x.jpg");
    const fs::path second = dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg", "b/x.jpg");
    const FolderState before = Snapshot(dir.Path());
    const fs::path out = dir / "out";
    const CliResult r = CliRunner().Run(std::string(GetParam()) + " --out " + Quote(out) + " " + Quote(first) +
                                        " " + Quote(second));
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find(second.string() + ": not saved: " + (out / "x.jpg").string() +
                         " is already the new version of " + first.string()),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(r.Out, (out / "x.jpg").string() + ": saved\n");
    // The copy is the first picture's, and the originals are as they were.
    auto copy = ReadGeoTag((out / "x.jpg").string(), nullptr, nullptr);
    auto original = ReadGeoTag(first.string(), nullptr, nullptr);
    ASSERT_TRUE(copy && original && copy->DateTaken && original->DateTaken);
    EXPECT_EQ(*copy->DateTaken, *original->DateTaken);
    FolderState after = Snapshot(dir.Path());
    after.erase("out");
    after.erase("out/x.jpg");
    EXPECT_EQ(Differences(before, after), "");
}

INSTANTIATE_TEST_SUITE_P(Verbs, CliOutCollision,
                         ::testing::Values("set --city Twice", "clear gps", "stamp gps"));

TEST(CliOutCollision, APictureIsNeverSavedOverAnotherPictureOfTheRun)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    const fs::path first = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg", "a/x.jpg");
    const fs::path second = dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg", "b/x.jpg");
    const std::string firstBefore = ReadFile(first), secondScan = JpegScanData(ReadFile(second));
    const CliResult r =
        CliRunner().Run("set --city Here --out " + Quote(dir / "b") + " " + Quote(first) + " " + Quote(second));
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find(first.string() + ": not saved: " + second.string() + " is another picture of this run"),
              std::string::npos)
        << r.Err;
    EXPECT_EQ(ReadFile(first), firstBefore);
    EXPECT_EQ(JpegScanData(ReadFile(second)), secondScan);  // b/x.jpg got its own edit, not a copy of a/x.jpg
}

}  // namespace
