// corvane-cli as a user runs it: exit statuses, messages and files on disk.
#include <gtest/gtest.h>

#include "GeoTagFile.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

struct Result {
    int Status = -1;
    std::string Out, Err;
};

Result Cli(const TempDir& dir, const std::string& args)
{
    Result r;
    const fs::path err = dir / "stderr.txt";
    r.Out = RunCommand(std::string(CORVANE_CLI) + " " + args + " 2>" + Quote(err), &r.Status);
    r.Err = ReadFile(err);
    return r;
}

TEST(Cli, UsageErrorsExitTwo)
{
    TempDir dir;
    for (const char* args : {"", "frobnicate x.jpg", "set --lat abc x.jpg", "set --lat", "clear x.jpg", "show"}) {
        const Result r = Cli(dir, args);
        EXPECT_EQ(r.Status, 2) << args;
        EXPECT_NE(r.Err.find("usage:"), std::string::npos) << args;
    }
}

TEST(Cli, ShowsTheTableAndCsv)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    dir.Copy(SamplesDir() / "pictures/tiff/BSG1.tiff");
    WriteFile(dir / "notes.txt", "not a picture");
    const Result table = Cli(dir, "show " + Quote(dir.Path()));
    EXPECT_EQ(table.Status, 0) << table.Err;
    EXPECT_NE(table.Out.find("1  BSG1.tiff"), std::string::npos) << table.Out;
    EXPECT_NE(table.Out.find("2  DSCN0010.jpg  22-October-2008 4:28:39 PM  43.467448333333 N"), std::string::npos)
        << table.Out;
    const Result csv = Cli(dir, "show --csv --separator , " + Quote(dir.Path()));
    ASSERT_EQ(csv.Out.substr(0, 5), "\xEF\xBB\xBF#,");
    EXPECT_NE(csv.Out.find("\r\n0,BSG1.tiff,"), std::string::npos);
    EXPECT_NE(csv.Out.find("\r\n1,DSCN0010.jpg,22-October-2008 4:28:39 PM,43.467448333333 N,"), std::string::npos);
}

TEST(Cli, FailuresAreNamedAndLeaveFilesAlone)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path good = dir.Copy(SamplesDir() / "pictures/gps/DSCN0025.jpg");
    WriteFile(dir / "fake.jpg", "text, not a JPEG");
    const Result r = Cli(dir, "set --city Paris " + Quote(good) + " " + Quote(dir / "fake.jpg") + " " +
                                  Quote(dir / "absent.jpg"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Err.find("fake.jpg: unreadable"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("absent.jpg: unreadable"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFile(dir / "fake.jpg"), "text, not a JPEG");
    auto record = ReadGeoTag(good.string(), nullptr, nullptr);
    ASSERT_TRUE(record && record->City);
    EXPECT_EQ(*record->City, L"Paris");
}

TEST(Cli, OutWritesCopiesAndClearGroups)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/cameras/iphone_hdr_YES.jpg");
    const std::string before = ReadFile(p);
    Result r = Cli(dir, "set --out " + Quote(dir / "edited") + " --direction 45T --city Zürich " + Quote(p));
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadFile(p), before);
    auto edited = ReadGeoTag((dir / "edited/iphone_hdr_YES.jpg").string(), nullptr, nullptr);
    ASSERT_TRUE(edited);
    EXPECT_EQ(*edited->ImgDirection, 45);
    EXPECT_EQ(*edited->ImgDirectionRef, 'T');
    EXPECT_EQ(*edited->City, L"Zürich");

    r = Cli(dir, "clear gps " + Quote(p));
    ASSERT_EQ(r.Status, 0) << r.Err;
    auto cleared = ReadGeoTag(p.string(), nullptr, nullptr);
    ASSERT_TRUE(cleared);
    EXPECT_EQ(cleared->Latitude, nullptr);
    EXPECT_EQ(cleared->Speed, nullptr);  // GPS fields without a column go too
    EXPECT_NE(cleared->DateTaken, nullptr);

    r = Cli(dir, "clear --dry-run all " + Quote(p));
    EXPECT_NE(r.Out.find("would change Date Taken"), std::string::npos) << r.Out;
    EXPECT_NE(ReadGeoTag(p.string(), nullptr, nullptr)->DateTaken, nullptr);
}

}  // namespace

namespace {

TEST(CliDocument, ExportCsvAndOfflineGeocode)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg");
    const std::string home = "HOME=" + Quote(dir / "home") + " ";
    Result r = Cli(dir, "export-csv --separator ';' " + Quote(dir / "DSCN0012.jpg") + " " + Quote(dir / "t.csv"));
    ASSERT_EQ(r.Status, 0) << r.Err;
    const std::string csv = ReadFile(dir / "t.csv");
    EXPECT_EQ(csv.substr(0, 5), "\xEF\xBB\xBF#;");
    EXPECT_NE(csv.find("\r\n0;DSCN0012.jpg;"), std::string::npos);
    EXPECT_EQ(csv.find("DSCN0010"), std::string::npos);  // only the picture named
    EXPECT_EQ(Cli(dir, "export-csv " + Quote(dir.Path())).Status, 2);  // no CSV name

    // A service nobody answers and no offline places: the offline message, status 1, nothing written.
    const std::string before = ReadFile(dir / "DSCN0010.jpg");
    int status = -1;
    const std::string out =
        RunCommand(home + "XDG_CACHE_HOME=" + Quote(dir / "cache") + " " + CORVANE_CLI +
                       std::string(" geocode --user tester --server http://127.0.0.1:9/ --places /nonexistent ") +
                       Quote(dir.Path()) + " 2>" + Quote(dir / "err.txt"),
                   &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(ReadFile(dir / "err.txt").find("No Internet Connection"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "DSCN0010.jpg"), before);
}

}  // namespace

namespace {

TEST(CliStamp, StampsAreSavedWhereTheSettingsSay)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0038.jpg");
    const std::string before = ReadFile(p);
    const std::string env = "HOME=" + Quote(dir / "home") + " XDG_CONFIG_HOME=" + Quote(dir / "config") + " ";
    int status = -1;
    RunCommand(env + CORVANE_CLI + std::string(" stamp gps --top ") + Quote(p) + " >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
    // First run: the defaults put modified pictures into "Modified" and leave the original.
    EXPECT_EQ(ReadFile(p), before);
    const fs::path saved = dir / "Modified/DSCN0038.jpg";
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_NE(JpegScanData(ReadFile(saved)), JpegScanData(before));  // pixels re-encoded with the band
    auto record = ReadGeoTag(saved.string(), nullptr, nullptr);
    ASSERT_TRUE(record && record->Latitude);  // the geotag travels with the stamped picture
    EXPECT_TRUE(fs::exists(dir / "config/Halvorn/Corvane.ini"));

    RunCommand(env + CORVANE_CLI + std::string(" stamp title ") + Quote(p) + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 2);  // a title and then pictures
}

}  // namespace
