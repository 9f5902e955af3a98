#include <gtest/gtest.h>

#include "CodecTestSupport.h"
#include "PictureCodec.h"
#include "TestSupport.h"
#include "TiffCodec.h"

namespace {

using namespace testsupport;

// The drawing of the tests: an opaque red rectangle in the upper left.
constexpr int kRectRight = 40, kRectBottom = 30;

HRESULT DrawRect(CBitmap& canvas)
{
    for (int y = 10; y < kRectBottom; ++y)
        for (int x = 10; x < kRectRight; ++x) {
            std::uint8_t* p = canvas.Row(y) + x * 4;
            p[0] = 0, p[1] = 0, p[2] = 255, p[3] = 255;
        }
    return S_OK;
}

// Stored samples of page 0, row by row, as the reference tool normalises
// them (uncompressed, interleaved): independent of our decoder.
std::vector<std::string> StoredRows(const fs::path& tiff, const TempDir& dir)
{
    const fs::path uncompressed = dir / "uncompressed.tif", plain = dir / "plain.tif";
    fs::remove(uncompressed);
    fs::remove(plain);
    // Two steps: the tool interleaves separate planes only when it can read them row by row.
    RunCommand("tiffcp -c none " + Quote(tiff) + ",0 " + Quote(uncompressed));
    RunCommand("tiffcp -s -p contig -r 1 " + Quote(uncompressed) + " " + Quote(plain));
    std::vector<std::string> rows;
    TIFF* t = TIFFOpen(plain.c_str(), "r");
    if (!t) return rows;
    std::uint32_t height = 0;
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height);
    std::string row(static_cast<size_t>(TIFFScanlineSize(t)), '\0');
    for (std::uint32_t y = 0; y < height; ++y)
        if (TIFFReadScanline(t, row.data(), y, 0) == 1) rows.push_back(row);
    TIFFClose(t);
    return rows;
}

struct TiffCase {
    const char* Name;
    const char* Make;  // shell command turning IN (Picoawards or Rudless) into OUT
    bool Alpha;        // start from the sample with associated alpha
};

void PrintTo(const TiffCase& c, std::ostream* os) { *os << c.Name; }

class TiffCodecTest : public ::testing::TestWithParam<TiffCase> {};

TEST_P(TiffCodecTest, OnlyTheDrawnPixelsChange)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("tiffcp");
    REQUIRE_TOOL("convert");
    TempDir dir;
    const fs::path in = SamplesDir() / "pictures/tiff" / (GetParam().Alpha ? "Rudless.tiff" : "Picoawards.tiff");
    const fs::path source = dir / "source.tif", out = dir / "out.tif";
    std::string command = GetParam().Make;
    command.replace(command.find("IN"), 2, Quote(in));
    command.replace(command.find("OUT"), 3, Quote(source));
    RunCommand(command);
    const std::string bytes = ReadFile(source);
    ASSERT_FALSE(bytes.empty());

    std::string encoded, error;
    ASSERT_EQ(ReencodePicture(bytes, PictureFormatTiff, DrawRect, encoded, &error), S_OK) << error;
    WriteFile(out, encoded);
    const auto before = codectest::ReadTiffPages(source.string()), after = codectest::ReadTiffPages(out.string());
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after[0].Compression, before[0].Compression);
    EXPECT_EQ(after[0].Bits, before[0].Bits);
    EXPECT_EQ(after[0].Samples, before[0].Samples);
    EXPECT_EQ(after[0].Photometric, before[0].Photometric);
    EXPECT_EQ(after[0].Planar, before[0].Planar);
    EXPECT_EQ(after[0].Extra, before[0].Extra);

    const auto oldRows = StoredRows(source, dir), newRows = StoredRows(out, dir);
    ASSERT_EQ(oldRows.size(), newRows.size());
    ASSERT_GT(oldRows.size(), size_t{kRectBottom});
    for (size_t y = kRectBottom; y < oldRows.size(); ++y) ASSERT_EQ(newRows[y], oldRows[y]) << "row " << y;
    EXPECT_NE(newRows[20], oldRows[20]);
    CBitmap drawn;
    ASSERT_EQ(DecodeTiff(encoded, drawn, &error), S_OK) << error;
    const std::uint8_t* p = drawn.Row(20) + 20 * 4;
    if (before[0].Photometric == PHOTOMETRIC_RGB) {
        EXPECT_GT(p[2], 250);
        EXPECT_LT(p[1], 5);
    } else if (before[0].Photometric == PHOTOMETRIC_MINISBLACK) {
        EXPECT_NEAR(p[1], 76, 1);  // the grey of pure red
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TiffCodecTest,
    ::testing::Values(TiffCase{"RgbLzw", "cp IN OUT", false}, TiffCase{"AssociatedAlpha", "cp IN OUT", true},
                      TiffCase{"Tiled", "tiffcp -t -w 64 -l 64 IN OUT", false},
                      TiffCase{"Planar", "tiffcp -p separate IN OUT", false},
                      TiffCase{"DeflatePredictor", "tiffcp -c zip:2 IN OUT", false},
                      TiffCase{"Rgb16", "convert IN -type TrueColor -depth 16 -compress None OUT", false},
                      TiffCase{"Grey16", "convert IN -colorspace Gray -depth 16 -compress Zip OUT", false},
                      TiffCase{"Palette", "convert IN -alpha off -type Palette -compress LZW OUT", true},
                      TiffCase{"UnassociatedAlpha16",
                               "convert IN -depth 16 -define tiff:alpha=unassociated -compress LZW OUT", true},
                      TiffCase{"Cmyk", "convert IN -colorspace CMYK -compress LZW OUT", false},
                      TiffCase{"BilevelFax", "convert IN -monochrome -compress Group4 OUT", false}),
    [](const ::testing::TestParamInfo<TiffCase>& info) { return std::string(info.param.Name); });

