// A stamped JPEG is re-coded only in the blocks its band reaches: an
// independent decoder gives the very same rows (or, for a picture stored on
// its side, columns) everywhere else. Pictures of every coded layout the test
// data holds, and those the standard tools make from them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include <csetjmp>
#include <utility>

#include "CodecTestSupport.h"
#include "JpegLibrary.h"
#include "GeoTagFile.h"
#include "JpegBlockRecode.h"
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
    // The coded data before the band is copied: a single sequential scan
    // with complete Huffman tables and the band low in the stored picture.
    bool Copies;
};

void PrintTo(const Layout& l, std::ostream* os) { *os << l.Name; }

const Layout kLayouts[] = {
    {"Baseline422Bottom", "gps/DSCN0010.jpg", "", 1, false, true},
    {"Baseline422Top", "gps/DSCN0012.jpg", "", 1, true, false},
    {"Baseline420", "cameras/BlueSquare.jpg", "", 1, false, false},
    {"Baseline420Bottom", "gps/DSCN0012.jpg", "djpeg %1 | cjpeg -quality 85 -sample 2x2 > %2", 1, false, true},
    {"Baseline444", "cameras/Canon_40D.jpg", "", 1, true, false},
    {"Baseline440", "cameras/Panasonic_DMC-FZ30.jpg", "", 1, false, false},
    {"OwnCompleteTables", "gps/DSCN0010.jpg", "own-codes", 1, false, true},
    {"OptimisedTablesBottom", "gps/DSCN0010.jpg", "jpegtran -copy all -optimize %1 > %2", 1, false, false},
    {"Progressive422", "broken/32-lens_data.jpeg", "", 1, false, false},
    {"Progressive420", "cameras/BlueSquare.jpg", "jpegtran -copy all -progressive %1 > %2", 1, true, false},
    {"RestartEveryRow", "gps/DSCN0021.jpg", "jpegtran -copy all -restart 1 %1 > %2", 1, false, true},
    {"RestartEvery7Mcus", "gps/DSCN0021.jpg", "jpegtran -copy all -restart 7B %1 > %2", 1, false, true},
    {"RestartProgressive", "gps/DSCN0021.jpg", "jpegtran -copy all -restart 2B -progressive %1 > %2", 1, true, false},
    {"Greyscale", "gps/DSCN0025.jpg", "jpegtran -copy all -grayscale %1 > %2", 1, false, true},
    {"Cmyk", "gps/DSCN0027.jpg", "convert %1 -colorspace CMYK %2", 1, false, false},
    {"UpsideDown", "gps/DSCN0029.jpg", "", 3, false, false},
    {"UpsideDownTop", "gps/DSCN0029.jpg", "", 3, true, true},
    {"TurnedRightBottom", "gps/DSCN0038.jpg", "", 6, false, false},
    {"TurnedLeftBottom", "gps/DSCN0040.jpg", "", 8, false, false},
    {"TurnedRightTop420", "cameras/BlueSquare.jpg", "", 6, true, false},
    {"Transposed", "gps/DSCN0042.jpg", "", 5, true, false},
};

bool ReadBlocks(jpegio::JpegDecompressor& d, jvirt_barray_ptr*& arrays)
{
    if (setjmp(d.Errors.Jump)) return false;
    arrays = jpeg_read_coefficients(&d.Info);
    return arrays != nullptr;
}

// The picture's blocks coded with complete Huffman tables of its own (two
// codes of the luminance AC table exchanged): coded data copied from it can
// then be told from data coded again with the standard tables.
bool CodeWithOwnTables(const std::string& in, std::string& out)
{
    jpegio::JpegDecompressor d;
    jvirt_barray_ptr* arrays = nullptr;
    if (!jpegio::OpenDecompressor(d, reinterpret_cast<const unsigned char*>(in.data()), in.size()) ||
        !ReadBlocks(d, arrays))
        return false;
    jpegio::JpegCompressor c;
    if (setjmp(c.Errors.Jump)) return false;
    jpeg_create_compress(&c.Info);
    c.Created = true;
    out.assign(in.size() * 2, '\0');
    jpegio::UseStringDestination(c, out);
    jpeg_copy_critical_parameters(&d.Info, &c.Info);
    JHUFF_TBL* ac = c.Info.ac_huff_tbl_ptrs[0];
    std::swap(ac->huffval[0], ac->huffval[1]);
    jpeg_write_coefficients(&c.Info, arrays);
    jpeg_finish_compress(&c.Info);
    return true;
}

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

