#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include <sys/resource.h>

#include "CodecTestSupport.h"
#include "JpegCodec.h"
#include "PictureCodec.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

// A PNM (P5 or P6) written by djpeg, as BGRA rows.
bool ReadPnm(const std::string& pnm, CBitmap& bitmap)
{
    int w = 0, h = 0, max = 0, used = 0;
    char kind = 0;
    if (std::sscanf(pnm.c_str(), "P%c %d %d %d%n", &kind, &w, &h, &max, &used) != 4 || max != 255) return false;
    const int channels = kind == '6' ? 3 : 1;
    const size_t start = static_cast<size_t>(used) + 1;
    if (pnm.size() < start + static_cast<size_t>(w) * h * channels || FAILED(bitmap.Allocate(w, h, nullptr)))
        return false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(pnm.data()) + start + (size_t(y) * w + x) * channels;
            std::uint8_t* q = bitmap.Row(y) + x * 4;
            q[0] = p[channels == 3 ? 2 : 0], q[1] = p[channels == 3 ? 1 : 0], q[2] = p[0], q[3] = 255;
        }
    return true;
}

double MeanDifference(const CBitmap& a, const CBitmap& b)
{
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width() * 4; ++x) sum += std::abs(int(a.Row(y)[x]) - int(b.Row(y)[x]));
    return sum / (double(a.Width()) * a.Height() * 4);
}

// Sample pictures, and variants made from them with the reference tools.
struct JpegCase {
    const char* Name;
    const char* Sample;  // under pictures/
    const char* Make;    // shell command turning IN into OUT, or null
};

void PrintTo(const JpegCase& c, std::ostream* os) { *os << c.Name; }

fs::path Prepare(const JpegCase& c, const TempDir& dir)
{
    const fs::path in = SamplesDir() / "pictures" / c.Sample;
    if (!c.Make) return in;
    const fs::path out = dir / (std::string(c.Name) + ".jpg");
    std::string command = c.Make;
    command.replace(command.find("IN"), 2, Quote(in));
    command.replace(command.find("OUT"), 3, Quote(out));
    RunCommand(command);
    return out;
}

class JpegCodecTest : public ::testing::TestWithParam<JpegCase> {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        REQUIRE_TOOL("djpeg");
        REQUIRE_TOOL("jpegtran");
        path = Prepare(GetParam(), dir);
        bytes = ReadFile(path);
        ASSERT_FALSE(bytes.empty());
    }
    TempDir dir;
    fs::path path;
    std::string bytes;
};

TEST_P(JpegCodecTest, DecodesAsTheReferenceDecoder)
{
    CBitmap ours, reference;
    std::string error;
    ASSERT_EQ(DecodeJpeg(bytes, ours, &error), S_OK) << error;
    ASSERT_TRUE(ReadPnm(RunCommand("djpeg -pnm " + Quote(path)), reference));
    ASSERT_EQ(ours.Width(), reference.Width());
    ASSERT_EQ(ours.Height(), reference.Height());
    EXPECT_EQ(codectest::MaxDifference(ours, reference, 0, ours.Height()), 0);
}

TEST_P(JpegCodecTest, ReencodeKeepsTheCoding)
{
    CBitmap decoded, again;
    std::string encoded, error;
    ASSERT_EQ(DecodeJpeg(bytes, decoded, &error), S_OK) << error;
    ASSERT_EQ(EncodeJpegLike(bytes, decoded, encoded, &error), S_OK) << error;
    const auto before = codectest::ReadJpegLayout(bytes), after = codectest::ReadJpegLayout(encoded);
    ASSERT_TRUE(after.Valid);
    EXPECT_EQ(after.Width, before.Width);
    EXPECT_EQ(after.Height, before.Height);
    EXPECT_EQ(after.Components, before.Components);
    EXPECT_EQ(codectest::ComponentTables(after), codectest::ComponentTables(before));
    EXPECT_EQ(after.Progressive, before.Progressive);
    // One more pass through the picture's own tables loses little.
    ASSERT_EQ(DecodeJpeg(encoded, again, &error), S_OK) << error;
    EXPECT_LT(MeanDifference(decoded, again), 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, JpegCodecTest,
    ::testing::Values(JpegCase{"Nikon2x1", "gps/DSCN0010.jpg", nullptr},
                      JpegCase{"Canon444", "cameras/Canon_40D.jpg", nullptr},
                      JpegCase{"Panasonic1x2", "cameras/Panasonic_DMC-FZ30.jpg", nullptr},
                      JpegCase{"OddSize", "cameras/Fujifilm_FinePix_E500.jpg", nullptr},
                      JpegCase{"Progressive", "cameras/Olympus_C8080WZ.jpg", "jpegtran -progressive IN > OUT"},
                      JpegCase{"Grey", "gps/DSCN0027.jpg", "jpegtran -grayscale IN > OUT"},
                      JpegCase{"Restarts", "gps/DSCN0029.jpg", "jpegtran -restart 2 IN > OUT"}),
    [](const ::testing::TestParamInfo<JpegCase>& info) { return std::string(info.param.Name); });

TEST(JpegCodec, CmykStaysCmyk)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("convert");
    TempDir dir;
    const fs::path cmyk = dir / "cmyk.jpg";
    RunCommand("convert " + Quote(SamplesDir() / "pictures/cameras/Kodak_CX7530.jpg") + " -colorspace CMYK " +
               Quote(cmyk));
    const std::string bytes = ReadFile(cmyk);
    ASSERT_EQ(codectest::ReadJpegLayout(bytes).Components.size(), 4u);
    CBitmap decoded, again;
    std::string encoded;
    ASSERT_EQ(DecodeJpeg(bytes, decoded, nullptr), S_OK);
    ASSERT_EQ(EncodeJpegLike(bytes, decoded, encoded, nullptr), S_OK);
    EXPECT_EQ(codectest::ReadJpegLayout(encoded).Components.size(), 4u);
    ASSERT_EQ(DecodeJpeg(encoded, again, nullptr), S_OK);
    EXPECT_LT(MeanDifference(decoded, again), 3.0);
}

