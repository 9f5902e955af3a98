#include <gtest/gtest.h>

#include <functional>

#include "TestSupport.h"
#include "Thumbnailer.h"

namespace {

using namespace testsupport;

enum Colour { Red, Green, Blue, White, Other };

Colour ColourAt(const CBitmap& b, int x, int y)
{
    const std::uint8_t* p = b.Row(y) + x * 4;
    const int bl = p[0], g = p[1], r = p[2];
    if (r > 200 && g < 60 && bl < 60) return Red;
    if (g > 100 && r < 60 && bl < 60) return Green;
    if (bl > 200 && r < 60 && g < 60) return Blue;
    if (r > 200 && g > 200 && bl > 200) return White;
    return Other;
}

// A 160 x 80 picture: red, green / blue, white quadrants (or the swapped
// colours, to tell an embedded thumbnail from the picture).
fs::path Quadrants(const TempDir& dir, const std::string& name, bool swapped)
{
    const fs::path path = dir / name;
    const std::string top = swapped ? "xc:blue xc:white" : "xc:red xc:lime";
    const std::string bottom = swapped ? "xc:red xc:lime" : "xc:blue xc:white";
    RunCommand("convert -size 80x40 \\( " + top + " +append \\) \\( " + bottom + " +append \\) -append -quality 95 " +
               Quote(path));
    return path;
}

struct OrientationCase {
    int Orientation;
    Colour TopLeft, TopRight;
};

void PrintTo(const OrientationCase& c, std::ostream* os) { *os << "orientation " << c.Orientation; }

class ThumbnailOrientationTest : public ::testing::TestWithParam<OrientationCase> {};

TEST_P(ThumbnailOrientationTest, TurnedTheRightWayUp)
{
    REQUIRE_TOOL("convert");
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path picture = Quadrants(dir, "q.jpg", false);
    RunCommand("exiftool -q -overwrite_original -Orientation#=" + std::to_string(GetParam().Orientation) + " " +
               Quote(picture));
    CBitmap thumb;
    std::string error;
    ASSERT_EQ(MakeThumbnail(picture.string(), thumb, &error), S_OK) << error;
    const bool turned = GetParam().Orientation >= 5;
    EXPECT_EQ(thumb.Width(), turned ? 48 : 96);
    EXPECT_EQ(thumb.Height(), turned ? 96 : 48);
    EXPECT_EQ(ColourAt(thumb, thumb.Width() / 4, thumb.Height() / 4), GetParam().TopLeft);
    EXPECT_EQ(ColourAt(thumb, thumb.Width() * 3 / 4, thumb.Height() / 4), GetParam().TopRight);
}

INSTANTIATE_TEST_SUITE_P(Exif, ThumbnailOrientationTest,
                         ::testing::Values(OrientationCase{1, Red, Green}, OrientationCase{2, Green, Red},
                                           OrientationCase{3, White, Blue}, OrientationCase{4, Blue, White},
                                           OrientationCase{5, Red, Blue}, OrientationCase{6, Blue, Red},
                                           OrientationCase{7, White, Green}, OrientationCase{8, Green, White}));

TEST(Thumbnailer, EmbeddedThumbnailIsPreferredAndTurned)
{
    REQUIRE_TOOL("convert");
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path picture = Quadrants(dir, "q.jpg", false);
    const fs::path embedded = Quadrants(dir, "t.jpg", true);
    RunCommand("exiftool -q -overwrite_original -Orientation#=6 \"-ThumbnailImage<=" + embedded.string() + "\" " +
               Quote(picture));
    CBitmap thumb;
    ASSERT_EQ(MakeThumbnail(picture.string(), thumb, nullptr), S_OK);
    ASSERT_EQ(thumb.Width(), 48) << thumb.Height();
    EXPECT_EQ(ColourAt(thumb, 12, 24), Red);  // the embedded picture's lower left, turned to the top
}

struct SampleCase {
    const char* Sample;
    int Width, Height;
};

void PrintTo(const SampleCase& c, std::ostream* os) { *os << c.Sample; }

class ThumbnailSampleTest : public ::testing::TestWithParam<SampleCase> {};

TEST_P(ThumbnailSampleTest, FitsTheSquare)
{
    REQUIRE_SAMPLES();
    CBitmap thumb;
    std::string error;
    ASSERT_EQ(MakeThumbnail((SamplesDir() / "pictures" / GetParam().Sample).string(), thumb, &error), S_OK) << error;
    EXPECT_EQ(thumb.Width(), GetParam().Width);
    EXPECT_EQ(thumb.Height(), GetParam().Height);
}

INSTANTIATE_TEST_SUITE_P(Samples, ThumbnailSampleTest,
                         ::testing::Values(SampleCase{"gps/DSCN0010.jpg", 96, 72},
                                           SampleCase{"cameras/no_exif.jpg", 66, 96},
                                           SampleCase{"cameras/HMD_Nokia_8.3_5G.jpg", 96, 41},
                                           SampleCase{"cameras/Canon_40D.jpg", 96, 65},
                                           SampleCase{"tiff/BSG1.tiff", 96, 53},
                                           SampleCase{"tiff/Arbitro.tiff", 96, 21},
                                           SampleCase{"broken/corrupted-head.jpg", 96, 72}));

// Large boxes are averaged from a grid of samples: a linear ramp still gives
// each box its mean, and one-pixel stripes (the worst case for sampling) still
// come out as their mean grey rather than as one of their colours.
TEST(FitBitmap, EachPixelIsTheMeanOfItsBox)
{
    const struct {
        const char* Name;
        int Width, Height;
        std::function<int(int x, int y)> Value;
    } cases[] = {
        {"ramp", 960, 30, [](int x, int) { return x * 255 / 959; }},
        {"stripes", 960, 960, [](int x, int y) { return (x + y) % 2 ? 255 : 0; }},
        {"small boxes", 150, 120, [](int x, int y) { return (x * 7 + y * 3) % 256; }},
    };
    for (const auto& c : cases) {
        CBitmap source, fitted;
        ASSERT_EQ(source.Allocate(c.Width, c.Height, nullptr), S_OK);
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x) {
                std::uint8_t* p = source.Row(y) + x * 4;
                p[0] = p[1] = p[2] = static_cast<std::uint8_t>(c.Value(x, y)), p[3] = 255;
            }
        ASSERT_EQ(FitBitmap(source, ThumbnailSide, fitted, nullptr), S_OK);
        const int ow = fitted.Width(), oh = fitted.Height();
        for (int oy = 0; oy < oh; ++oy)
            for (int ox = 0; ox < ow; ++ox) {
                double sum = 0;
                const int x0 = ox * c.Width / ow, x1 = (ox + 1) * c.Width / ow;
                const int y0 = oy * c.Height / oh, y1 = (oy + 1) * c.Height / oh;
                for (int y = y0; y < y1; ++y)
                    for (int x = x0; x < x1; ++x) sum += c.Value(x, y);
                const double mean = sum / ((x1 - x0) * (y1 - y0));
                ASSERT_NEAR(fitted.Row(oy)[ox * 4], mean, 1.0) << c.Name << " at " << ox << ", " << oy;
                ASSERT_EQ(fitted.Row(oy)[ox * 4 + 3], 255);
            }
    }
}

TEST(Thumbnailer, NotAPictureFails)
{
    TempDir dir;
    WriteFile(dir / "notes.jpg", "just some text");
    CBitmap thumb;
    std::string error;
    EXPECT_TRUE(FAILED(MakeThumbnail((dir / "notes.jpg").string(), thumb, &error)));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(FAILED(MakeThumbnail((dir / "missing.jpg").string(), thumb, &error)));
}

}  // namespace
