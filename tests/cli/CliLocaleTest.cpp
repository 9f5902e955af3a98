// corvane-cli under a comma-decimal locale: what it writes and shows reads
// the same as under C (the stamp verb runs the toolkit, which takes the locale).
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "TestSupport.h"

namespace {

using namespace testsupport;

std::map<std::string, std::string> ExifToolXmpAndGps(const fs::path& file)
{
    std::map<std::string, std::string> tags;
    std::istringstream out(RunCommand("exiftool -a -G1 -n -s -XMP-exif:all -GPS:all " + Quote(file)));
    std::string line;
    while (std::getline(out, line)) {
        const size_t colon = line.find(" : ");
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(' ') + 1);
        tags[key] = line.substr(colon + 3);
    }
    return tags;
}

class CliUnderLocale : public testing::TestWithParam<const char*> {};

TEST_P(CliUnderLocale, XmpAndTableNumbersKeepAFullStop)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0038.jpg");
    int status = -1;
    RunCommand("exiftool -q -overwrite_original -XMP-exif:GPSLatitude=43.4674483333333 "
               "-XMP-exif:GPSLongitude=11.8851266666639 -XMP-exif:GPSAltitude=10 " + Quote(p), &status);
    ASSERT_EQ(status, 0);
    const auto before = ExifToolXmpAndGps(p);
    const std::string env = std::string("LC_ALL=") + GetParam() + " HOME=" + Quote(dir / "home") +
                            " XDG_CONFIG_HOME=" + Quote(dir / "config") + " " + CORVANE_CLI;

    RunCommand(env + " stamp gps --out " + Quote(dir / "out") + " " + Quote(p) + " >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ExifToolXmpAndGps(dir / "out" / p.filename()), before) << "a stamp rewrote the geotag's numbers";

    RunCommand(env + " set --alt 8848.86 " + Quote(p) + " >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
    const auto after = ExifToolXmpAndGps(p);
    EXPECT_EQ(after.at("[XMP-exif]      GPSAltitude"), "8848.86");
    EXPECT_EQ(after.at("[GPS]           GPSAltitude"), "8848.86");
    EXPECT_EQ(after.at("[XMP-exif]      GPSLatitude"), before.at("[XMP-exif]      GPSLatitude"));
    const std::string csv = RunCommand(env + " show --csv --separator ';' " + Quote(p));
    EXPECT_NE(csv.find(";8848.86 m Above Sea;"), std::string::npos) << csv;
}

INSTANTIATE_TEST_SUITE_P(Locales, CliUnderLocale, testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, 5);
                         });

}  // namespace