// Inputs that must fail with a message, never crash or allocate without bound.
struct DamageCase {
    const char* Name;
    std::function<std::string(const std::string&)> Damage;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.Name; }

class DamagedJpegTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedJpegTest, FailsWithAMessage)
{
    REQUIRE_SAMPLES();
    const std::string bytes = GetParam().Damage(ReadFile(SamplesDir() / "pictures/gps/DSCN0040.jpg"));
    CBitmap bitmap;
    std::string error, out = "untouched";
    EXPECT_TRUE(FAILED(DecodeJpeg(bytes, bitmap, &error)));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(bitmap.Empty());
    error.clear();
    EXPECT_TRUE(FAILED(ReencodePicture(bytes, PictureFormatJpeg, nullptr, out, &error)));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(out == "untouched");
}

std::string WithFrameSize(std::string jpeg, int width, int height)
{
    const size_t sof = codectest::FrameHeaderOffset(jpeg);
    jpeg[sof + 5] = char(height >> 8), jpeg[sof + 6] = char(height & 255);
    jpeg[sof + 7] = char(width >> 8), jpeg[sof + 8] = char(width & 255);
    return jpeg;
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedJpegTest,
    ::testing::Values(DamageCase{"Empty", [](const std::string&) { return std::string(); }},
                      DamageCase{"NotAJpeg", [](const std::string&) { return std::string("GIF89a....", 10); }},
                      DamageCase{"HeaderOnly", [](const std::string& j) { return j.substr(0, j.find("\xFF\xDA")); }},
                      DamageCase{"TruncatedHalf", [](const std::string& j) { return j.substr(0, j.size() / 2); }},
                      DamageCase{"CorruptScan",
                                 [](const std::string& j) {
                                     std::string d = j;
                                     for (size_t i = d.size() / 2; i < d.size() / 2 + 64; ++i) d[i] = '\xFF';
                                     return d;
                                 }},
                      DamageCase{"HugeFrame", [](const std::string& j) { return WithFrameSize(j, 60000, 60000); }},
                      DamageCase{"ZeroWidth", [](const std::string& j) { return WithFrameSize(j, 0, 480); }}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.Name); });

TEST(JpegCodec, DamagedSampleFailsStrictlyButThumbnailsTolerate)
{
    REQUIRE_SAMPLES();
    const std::string bytes = ReadFile(SamplesDir() / "pictures/broken/corrupted-head.jpg");
    CBitmap bitmap;
    std::string error;
    EXPECT_TRUE(FAILED(DecodeJpeg(bytes, bitmap, &error)));
    EXPECT_NE(error.find("Corrupt JPEG data"), std::string::npos) << error;
    JpegDecodeOptions tolerant;
    tolerant.Strict = false;
    tolerant.ScaleEighths = 1;
    EXPECT_EQ(DecodeJpeg(bytes, bitmap, &error, tolerant), S_OK);
}

TEST(JpegCodec, CanvasOfAnotherSizeIsRefused)
{
    REQUIRE_SAMPLES();
    const std::string bytes = ReadFile(SamplesDir() / "pictures/gps/DSCN0042.jpg");
    CBitmap small;
    ASSERT_EQ(small.Allocate(64, 48, nullptr), S_OK);
    std::string out, error;
    EXPECT_EQ(EncodeJpegLike(bytes, small, out, &error), E_INVALIDARG);
    EXPECT_TRUE(out.empty());
}

TEST(JpegCodec, ColourProfileTravelsWithThePixels)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    const fs::path sample = SamplesDir() / "pictures/cameras/Canon_40D.jpg";
    const std::string profile = RunCommand("exiftool -s -s -s -ProfileDescription " + Quote(sample));
    ASSERT_FALSE(profile.empty());
    TempDir dir;
    const fs::path out = dir / "out.jpg";
    std::string encoded;
    ASSERT_EQ(ReencodePicture(ReadFile(sample), PictureFormatJpeg, nullptr, encoded, nullptr), S_OK);
    WriteFile(out, encoded);
    EXPECT_EQ(RunCommand("exiftool -s -s -s -ProfileDescription " + Quote(out)), profile);
}

}  // namespace

