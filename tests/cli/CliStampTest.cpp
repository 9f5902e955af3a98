// corvane-cli stamp over batches with pictures it cannot stamp: each is
// named with its reason, the others are saved, and the exit status says so.
#include <gtest/gtest.h>

#include <tiffio.h>

#include "TestSupport.h"

namespace {

using namespace testsupport;

struct CliRun {
    int Status = -1;
    std::string Out, Err;
};

// Runs the command line with settings of its own, in `dir`.
CliRun Stamp(const TempDir& dir, const std::string& args)
{
    CliRun r;
    const std::string env = "HOME=" + Quote(dir / "home") + " XDG_CONFIG_HOME=" + Quote(dir / "config") + " ";
    r.Out = RunCommand(env + CORVANE_CLI + std::string(" stamp ") + args + " 2>" + Quote(dir / "err.txt"), &r.Status);
    r.Err = ReadFile(dir / "err.txt");
    return r;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The JPEG with entry `index` of its first quantisation table set to zero,
// which decoders take (that frequency is dropped) and encoders cannot divide by.
std::string WithZeroQuantiser(std::string jpeg, int index)
{
    for (size_t pos = 2; pos + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[pos]) == 0xFF;) {
        if (static_cast<unsigned char>(jpeg[pos + 1]) == 0xDB) {
            jpeg[pos + 5 + index] = 0;
            return jpeg;
        }
        pos += 2 + ((static_cast<unsigned char>(jpeg[pos + 2]) << 8) | static_cast<unsigned char>(jpeg[pos + 3]));
    }
    return std::string();
}

TEST(CliStampRefusal, PictureThatCannotBeReencodedIsRefusedAndTheBatchGoesOn)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path first = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg", "a.jpg");
    const std::string damaged = WithZeroQuantiser(ReadFile(SamplesDir() / "pictures/gps/DSCN0012.jpg"), 10);
    ASSERT_FALSE(damaged.empty());
    WriteFile(dir / "b.jpg", damaged);
    const fs::path last = dir.Copy(SamplesDir() / "pictures/gps/DSCN0021.jpg", "c.jpg");
    const CliRun r = Stamp(dir, "gps --out " + Quote(dir / "out") + " " + Quote(first) + " " + Quote(dir / "b.jpg") +
                                 " " + Quote(last));
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_TRUE(Has(r.Err, (dir / "b.jpg").string() +
                               ": cannot be re-encoded: quantisation table 0 holds the value 0, which no encoder can "
                               "divide by\n"))
        << r.Err;
    EXPECT_TRUE(Has(r.Out, (dir / "out/a.jpg").string() + ": saved")) << r.Out;
    EXPECT_TRUE(Has(r.Out, (dir / "out/c.jpg").string() + ": saved")) << r.Out;
    EXPECT_FALSE(fs::exists(dir / "out/b.jpg"));
    EXPECT_EQ(ReadFile(dir / "b.jpg"), damaged);
}

TEST(CliStampRefusal, BandThatWouldStateNothingIsNotDrawn)
{
    REQUIRE_SAMPLES();
    // The picture has neither coordinates nor any part of an address; no
    // address source answers.
    const struct {
        const char* Arguments;
        const char* Refusal;
    } cases[] = {
        {"gps", "GPS stamp left out: the picture has no GPS coordinates"},
        {"address --server http://127.0.0.1:9", "Address stamp left out: the picture has no address"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const fs::path picture = dir.Copy(SamplesDir() / "pictures/cameras/Canon_40D.jpg");
        const std::string before = ReadFile(picture);
        const CliRun r = Stamp(dir, std::string(c.Arguments) + " " + Quote(picture));
        EXPECT_EQ(r.Status, 1) << c.Arguments;
        EXPECT_TRUE(Has(r.Err, picture.string() + ": " + c.Refusal + "\n")) << r.Err;
        EXPECT_FALSE(Has(r.Out, "saved")) << r.Out;
        EXPECT_EQ(ReadFile(picture), before);
        EXPECT_FALSE(fs::exists(dir / "Modified")) << c.Arguments;
    }
}

TEST(CliStampRefusal, PictureOverThePixelBudgetIsRefusedWithItsSize)
{
    TempDir dir;
    // The header of a 16000 x 16000 deflate TIFF; its pixels are never needed.
    const fs::path huge = dir / "huge.tif";
    TIFF* tiff = TIFFOpen(huge.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 16000);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 16000);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<unsigned char> row(16000 * 3, 128);
    TIFFWriteScanline(tiff, row.data(), 0, 0);
    TIFFClose(tiff);
    const std::string before = ReadFile(huge);
    const CliRun r = Stamp(dir, "title North --out " + Quote(dir / "out") + " " + Quote(huge));
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(Has(r.Err, huge.string() +
                               ": 16000 x 16000 pixels (256 megapixels) is over the stamping limit of 250 megapixels\n"))
        << r.Err;
    EXPECT_FALSE(fs::exists(dir / "out/huge.tif"));
    EXPECT_EQ(ReadFile(huge), before);
}

// Stamping one picture reads that picture only, however full its folder:
// siblings that are not pictures at all, or are cut short, are never opened,
// so they are neither named nor held against the run.
TEST(CliStampReads, OnlyTheNamedPictureOfItsFolder)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path picture = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg", "a.jpg");
    WriteFile(dir / "b.jpg", "not a picture");
    const std::string whole = ReadFile(SamplesDir() / "pictures/gps/DSCN0012.jpg");
    WriteFile(dir / "c.jpg", whole.substr(0, 200));
    WriteFile(dir / "d.tif", "II*\0garbage");
    const CliRun r = Stamp(dir, "gps --out " + Quote(dir / "out") + " " + Quote(picture));
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(r.Out, (dir / "out/a.jpg").string() + ": saved\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()), 1);
}

}  // namespace
