// A stamped JPEG is re-coded only in the blocks its band reaches: an
// independent decoder gives the very same rows (or, for a picture stored on
// its side, columns) everywhere else. Pictures of every coded layout the test
// data holds, and those the standard tools make from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "CodecTestSupport.h"
#include "GeoTagFile.h"
#include "StampedSave.h"
#include "StampingOperations.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

struct Layout {
    const char* Name;
    const char* Sample;  // under the test data's pictures/
    const char* Make;    // shell command turning %1 into %2; empty: the sample itself
    int Orientation;
    bool Top;
};

void PrintTo(const Layout& l, std::ostream* os) { *os << l.Name; }

const Layout kLayouts[] = {
    {"Baseline422Bottom", "gps/DSCN0010.jpg", "", 1, false},
    {"Baseline422Top", "gps/DSCN0012.jpg", "", 1, true},
    {"Baseline420", "cameras/BlueSquare.jpg", "", 1, false},
    {"Baseline444", "cameras/Canon_40D.jpg", "", 1, true},
    {"Baseline440", "cameras/Panasonic_DMC-FZ30.jpg", "", 1, false},
    {"Progressive422", "broken/32-lens_data.jpeg", "", 1, false},
    {"Progressive420", "cameras/BlueSquare.jpg", "jpegtran -copy all -progressive %1 > %2", 1, true},
    {"RestartEveryRow", "gps/DSCN0021.jpg", "jpegtran -copy all -restart 1 %1 > %2", 1, false},
    {"RestartProgressive", "gps/DSCN0021.jpg", "jpegtran -copy all -restart 2B -progressive %1 > %2", 1, true},
    {"Greyscale", "gps/DSCN0025.jpg", "jpegtran -copy all -grayscale %1 > %2", 1, false},
    {"Cmyk", "gps/DSCN0027.jpg", "convert %1 -colorspace CMYK %2", 1, false},
    {"UpsideDown", "gps/DSCN0029.jpg", "", 3, false},
    {"TurnedRightBottom", "gps/DSCN0038.jpg", "", 6, false},
    {"TurnedLeftBottom", "gps/DSCN0040.jpg", "", 8, false},
    {"TurnedRightTop420", "cameras/BlueSquare.jpg", "", 6, true},
    {"Transposed", "gps/DSCN0042.jpg", "", 5, true},
};

std::string Substitute(std::string command, const fs::path& from, const fs::path& to)
{
    command.replace(command.find("%1"), 2, Quote(from));
    command.replace(command.find("%2"), 2, Quote(to));
    return command;
}

// Samples of a picture as an independent decoder gives them.
struct Samples {
    int Width = 0, Height = 0, Channels = 0;
    std::string Bytes;
    const char* At(int x, int y) const { return &Bytes[(size_t(y) * Width + x) * Channels]; }
};

// djpeg's PNM output; CMYK, which PNM cannot hold, through ImageMagick.
Samples Decode(const fs::path& jpeg, bool cmyk)
{
    Samples s;
    if (cmyk) {
        std::sscanf(RunCommand("identify -format '%w %h' " + Quote(jpeg)).c_str(), "%d %d", &s.Width, &s.Height);
        s.Channels = 4;
        s.Bytes = RunCommand("convert " + Quote(jpeg) + " -depth 8 cmyk:-");
        return s;
    }
    const std::string pnm = RunCommand("djpeg -pnm " + Quote(jpeg));
    char kind[3] = {};
    int max = 0, used = 0;
    if (std::sscanf(pnm.c_str(), "%2s %d %d %d%n", kind, &s.Width, &s.Height, &max, &used) != 4) return s;
    s.Channels = kind[1] == '6' ? 3 : 1;
    s.Bytes = pnm.substr(static_cast<size_t>(used) + 1);
    return s;
}

// Does line `i` (a row, or a column when `columns`) differ between a and b?
bool LineDiffers(const Samples& a, const Samples& b, int i, bool columns)
{
    const int length = columns ? a.Height : a.Width;
    for (int j = 0; j < length; ++j) {
        const int x = columns ? i : j, y = columns ? j : i;
        if (std::memcmp(a.At(x, y), b.At(x, y), static_cast<size_t>(a.Channels)) != 0) return true;
    }
    return false;
}

