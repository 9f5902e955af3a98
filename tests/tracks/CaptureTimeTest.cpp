// Capture times: the camera's date in the picture's own offset or in an
// IANA zone (both sides of a daylight-saving change), sub-seconds, the
// camera clock's correction, and the texts the user types and reads.
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

#include "CaptureTime.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

// "YYYY-MM-DDTHH:MM:SSZ" by the C library's calendar.
double Utc(const char* text)
{
    std::tm parts{};
    EXPECT_TRUE(strptime(text, "%Y-%m-%dT%H:%M:%SZ", &parts)) << text;
    return static_cast<double>(timegm(&parts));
}

CaptureStamp Stamp(int y, int mo, int d, int h, int mi, int s, double sub = 0, std::optional<int> offset = {})
{
    CaptureStamp stamp;
    stamp.HasDate = true;
    stamp.Year = y;
    stamp.Month = mo;
    stamp.Day = d;
    stamp.Hour = h;
    stamp.Minute = mi;
    stamp.Second = s;
    stamp.SubSecond = sub;
    stamp.OffsetSeconds = offset;
    return stamp;
}

struct InstantCase {
    const char* name;
    CaptureStamp stamp;
    const char* zone;
    bool usePictureOffset;
    double correction;
    const char* utc;  // whole seconds
    double fraction;
};

void PrintTo(const InstantCase& c, std::ostream* out)
{
    *out << c.name;
}

class CaptureInstantTest : public testing::TestWithParam<InstantCase> {};

TEST_P(CaptureInstantTest, GivesTheInstant)
{
    const InstantCase& c = GetParam();
    CameraClock clock;
    clock.Zone = QTimeZone(c.zone);
    ASSERT_TRUE(clock.Zone.isValid()) << c.zone;
    clock.UsePictureOffset = c.usePictureOffset;
    clock.Correction = c.correction;
    const auto instant = CaptureInstantOf(c.stamp, clock);
    ASSERT_TRUE(instant);
    EXPECT_DOUBLE_EQ(Utc(c.utc) + c.fraction, instant->Utc);
}

const int kPlusThree = 3 * 3600;

INSTANTIATE_TEST_SUITE_P(
    Clocks, CaptureInstantTest,
    testing::Values(
        // Europe/Paris went from +01:00 to +02:00 at 2013-03-31T01:00:00Z.
        InstantCase{"BeforeTheSpringChange", Stamp(2013, 3, 31, 1, 30, 0), "Europe/Paris", true, 0,
                    "2013-03-31T00:30:00Z", 0},
        InstantCase{"AfterTheSpringChange", Stamp(2013, 3, 31, 3, 30, 0), "Europe/Paris", true, 0,
                    "2013-03-31T01:30:00Z", 0},
        InstantCase{"InTheSkippedHourTheOldOffset", Stamp(2013, 3, 31, 2, 30, 0), "Europe/Paris", true, 0,
                    "2013-03-31T01:30:00Z", 0},
        InstantCase{"TheRepeatedHourIsTheSecond", Stamp(2013, 10, 27, 2, 30, 0), "Europe/Paris", true, 0,
                    "2013-10-27T01:30:00Z", 0},
        InstantCase{"HalfHourZone", Stamp(2013, 5, 7, 12, 0, 0), "Asia/Kolkata", true, 0, "2013-05-07T06:30:00Z", 0},
        InstantCase{"WestOfGreenwichInSummer", Stamp(2013, 7, 4, 20, 15, 0), "America/New_York", true, 0,
                    "2013-07-05T00:15:00Z", 0},
        InstantCase{"ThePicturesOffsetWins", Stamp(2013, 5, 7, 12, 0, 0, 0, kPlusThree), "America/New_York", true, 0,
                    "2013-05-07T09:00:00Z", 0},
        InstantCase{"ThePicturesOffsetIgnored", Stamp(2013, 5, 7, 12, 0, 0, 0, kPlusThree), "Europe/Paris", false, 0,
                    "2013-05-07T10:00:00Z", 0},
        InstantCase{"SubSecondsAdded", Stamp(2013, 5, 7, 12, 0, 0, 0.25, 0), "Europe/Paris", true, 0,
                    "2013-05-07T12:00:00Z", 0.25},
        InstantCase{"SlowCameraCorrected", Stamp(2013, 5, 7, 12, 0, 0), "UTC", true, 72, "2013-05-07T12:01:12Z", 0},
        InstantCase{"FastCameraCorrected", Stamp(2013, 5, 7, 12, 0, 0, 0.5), "UTC", true, -90.5,
                    "2013-05-07T11:58:30Z", 0}),
    [](const testing::TestParamInfo<InstantCase>& info) { return std::string(info.param.name); });

