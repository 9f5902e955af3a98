#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "CodecTestSupport.h"
#include "GeoTagFile.h"
#include "JpegCodec.h"
#include "StampedSave.h"
#include "StampingOperations.h"
#include "TestSupport.h"
#include "TiffCodec.h"

namespace {

using namespace testsupport;
using codectest::MaxDifference;

struct Saved {
    std::string Source, Target;
    StampGeometry Geometry;
    HRESULT Status = E_FAIL;
};

// Saves `source` with one stamp of `op` and the record read from the file.
Saved SaveWithStamp(const fs::path& source, const fs::path& target, CImageStampingOperation& op,
                    const std::wstring& text = L"")
{
    Saved saved;
    std::string error;
    auto record = ReadGeoTag(source.string(), nullptr, &error);
    EXPECT_NE(record, nullptr) << error;
    if (!record) return saved;
    saved.Status = SaveStampedPicture(source.string(), target.string(), *record, {{&op, text}}, &error);
    EXPECT_EQ(saved.Status, S_OK) << error;
    saved.Source = ReadFile(source);
    saved.Target = ReadFile(target);
    saved.Geometry = op.LastGeometry();
    return saved;
}

class StampedJpegTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        WriteDefaultSettings(settings);
        gps = CImageGPSStampingOperation::Create(settings, nullptr);
        ASSERT_NE(gps, nullptr);
    }
    CMemorySettingsStore settings;
    std::unique_ptr<CImageGPSStampingOperation> gps;
    TempDir dir;
};

TEST_F(StampedJpegTest, OnlyTheBandChanges)
{
    const fs::path source = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    const Saved s = SaveWithStamp(source, dir / "out.jpg", *gps);
    ASSERT_FALSE(s.Target.empty());

    CBitmap original, stamped;
    ASSERT_EQ(DecodeJpeg(s.Source, original, nullptr), S_OK);
    ASSERT_EQ(DecodeJpeg(s.Target, stamped, nullptr), S_OK);
    ASSERT_EQ(stamped.Width(), 640);
    ASSERT_EQ(stamped.Height(), 480);

    // Official layout at the bottom: full width, the font of a 480-pixel picture.
    EXPECT_NEAR(s.Geometry.FontSize, 13.58, 0.01);
    EXPECT_EQ(s.Geometry.Left, 0);
    EXPECT_NEAR(s.Geometry.Right, 640, 1e-9);
    EXPECT_NEAR(s.Geometry.Bottom, 480, 1e-9);
    // Blocks above the band's rows of 8 are copied as they were coded: those
    // rows decode to the very pixels of the source.
    const int untouched = static_cast<int>(std::floor(s.Geometry.Top / 8)) * 8 - 8;
    ASSERT_GT(untouched, 400);
    EXPECT_EQ(MaxDifference(original, stamped, 0, untouched), 0);
    EXPECT_GT(MaxDifference(original, stamped, static_cast<int>(std::ceil(s.Geometry.Top)), 480), 100);

    const auto before = codectest::ReadJpegLayout(s.Source), after = codectest::ReadJpegLayout(s.Target);
    ASSERT_TRUE(after.Valid);
    EXPECT_EQ(codectest::ComponentTables(after), codectest::ComponentTables(before));
    EXPECT_EQ(after.Components, before.Components);
}

TEST_F(StampedJpegTest, ExiftoolStillReadsTheCameraTags)
{
    REQUIRE_TOOL("exiftool");
    const fs::path source = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    const fs::path target = dir / "out.jpg";
    SaveWithStamp(source, target, *gps);
    const std::string tags = "-Make -Model -ExposureTime -FNumber -ISO -DateTimeOriginal -FocalLength -Orientation";
    const std::string expected = RunCommand("exiftool -s -s " + tags + " " + Quote(source));
    EXPECT_NE(expected.find("Make"), std::string::npos);
    EXPECT_NE(expected.find("DateTimeOriginal"), std::string::npos);
    EXPECT_EQ(RunCommand("exiftool -s -s " + tags + " " + Quote(target)), expected);
    // The geotag is rewritten from the record: the same place, not necessarily the same rationals.
    const std::string gps = "exiftool -n -s -s -s -GPSLatitude -GPSLongitude ";
    double lat0 = 0, lon0 = 0, lat1 = 0, lon1 = 0;
    ASSERT_EQ(std::sscanf(RunCommand(gps + Quote(source)).c_str(), "%lf %lf", &lat0, &lon0), 2);
    ASSERT_EQ(std::sscanf(RunCommand(gps + Quote(target)).c_str(), "%lf %lf", &lat1, &lon1), 2);
    EXPECT_NEAR(lat1, lat0, 1e-6);
    EXPECT_NEAR(lon1, lon0, 1e-6);
    int status = 0;
    RunCommand("exiftool -validate -error " + Quote(target), &status);
    EXPECT_EQ(status, 0);
}