bool HasRestartInterval(const std::string& jpeg)
{
    const size_t frame = codectest::FrameHeaderOffset(jpeg);
    const size_t scan = jpeg.find("\xFF\xDA", frame == std::string::npos ? 0 : frame);
    const size_t dri = jpeg.find("\xFF\xDD", frame == std::string::npos ? 0 : frame);
    return dri != std::string::npos && dri < scan;
}

class BlockStampTest : public ::testing::TestWithParam<Layout> {};

TEST_P(BlockStampTest, OnlyTheBandsBlocksAreCodedAgain)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("djpeg");
    REQUIRE_TOOL("exiftool");
    const Layout& l = GetParam();
    TempDir dir;
    const fs::path sample = SamplesDir() / "pictures" / l.Sample, source = dir / "source.jpg";
    if (*l.Make) {
        RunCommand(Substitute(l.Make, sample, source));
        RunCommand("exiftool -q -overwrite_original -TagsFromFile " + Quote(sample) + " -all:all " + Quote(source));
    } else {
        WriteFile(source, ReadFile(sample));
    }
    if (l.Orientation != 1)
        RunCommand("exiftool -q -overwrite_original -Orientation#=" + std::to_string(l.Orientation) + " " +
                   Quote(source));

    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    settings.SetString("GPSStampngLocation", l.Top ? L"top" : L"bot");
    auto gps = CImageGPSStampingOperation::Create(settings, nullptr);
    ASSERT_NE(gps, nullptr);
    std::string error;
    auto record = ReadGeoTag(source.string(), nullptr, &error);
    ASSERT_NE(record, nullptr) << error;
    const fs::path target = dir / "stamped.jpg";
    ASSERT_EQ(SaveStampedPicture(source.string(), target.string(), *record, {{gps.get(), L""}}, &error), S_OK)
        << error;

    // Written as the source was coded.
    const std::string before = ReadFile(source), after = ReadFile(target);
    const auto was = codectest::ReadJpegLayout(before), is = codectest::ReadJpegLayout(after);
    ASSERT_TRUE(is.Valid);
    EXPECT_EQ(is.Progressive, was.Progressive);
    EXPECT_EQ(is.Components, was.Components);
    EXPECT_EQ(codectest::ComponentTables(is), codectest::ComponentTables(was));
    EXPECT_EQ(HasRestartInterval(after), HasRestartInterval(before));

    const bool cmyk = was.Components.size() == 4;
    const Samples a = Decode(source, cmyk), b = Decode(target, cmyk);
    ASSERT_GT(a.Width, 0);
    ASSERT_EQ(a.Bytes.size(), size_t(a.Width) * a.Height * a.Channels);
    ASSERT_EQ(b.Bytes.size(), a.Bytes.size());

    // The band, where the picture is stored: rows, or columns on its side.
    const StampGeometry& g = gps->LastGeometry();
    const bool turned = l.Orientation >= 5;
    const PixelRect shown{int(std::floor(g.Left)), int(std::floor(g.Top)), int(std::ceil(g.Right)),
                          int(std::ceil(g.Bottom))};
    const PixelRect band = ExifSourceRect(shown, l.Orientation, a.Width, a.Height);
    int hmax = 1, vmax = 1;
    for (const auto& c : was.Components) hmax = std::max(hmax, c[1]), vmax = std::max(vmax, c[2]);
    const int mcu = 8 * (turned ? hmax : vmax), lines = turned ? a.Width : a.Height;
    const int first = turned ? band.Left : band.Top, last = turned ? band.Right : band.Bottom;
    // What the drawing may reach past the band, in whole blocks, and the
    // line beside them that chroma upsampling blends.
    const int reach = 3 + static_cast<int>(std::ceil(0.25 * (last - first)));
    const int lo = std::max(0, (first - reach) / mcu * mcu - 1);
    const int hi = std::min(lines, (last + reach + mcu - 1) / mcu * mcu + 1);
    int changedInBand = 0;
    for (int i = 0; i < lines; ++i) {
        const bool differs = LineDiffers(a, b, i, turned);
        if (i < lo || i >= hi) ASSERT_FALSE(differs) << (turned ? "column " : "row ") << i << " outside the band";
        if (i >= first && i < last) changedInBand += differs;
    }
    EXPECT_GT(changedInBand, (last - first) / 2) << "the band was not drawn where it belongs";
}

INSTANTIATE_TEST_SUITE_P(Layouts, BlockStampTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