// The coded bytes of the first scan (after its header up to the end).
std::string_view ScanData(const std::string& jpeg)
{
    const size_t frame = codectest::FrameHeaderOffset(jpeg);
    const size_t sos = jpeg.find("\xFF\xDA", frame == std::string::npos ? 0 : frame);
    if (sos == std::string::npos || sos + 4 > jpeg.size()) return {};
    const size_t length = static_cast<unsigned char>(jpeg[sos + 2]) << 8 | static_cast<unsigned char>(jpeg[sos + 3]);
    return std::string_view(jpeg).substr(std::min(jpeg.size(), sos + 2 + length));
}

size_t CommonPrefix(std::string_view a, std::string_view b)
{
    size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
    return n;
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
    if (std::string(l.Make) == "own-codes") {
        std::string coded;
        ASSERT_TRUE(CodeWithOwnTables(ReadFile(sample), coded));
        WriteFile(source, coded);
        RunCommand("exiftool -q -overwrite_original -TagsFromFile " + Quote(sample) + " -all:all " + Quote(source));
    } else if (*l.Make) {
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
    // Copied coded data: at least everything above the band's MCU rows but
    // two (the one re-coded for context and, with restart markers, the
    // rows back to the interval's start).
    const size_t copied = CommonPrefix(ScanData(before), ScanData(after));
    if (l.Copies) {
        EXPECT_GT(copied, ScanData(before).size() * 3 / 4) << "the coded data before the band was not copied";
    }

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
        if (i < lo || i >= hi) {
            ASSERT_FALSE(differs) << (turned ? "column " : "row ") << i << " outside the band";
        }
        if (i >= first && i < last) changedInBand += differs;
    }
    EXPECT_GT(changedInBand, (last - first) / 2) << "the band was not drawn where it belongs";
}

// Damage before the band, which copying would carry over unseen, and damage
// in the part that is decoded: both refuse the save and write nothing.
TEST(BlockStamp, DamagedScanIsRefusedWhereverTheDamageIs)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("jpegtran");
    const fs::path sample = SamplesDir() / "pictures/gps/DSCN0010.jpg";
    // Standard tables (the head is copied) and tables of its own (the head is coded again).
    for (const std::string& whole : {ReadFile(sample), RunCommand("jpegtran -copy all -optimize " + Quote(sample))}) {
        const size_t scan = whole.size() - ScanData(whole).size();
        std::string markerEarly = whole;
        markerEarly.replace(scan + ScanData(whole).size() * 3 / 10, 2, "\xFF\xD9");
        const std::string cutLate = whole.substr(0, scan + ScanData(whole).size() * 97 / 100);
        for (const auto& [name, bytes] :
             {std::pair{"marker before the band", markerEarly}, std::pair{"cut in the band", cutLate}}) {
            TempDir dir;
            const fs::path source = dir / "source.jpg", target = dir / "stamped.jpg";
            WriteFile(source, bytes);
            CMemorySettingsStore settings;
            WriteDefaultSettings(settings);
            settings.SetString("GPSStampngLocation", L"bot");
            auto gps = CImageGPSStampingOperation::Create(settings, nullptr);
            std::string error;
            auto record = ReadGeoTag(source.string(), nullptr, &error);
            ASSERT_NE(record, nullptr) << name << ": " << error;
            EXPECT_TRUE(
                FAILED(SaveStampedPicture(source.string(), target.string(), *record, {{gps.get(), L""}}, &error)))
                << name;
            EXPECT_NE(error.find("damaged"), std::string::npos) << name << ": " << error;
            EXPECT_FALSE(fs::exists(target)) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, BlockStampTest, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace

// An arithmetic-coded picture whose blocks hold values no Huffman-coded
// picture of 8-bit samples can (as decoding damaged data may give) is
// refused, not written as a file whose data no decoder reads.
TEST(BlockStamp, ValuesBeyondHuffmanCodingAreRefused)
{
    REQUIRE_SAMPLES();
    // AC values of more than ten bits; DC values whose differences need more than eleven.
    for (const char* name : {"arithmetic-values-beyond-huffman-coding.jpg", "arithmetic-dc-differences-beyond-huffman-coding.jpg"}) {
        const std::string bytes = ReadFile(SamplesDir() / "fuzz/jpeg_codec" / name);
        std::string out, error;
        const HRESULT hr = RecodeJpegBlocks(
            bytes, {{0, 4080, 24, 4096}}, [](CBitmap&, int, int) { return S_OK; }, out, &error);
        EXPECT_TRUE(FAILED(hr)) << name;
        EXPECT_NE(error.find("damaged"), std::string::npos) << name << ": " << error;
        EXPECT_TRUE(out.empty()) << name;
    }
}