TEST_F(StampedJpegTest, PlacementIsReadWhenSaving)
{
    const fs::path source = dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg");
    settings.SetString("GPSStampngLocation", L"top");  // after the stamp was made
    const Saved s = SaveWithStamp(source, source, *gps);
    EXPECT_EQ(s.Geometry.Top, 0);
    EXPECT_LT(s.Geometry.Bottom, 40);
}

// Mean difference of the rows [top, bottom) of two bitmaps of one size.
double RowsDifference(const CBitmap& a, const CBitmap& b, int top, int bottom)
{
    double sum = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < a.Width() * 4; ++x) sum += std::abs(int(a.Row(y)[x]) - int(b.Row(y)[x]));
    return sum / (double(bottom - top) * a.Width() * 4);
}

TEST_F(StampedJpegTest, BandAtTheBottomOfAPictureStoredOnItsSide)
{
    REQUIRE_TOOL("exiftool");
    const fs::path source = dir.Copy(SamplesDir() / "pictures/gps/DSCN0038.jpg");
    RunCommand("exiftool -q -overwrite_original -Orientation#=6 " + Quote(source));
    const Saved s = SaveWithStamp(source, dir / "out.jpg", *gps);
    // Drawn on the upright picture: 480 wide, 640 high.
    EXPECT_NEAR(s.Geometry.Right, 480, 1e-9);
    EXPECT_NEAR(s.Geometry.Bottom, 640, 1e-9);
    CBitmap stored, stamped, before, after;
    ASSERT_EQ(DecodeJpeg(s.Source, stored, nullptr), S_OK);
    ASSERT_EQ(DecodeJpeg(s.Target, stamped, nullptr), S_OK);
    ASSERT_EQ(stamped.Width(), 640);  // still stored on its side
    ASSERT_EQ(ApplyExifOrientation(stored, 6, before, nullptr), S_OK);
    ASSERT_EQ(ApplyExifOrientation(stamped, 6, after, nullptr), S_OK);
    const int bandTop = static_cast<int>(std::ceil(s.Geometry.Top));
    EXPECT_GT(RowsDifference(before, after, bandTop, 640), 20);
    EXPECT_LT(RowsDifference(before, after, 0, bandTop - 16), 2);
}

// The band and the metadata of one save agree: a latitude edited but not yet
// saved is the one the band states. Stamping the edited record must draw
// exactly what stamping a file that already holds that record draws.
TEST_F(StampedJpegTest, BandStatesTheRecordBeingSaved)
{
    REQUIRE_TOOL("djpeg");
    const fs::path source = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    std::string error;
    auto stored = ReadGeoTag(source.string(), nullptr, &error);
    ASSERT_TRUE(stored && stored->Latitude) << error;
    std::unique_ptr<CGPSMetadataInfo> edited(stored->Clone());
    ASSERT_TRUE(CGPSMetadataInfo::DecimalToCoordinate(edited->Latitude, -33.856784, 'N', 'S'));

    ASSERT_EQ(SaveStampedPicture(source.string(), (dir / "edited.jpg").string(), *edited, {{gps.get(), L""}}, &error),
              S_OK) << error;
    ASSERT_EQ(SaveGeoTag(source.string(), (dir / "moved.jpg").string(), *edited, &error), S_OK) << error;
    auto moved = ReadGeoTag((dir / "moved.jpg").string(), nullptr, &error);
    ASSERT_TRUE(moved);
    ASSERT_EQ(SaveStampedPicture((dir / "moved.jpg").string(), (dir / "reference.jpg").string(), *moved,
                                 {{gps.get(), L""}}, &error), S_OK) << error;
    ASSERT_EQ(SaveStampedPicture(source.string(), (dir / "stored.jpg").string(), *stored, {{gps.get(), L""}}, &error),
              S_OK) << error;

    auto pixels = [&](const char* name) { return RunCommand("djpeg -pnm " + Quote(dir / name)); };
    const std::string drawn = pixels("edited.jpg");
    ASSERT_FALSE(drawn.empty());
    EXPECT_TRUE(drawn == pixels("reference.jpg")) << "the band states another position than the saved record";
    EXPECT_FALSE(drawn == pixels("stored.jpg"));
    EXPECT_NEAR(std::stod(RunCommand("exiftool -n -s -s -s -GPSLatitude " + Quote(dir / "edited.jpg"))), -33.856784,
                1e-6);
}