TEST(TiffCodec, JpegCompressedPageStaysJpeg)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("tiffcp");
    TempDir dir;
    const fs::path source = dir / "jpeg.tif";
    RunCommand("tiffcp -c jpeg -r 16 " + Quote(SamplesDir() / "pictures/tiff/Picoawards.tiff") + " " + Quote(source));
    std::string encoded, error;
    ASSERT_EQ(ReencodePicture(ReadFile(source), PictureFormatTiff, DrawRect, encoded, &error), S_OK) << error;
    WriteFile(dir / "out.tif", encoded);
    const auto after = codectest::ReadTiffPages((dir / "out.tif").string());
    ASSERT_EQ(codectest::ReadTiffPages(source.string())[0].Photometric, PHOTOMETRIC_YCBCR);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].Compression, COMPRESSION_JPEG);
    EXPECT_EQ(after[0].Photometric, PHOTOMETRIC_YCBCR);
}

struct BadTiff {
    const char* Name;
    const char* Make;  // shell command turning IN into OUT
    HRESULT Expected;
};

void PrintTo(const BadTiff& c, std::ostream* os) { *os << c.Name; }

class BadTiffTest : public ::testing::TestWithParam<BadTiff> {};

TEST_P(BadTiffTest, RefusedWithAMessage)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("tiffset");
    TempDir dir;
    const fs::path source = dir / "bad.tif";
    std::string command = GetParam().Make;
    command.replace(command.find("IN"), 2, Quote(SamplesDir() / "pictures/tiff/Jobagent.tiff"));
    while (command.find("OUT") != std::string::npos) command.replace(command.find("OUT"), 3, Quote(source));
    RunCommand(command);
    CBitmap bitmap;
    std::string error, out = "untouched";
    EXPECT_EQ(DecodeTiff(ReadFile(source), bitmap, &error), GetParam().Expected) << error;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(FAILED(ReencodePicture(ReadFile(source), PictureFormatTiff, DrawRect, out, nullptr)));
    EXPECT_TRUE(out == "untouched");
}

INSTANTIATE_TEST_SUITE_P(
    Damage, BadTiffTest,
    ::testing::Values(BadTiff{"Truncated", "head -c 4000 IN > OUT", E_FAIL},
                      BadTiff{"NotATiff", "echo 'II*' > OUT; true IN", E_FAIL},
                      BadTiff{"HugeWidth", "cp IN OUT && chmod u+w OUT && tiffset -s 256 100000 OUT", E_INVALIDARG},
                      BadTiff{"FloatSamples",
                              "convert IN -define quantum:format=floating-point -depth 32 OUT", E_NOTIMPL}),
    [](const ::testing::TestParamInfo<BadTiff>& info) { return std::string(info.param.Name); });

}  // namespace
