// Pictures far larger than memory should hold: a stamped save refuses them
// from their header, and thumbnails reduce them without a full-size canvas.
// Memory is checked by running the work in a child process whose address
// space may grow only by a fixed headroom.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

#include <tiffio.h>

#include "CodecTestSupport.h"
#include "PictureCodec.h"
#include "TestSupport.h"
#include "Thumbnailer.h"
#include "TiffCodec.h"

namespace {

using namespace testsupport;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSpaceIsOurs = false;  // the sanitizer reserves terabytes of shadow memory
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSpaceIsOurs = false;
#else
constexpr bool kAddressSpaceIsOurs = true;
#endif
#else
constexpr bool kAddressSpaceIsOurs = true;
#endif

std::uint64_t VirtualSize()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
    return 0;
}

// Runs `body` in a child whose address space may grow by `headroom` bytes;
// the child's exit status, 0 when `body` answered true.
int WithinHeadroom(std::uint64_t headroom, const std::function<bool()>& body)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (kAddressSpaceIsOurs) {
            const rlimit limit{VirtualSize() + headroom, VirtualSize() + headroom};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        }
        const bool ok = body();
        std::fflush(nullptr);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

constexpr std::uint64_t kHeadroom = std::uint64_t{48} << 20;

// A grey deflate TIFF whose left half is dark and right half light, with a
// lighter band over the top quarter. `rowsPerStrip` 0 makes 256 x 256 tiles;
// `rowsWritten` less than the height leaves the rest of the strips unwritten.
void WriteGreyTiff(const fs::path& path, std::uint32_t width, std::uint32_t height, std::uint32_t rowsPerStrip,
                   std::uint32_t rowsWritten)
{
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ZIPQUALITY, 1);
    auto value = [&](std::uint32_t x, std::uint32_t y) { return std::uint8_t((x < width / 2 ? 40 : 200) + (y < height / 4 ? 30 : 0)); };
    if (rowsPerStrip == 0) {
        const std::uint32_t side = 256;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, side);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, side);
        std::vector<std::uint8_t> tile(side * side);
        for (std::uint32_t y = 0; y < height; y += side)
            for (std::uint32_t x = 0; x < width; x += side) {
                for (std::uint32_t r = 0; r < side; ++r)
                    for (std::uint32_t c = 0; c < side; ++c) tile[r * side + c] = value(x + c, y + r);
                TIFFWriteTile(tiff, tile.data(), x, y, 0, 0);
            }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
        std::vector<std::uint8_t> row(width);
        for (std::uint32_t y = 0; y < rowsWritten; ++y) {
            for (std::uint32_t x = 0; x < width; ++x) row[x] = value(x, y);
            ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), y, 0), 1);
        }
    }
    TIFFClose(tiff);
}

// A progressive JPEG made from a sample, whose frame header then claims `side` x `side`.
std::string ProgressiveHeader(const TempDir& dir, int side)
{
    RunCommand("jpegtran -progressive " + Quote(SamplesDir() / "pictures/gps/DSCN0010.jpg") + " > " +
               Quote(dir / "p.jpg"));
    std::string jpeg = ReadFile(dir / "p.jpg");
    const size_t sof = codectest::FrameHeaderOffset(jpeg);
    if (sof == std::string::npos || static_cast<unsigned char>(jpeg[sof + 1]) != 0xC2) return std::string();
    jpeg[sof + 5] = char(side >> 8), jpeg[sof + 6] = char(side & 255);
    jpeg[sof + 7] = char(side >> 8), jpeg[sof + 8] = char(side & 255);
    return jpeg;
}

TEST(StampBudget, MessageStatesTheSize)
{
    const struct {
        std::uint32_t Width, Height;
        int Limit;
        const char* Message;
    } cases[] = {
        {16000, 16000, 250, "16000 x 16000 pixels (256 megapixels) is over the stamping limit of 250 megapixels"},
        {16383, 16383, 250, "16383 x 16383 pixels (268 megapixels) is over the stamping limit of 250 megapixels"},
        {15812, 15812, 250, "15812 x 15812 pixels (250.02 megapixels) is over the stamping limit of 250 megapixels"},
        {4608, 1976, 9, "4608 x 1976 pixels (9.1 megapixels) is over the stamping limit of 9 megapixels"},
        {100000, 1, 0, ""},   // a limit below 1 is the default one
        {250000001, 1, 0, "250000001 x 1 pixels (250.000001 megapixels) is over the stamping limit of 250 megapixels"},
        {25000, 10000, 250, ""},
        {15811, 15811, 250, ""},
    };
    for (const auto& c : cases) {
        std::string error;
        const HRESULT hr = CheckStampBudget(c.Width, c.Height, c.Limit, &error);
        EXPECT_EQ(hr, *c.Message ? E_INVALIDARG : S_OK) << c.Width << " x " << c.Height;
        EXPECT_EQ(error, c.Message);
    }
}