TEST(CaptureTime, NoDateNoInstant)
{
    EXPECT_FALSE(CaptureInstantOf(CaptureStamp{}, CameraClock{}));
    EXPECT_FALSE(ClockCorrectionFor(CaptureStamp{}, CameraClock{}, 0));
}

TEST(CaptureTime, AnEditedDateTakenDropsTheFilesSubSecondsAndOffset)
{
    const CaptureStamp file = Stamp(2013, 5, 7, 12, 0, 0, 0.5, 7200);
    const AutomationDate same = AutomationDate::FromParts(2013, 5, 7, 12, 0, 0);
    const CaptureStamp kept = StampForRecord(file, &same);
    EXPECT_EQ(0.5, kept.SubSecond);
    EXPECT_EQ(7200, kept.OffsetSeconds.value_or(0));
    const AutomationDate edited = AutomationDate::FromParts(2013, 5, 7, 13, 0, 0);
    const CaptureStamp changed = StampForRecord(file, &edited);
    EXPECT_EQ(13, changed.Hour);
    EXPECT_EQ(0, changed.SubSecond);
    EXPECT_FALSE(changed.OffsetSeconds);
    EXPECT_FALSE(StampForRecord(file, nullptr).HasDate) << "a cleared date taken places nothing";
}

TEST(CaptureTime, SynchronisingGivesTheCorrectionThatMakesTheTimeTrue)
{
    CameraClock clock;
    clock.Zone = QTimeZone("Europe/Paris");
    clock.Correction = 1000;  // replaced, not added to
    const CaptureStamp stamp = Stamp(2013, 5, 7, 14, 3, 9);
    const auto correction = ClockCorrectionFor(stamp, clock, Utc("2013-05-07T12:04:21Z"));
    ASSERT_TRUE(correction);
    EXPECT_EQ(72, *correction);
}

// The picture files as an independent reader sees them.
TEST(CaptureTime, ReadsTheStampsOfRealPictures)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    const char* const names[] = {"cameras/iphone_hdr_YES.jpg", "cameras/HMD_Nokia_8.3_5G.jpg", "gps/DSCN0010.jpg",
                                 "cameras/no_exif.jpg"};
    std::string files, read;
    for (const char* name : names) {
        const fs::path path = SamplesDir() / "pictures" / name;
        files += " " + Quote(path);
        const CaptureStamp stamp = ReadCaptureStampOfFile(path.string());
        read += stamp.HasDate ? FormatCameraTime(Stamp(stamp.Year, stamp.Month, stamp.Day, stamp.Hour, stamp.Minute,
                                                       stamp.Second))
                              : "-";
        read += "\t";
        read += stamp.SubSecond > 0 ? std::to_string(static_cast<int>(std::lround(stamp.SubSecond * 1000))) : "-";
        read += "\t";
        read += stamp.OffsetSeconds ? FormatOffset(*stamp.OffsetSeconds) : "-";
        read += "\n";
    }
    const std::string expected = RunCommand("exiftool -T -f -d '%Y-%m-%d %H:%M:%S' -DateTimeOriginal "
                                            "-SubSecTimeOriginal -OffsetTimeOriginal" + files + " 2>/dev/null");
    EXPECT_EQ(expected, read);
}