TEST_F(StampedJpegTest, DamagedSourceLeavesTheTargetAlone)
{
    const std::string whole = ReadFile(SamplesDir() / "pictures/gps/DSCN0025.jpg");
    const fs::path source = dir / "cut.jpg", target = dir / "target.jpg";
    WriteFile(source, whole.substr(0, whole.size() / 2));
    WriteFile(target, "old");
    CGPSMetadataInfo record;
    std::string error;
    EXPECT_TRUE(FAILED(SaveStampedPicture(source.string(), target.string(), record, {{gps.get(), L""}}, &error)));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
}

TEST(StampedTiff, OtherPagesKeptAndPixelsOutsideTheBandExact)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("tiffcp");
    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    auto title = CImageTitleStampingOperation::Create(settings, false, nullptr);
    TempDir dir;
    const fs::path source = dir / "pages.tif";
    const fs::path tiffs = SamplesDir() / "pictures/tiff";
    RunCommand("tiffcp " + Quote(tiffs / "Rudless.tiff") + " " + Quote(tiffs / "Picoawards.tiff") + " " +
               Quote(tiffs / "Arbitro.tiff") + " " + Quote(source));
    // A colour profile on the first page, taken from a camera sample.
    const fs::path icc = dir / "profile.icc";
    RunCommand("exiftool -b -ICC_Profile " + Quote(SamplesDir() / "pictures/cameras/Canon_40D.jpg") + " > " +
               Quote(icc));
    RunCommand("exiftool -q -overwrite_original \"-ICC_Profile<=" + icc.string() + "\" " + Quote(source));
    const auto before = codectest::ReadTiffPages(source.string());
    ASSERT_EQ(before.size(), 3u);

    const Saved s = SaveWithStamp(source, dir / "out.tif", *title, L"North wall");
    const auto after = codectest::ReadTiffPages((dir / "out.tif").string());
    ASSERT_EQ(after.size(), 3u);
    for (size_t i = 1; i < 3; ++i) EXPECT_EQ(after[i].Raw, before[i].Raw) << "page " << i;
    EXPECT_EQ(after[0].Compression, before[0].Compression);
    EXPECT_EQ(after[0].Extra, before[0].Extra);
    EXPECT_EQ(after[0].Photometric, before[0].Photometric);

    if (HaveTool("exiftool")) {
        const std::string profile = "exiftool -s -s -s -ProfileDescription ";
        const std::string expected = RunCommand(profile + Quote(source));
        EXPECT_FALSE(expected.empty());
        EXPECT_EQ(RunCommand(profile + Quote(dir / "out.tif")), expected);
    }

    CBitmap original, stamped;
    ASSERT_EQ(DecodeTiff(s.Source, original, nullptr), S_OK);
    ASSERT_EQ(DecodeTiff(s.Target, stamped, nullptr), S_OK);
    // The title goes to the top by default.
    const int below = static_cast<int>(std::ceil(s.Geometry.Bottom));
    EXPECT_EQ(s.Geometry.Top, 0);
    EXPECT_EQ(MaxDifference(original, stamped, below, original.Height()), 0);
    EXPECT_GT(MaxDifference(original, stamped, 0, below), 50);
}

}  // namespace