struct HugeCase {
    const char* Name;
    PictureFormat Format;
    const char* Message;
};

void PrintTo(const HugeCase& c, std::ostream* os) { *os << c.Name; }

class HugePictureTest : public ::testing::TestWithParam<HugeCase> {};

// The refusal comes from the header alone: the pixels are never decoded,
// so the little memory the child may take is enough.
TEST_P(HugePictureTest, StampingRefusesItBeforeDecoding)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("jpegtran");
    TempDir dir;
    std::string bytes;
    if (GetParam().Format == PictureFormatTiff) {
        WriteGreyTiff(dir / "huge.tif", 16000, 16000, 16, 16);
        bytes = ReadFile(dir / "huge.tif");
    } else {
        bytes = ProgressiveHeader(dir, 16383);
    }
    ASSERT_FALSE(bytes.empty());
    const int status = WithinHeadroom(kHeadroom, [&] {
        std::string error, out;
        const HRESULT hr = ReencodePicture(bytes, GetParam().Format, nullptr, out, &error);
        if (hr == E_INVALIDARG && error == GetParam().Message && out.empty()) return true;
        std::fprintf(stderr, "status %x: %s\n", static_cast<unsigned>(hr), error.c_str());
        return false;
    });
    EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, HugePictureTest,
    ::testing::Values(
        HugeCase{"DeflateTiff", PictureFormatTiff,
                 "16000 x 16000 pixels (256 megapixels) is over the stamping limit of 250 megapixels"},
        HugeCase{"ProgressiveJpeg", PictureFormatJpeg,
                 "16383 x 16383 pixels (268 megapixels) is over the stamping limit of 250 megapixels"}),
    [](const ::testing::TestParamInfo<HugeCase>& info) { return std::string(info.param.Name); });

struct LayoutCase {
    const char* Name;
    std::uint32_t RowsPerStrip;  // 0: tiles
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.Name; }

class LargeTiffThumbnailTest : public ::testing::TestWithParam<LayoutCase> {};

// A 4200 x 4200 page needs 70 MB as a canvas; its thumbnail is made within
// 48 MB of headroom (one strip of it is too large to hold and is read row by
// row), and is exactly what reducing the whole page gives.
TEST_P(LargeTiffThumbnailTest, ReducedWithoutAFullSizeCanvas)
{
    TempDir dir;
    const fs::path path = dir / "large.tif";
    const std::uint32_t side = 4200;
    WriteGreyTiff(path, side, side, GetParam().RowsPerStrip, side);
    const int status = WithinHeadroom(kHeadroom, [&] {
        CBitmap thumb;
        std::string error;
        if (FAILED(MakeThumbnail(path.string(), thumb, &error))) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return false;
        }
        return thumb.Width() == 96 && thumb.Height() == 96;
    });
    ASSERT_EQ(status, 0);

    CBitmap streamed, whole, reduced;
    std::string error;
    ASSERT_EQ(MakeThumbnail(path.string(), streamed, &error), S_OK) << error;
    ASSERT_EQ(DecodeTiff(ReadFile(path), whole, &error), S_OK) << error;
    ASSERT_EQ(FitBitmap(whole, ThumbnailSide, reduced, &error), S_OK);
    EXPECT_EQ(codectest::MaxDifference(streamed, reduced, 0, 96), 0);
    EXPECT_EQ(streamed.Row(0)[0], 70);    // dark half, light band
    EXPECT_EQ(streamed.Row(95)[95 * 4], 200);  // light half below the band
}

INSTANTIATE_TEST_SUITE_P(Layouts, LargeTiffThumbnailTest,
                         ::testing::Values(LayoutCase{"Strips", 64}, LayoutCase{"OneStrip", 4200},
                                           LayoutCase{"Tiles", 0}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.Name); });

// A progressive picture keeps every coefficient while it is decoded, whatever
// the scale: over the decoder's bound the thumbnail fails at once instead.
TEST(LargeJpegThumbnail, ProgressiveHeaderFailsWithinTheBound)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("jpegtran");
    TempDir dir;
    const std::string bytes = ProgressiveHeader(dir, 16383);
    ASSERT_FALSE(bytes.empty());
    WriteFile(dir / "huge.jpg", bytes);
    const int status = WithinHeadroom(kHeadroom, [&] {
        CBitmap thumb;
        std::string error;
        const HRESULT hr = MakeThumbnail((dir / "huge.jpg").string(), thumb, &error);
        if (FAILED(hr) && error.find("more memory than the decoder may use") != std::string::npos) return true;
        std::fprintf(stderr, "status %x: %s\n", static_cast<unsigned>(hr), error.c_str());
        return false;
    });
    EXPECT_EQ(status, 0);
}

}  // namespace
