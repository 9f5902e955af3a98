// Metadata work on a large picture reads only its metadata: corvane-cli runs
// under a data limit far below the picture's size (a sparse file, so the
// test costs no disk), and must still read it and, for a JPEG, save it.
#include <gtest/gtest.h>

#include <fstream>

#include "TestSupport.h"
#include "Workspace.h"

namespace invariants {
namespace {

using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RunCommand;

constexpr std::uint64_t kPictureSize = std::uint64_t{160} << 20;
constexpr unsigned kDataLimitKiB = 64 * 1024;  // heap and private writable mappings

// A real picture's segments up to its scan header, then a hole up to
// `size`, then the end of the image. Returns where the scan starts.
size_t MakeSparseJpeg(const fs::path& to, std::uint64_t size)
{
    const std::string sample = ReadFile(fs::path(CORVANE_SAMPLES) / "pictures/cameras/Kodak_CX7530.jpg");
    const size_t sos = sample.size() - testsupport::JpegScanData(sample).size();
    const size_t length = (static_cast<unsigned char>(sample[sos + 2]) << 8) | static_cast<unsigned char>(sample[sos + 3]);
    std::ofstream out(to, std::ios::binary);
    out << sample.substr(0, sos + 2 + length);
    out.seekp(static_cast<std::streamoff>(size - 2));
    out << "\xFF\xD9";
    return sos;
}

// A TIFF of one uncompressed grey strip, most of it a hole.
void MakeSparseTiff(const fs::path& to, std::uint64_t size)
{
    const std::uint32_t width = 8192, height = static_cast<std::uint32_t>((size - 4096) / width);
    std::string t("II*\0\x08\0\0\0", 8);
    auto put16 = [&t](std::uint32_t v) { t += static_cast<char>(v & 0xFF), t += static_cast<char>(v >> 8 & 0xFF); };
    auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    const std::uint16_t tags[][3] = {{256, 4, 0}, {257, 4, 1}, {258, 3, 8}, {259, 3, 1}, {262, 3, 1},
                                     {273, 4, 2}, {277, 3, 1}, {278, 4, 1}, {279, 4, 3}};
    put16(9);
    for (const auto& tag : tags) {
        put16(tag[0]), put16(tag[1]), put32(1);
        const std::uint32_t values[] = {width, height, 4096, width * height};
        put32(tag[0] == 256 || tag[0] == 257 || tag[0] == 273 || tag[0] == 278 || tag[0] == 279 ? values[tag[2]]
                                                                                                : tag[2]);
    }
    put32(0);
    std::ofstream out(to, std::ios::binary);
    out << t;
    out.seekp(static_cast<std::streamoff>(4096 + std::uint64_t{width} * height - 1));
    out << '\0';
}

std::string UnderLimit(const std::string& command, int* status)
{
    return RunCommand("sh -c " + Quote("ulimit -d " + std::to_string(kDataLimitKiB) + " && exec " + command) + " 2>&1",
                      status);
}

TEST(LargePicture, DryRunReadsOnlyTheMetadata)
{
    testsupport::TempDir dir;
    MakeSparseJpeg(dir / "big.jpg", kPictureSize);
    MakeSparseTiff(dir / "big.tif", kPictureSize);
    for (const char* name : {"big.jpg", "big.tif"}) {
        int status = -1;
        const std::string out =
            UnderLimit(std::string(CORVANE_CLI) + " set --dry-run --city Paris " + Quote(dir / name), &status);
        EXPECT_EQ(status, 0) << name << ": " << out;
        EXPECT_NE(out.find("would change City"), std::string::npos) << out;
    }
}

TEST(LargePicture, JpegSaveCopiesTheImageDataFileToFile)
{
    testsupport::TempDir dir;
    MakeSparseJpeg(dir / "big.jpg", kPictureSize);
    const size_t at = MakeSparseJpeg(dir / "original.jpg", kPictureSize);
    int status = -1;
    const std::string out = UnderLimit(std::string(CORVANE_CLI) + " set --city Paris " + Quote(dir / "big.jpg"), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTC:City " + Quote(dir / "big.jpg")), "Paris\n");
    // Everything from the scan on is the original's: compared by cmp, which streams.
    const auto grown = fs::file_size(dir / "big.jpg") - kPictureSize;
    RunCommand("cmp -s -i " + std::to_string(at) + ":" + std::to_string(at + grown) + " " + Quote(dir / "original.jpg") +
                   " " + Quote(dir / "big.jpg"),
               &status);
    EXPECT_EQ(status, 0) << "the image data changed";
}

}  // namespace
}  // namespace invariants