namespace {

// The first DQT segment of `jpeg`, table 0 (8-bit), with entry `index` (zigzag order) set to `value`.
std::string WithQuantiser(std::string jpeg, int index, int value)
{
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
        const size_t length = (static_cast<unsigned char>(jpeg[pos + 2]) << 8) | static_cast<unsigned char>(jpeg[pos + 3]);
        if (static_cast<unsigned char>(jpeg[pos + 1]) == 0xDB) {
            if (jpeg[pos + 4] != 0) return std::string();  // not an 8-bit table 0
            if (value < 256) {
                jpeg[pos + 5 + index] = static_cast<char>(value);
                return jpeg;
            }
            // A 16-bit table 0 in place of the 8-bit one, in a segment of its own.
            std::string table16 = {'\xFF', '\xDB', 0, char(2 + 1 + 128), 0x10};
            for (int i = 0; i < 64; ++i) {
                const int q = i == index ? value : static_cast<unsigned char>(jpeg[pos + 5 + i]);
                table16 += char(q >> 8), table16 += char(q & 255);
            }
            std::string rest = jpeg.substr(pos + 5 + 64, pos + 2 + length - (pos + 5 + 64));
            std::string others = rest.empty() ? std::string() : std::string{'\xFF', '\xDB', 0, char(2 + rest.size())} + rest;
            return jpeg.substr(0, pos) + table16 + others + jpeg.substr(pos + 2 + length);
        }
        pos += 2 + length;
    }
    return std::string();
}

struct QuantiserCase {
    const char* Name;
    int Index, Value;
};

void PrintTo(const QuantiserCase& c, std::ostream* os) { *os << c.Name; }

class UnencodableQuantiserTest : public ::testing::TestWithParam<QuantiserCase> {};

// Tables a decoder takes but the encoder would divide by zero with: the
// re-encode is refused with a reason, and nothing brings the process down.
TEST_P(UnencodableQuantiserTest, ReencodeIsRefusedWithAReason)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("djpeg");
    TempDir dir;
    const std::string bytes =
        WithQuantiser(ReadFile(SamplesDir() / "pictures/gps/DSCN0021.jpg"), GetParam().Index, GetParam().Value);
    ASSERT_FALSE(bytes.empty());
    WriteFile(dir / "q.jpg", bytes);
    int status = -1;
    RunCommand("djpeg " + Quote(dir / "q.jpg") + " > /dev/null 2>&1", &status);
    ASSERT_EQ(status, 0) << "the reference decoder must read it";
    CBitmap decoded;
    std::string error, out = "untouched";
    ASSERT_EQ(DecodeJpeg(bytes, decoded, &error), S_OK) << error;
    EXPECT_EQ(ReencodePicture(bytes, PictureFormatJpeg, nullptr, out, &error), E_FAIL);
    EXPECT_EQ(error, "cannot be re-encoded: quantisation table 0 holds the value " + std::to_string(GetParam().Value) +
                         ", which no encoder can divide by");
    EXPECT_EQ(out, "untouched");
}

INSTANTIATE_TEST_SUITE_P(Tables, UnencodableQuantiserTest,
                         ::testing::Values(QuantiserCase{"ZeroDC", 0, 0}, QuantiserCase{"ZeroAC", 10, 0},
                                           QuantiserCase{"WrapsToZero", 5, 8192},
                                           QuantiserCase{"WrapsHigh", 63, 65535}),
                         [](const ::testing::TestParamInfo<QuantiserCase>& info) { return std::string(info.param.Name); });

TEST(JpegCodec, LargestEncodableQuantiserIsKept)
{
    REQUIRE_SAMPLES();
    const std::string bytes = WithQuantiser(ReadFile(SamplesDir() / "pictures/gps/DSCN0021.jpg"), 63, 8191);
    std::string out, error;
    ASSERT_EQ(ReencodePicture(bytes, PictureFormatJpeg, nullptr, out, &error), S_OK) << error;
    EXPECT_EQ(codectest::ComponentTables(codectest::ReadJpegLayout(out))[0][63], 8191);
}

}  // namespace
// A few hundred bytes that claim a 16000 x 16000 frame: the strict decode
// fails at the first missing data instead of filling a gigabyte canvas with
// grey first (which took seconds and 1.2 GB of memory).
TEST(JpegCodec, SmallFileClaimingAHugeFrameFailsBeforeFillingIt)
{
    REQUIRE_SAMPLES();
    const std::string bytes =
        WithFrameSize(ReadFile(SamplesDir() / "pictures/cameras/Fujifilm_FinePix_E500.jpg"), 16000, 16000);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    CBitmap bitmap;
    std::string error;
    EXPECT_EQ(DecodeJpeg(bytes, bitmap, &error), E_FAIL);
    EXPECT_EQ(error.rfind("damaged JPEG data: ", 0), 0u) << error;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256L * 1024) << "kilobytes touched";
}