struct CorrectionCase {
    const char* text;
    bool valid;
    double seconds;
};

class CorrectionTextTest : public testing::TestWithParam<CorrectionCase> {};

TEST_P(CorrectionTextTest, ParsesStrictly)
{
    double seconds = -12345;
    EXPECT_EQ(GetParam().valid, ParseCorrection(GetParam().text, seconds)) << GetParam().text;
    if (!GetParam().valid) return;
    EXPECT_DOUBLE_EQ(GetParam().seconds, seconds) << GetParam().text;
    double again = 0;
    ASSERT_TRUE(ParseCorrection(FormatCorrection(seconds), again)) << FormatCorrection(seconds);
    EXPECT_DOUBLE_EQ(seconds, again) << "what is written reads back";
}

INSTANTIATE_TEST_SUITE_P(Texts, CorrectionTextTest,
                         testing::Values(CorrectionCase{"+00:01:12", true, 72}, CorrectionCase{"-00:01:12", true, -72},
                                         CorrectionCase{"72", true, 72}, CorrectionCase{"-1:12", true, -72},
                                         CorrectionCase{"+01:00:00", true, 3600},
                                         CorrectionCase{"-0:00:00.5", true, -0.5}, CorrectionCase{"", false, 0},
                                         CorrectionCase{"+", false, 0}, CorrectionCase{"1:75", false, 0},
                                         CorrectionCase{" 00:01:12", false, 0}, CorrectionCase{"00:01:12 ", false, 0},
                                         CorrectionCase{"1,5", false, 0}, CorrectionCase{"--1", false, 0},
                                         CorrectionCase{"1:2:3:4", false, 0}, CorrectionCase{"0x10", false, 0}));

struct InstantTextCase {
    const char* text;
    const char* utc;  // null: refused
    double fraction;
};

class InstantTextTest : public testing::TestWithParam<InstantTextCase> {};

TEST_P(InstantTextTest, ReadsTheTrueTime)
{
    double utc = 0;
    const bool read = ParseInstant(GetParam().text, QTimeZone("Europe/Paris"), utc);
    ASSERT_EQ(GetParam().utc != nullptr, read) << GetParam().text;
    if (read) {
        EXPECT_DOUBLE_EQ(Utc(GetParam().utc) + GetParam().fraction, utc) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, InstantTextTest,
                         testing::Values(InstantTextCase{"2013-05-07T12:03:09Z", "2013-05-07T12:03:09Z", 0},
                                         InstantTextCase{"2013-05-07T14:03:09+02:00", "2013-05-07T12:03:09Z", 0},
                                         InstantTextCase{"2013-05-07 14:03:09", "2013-05-07T12:03:09Z", 0},
                                         InstantTextCase{"2013:01:07 14:03:09.5", "2013-01-07T13:03:09Z", 0.5},
                                         InstantTextCase{"2013-02-30T00:00:00Z", nullptr, 0},
                                         InstantTextCase{"2013-05-07", nullptr, 0},
                                         InstantTextCase{"2013-05-07T14:03:09+2", nullptr, 0},
                                         InstantTextCase{"2013-05-07T14:03:09Z ", nullptr, 0},
                                         InstantTextCase{"2013-05:07T14:03:09", nullptr, 0}));

TEST(CaptureTime, TextsForPeople)
{
    EXPECT_EQ("2013-05-07T10:04:00.5Z", FormatUtc(Utc("2013-05-07T10:04:00Z") + 0.5));
    EXPECT_EQ("2013-05-07T10:04:01Z", FormatUtc(Utc("2013-05-07T10:04:00Z") + 0.9996));
    EXPECT_EQ("2013-05-07 12:04:00.25", FormatCameraTime(Stamp(2013, 5, 7, 12, 4, 0, 0.25)));
    EXPECT_EQ("-05:30", FormatOffset(-19800));
    EXPECT_EQ("+00:00:00", FormatCorrection(0));
}

}  // namespace
