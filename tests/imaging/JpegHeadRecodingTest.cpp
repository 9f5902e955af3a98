// A head coded again by two threads, each from its own start, is the very
// head one thread codes, with the same cut; damage anywhere gives what one
// thread gives on the same bytes (nothing, as a rule).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <string>
#include <vector>

#include "JpegHeadRecoding.h"
#include "JpegLibrary.h"
#include "JpegScanWalk.h"
#include "JpegSegments.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;
using namespace jpegio;

// A textured picture large enough to be coded in two parts, in Huffman
// tables chosen for it (which lack codes, as an optimising encoder's do).
std::string TexturedJpeg(int width, int height)
{
    JpegCompressor c;
    std::string out(std::size_t{1} << 20, '\0');
    if (setjmp(c.Errors.Jump)) return {};
    jpeg_create_compress(&c.Info);
    c.Created = true;
    UseStringDestination(c, out);
    c.Info.image_width = static_cast<JDIMENSION>(width);
    c.Info.image_height = static_cast<JDIMENSION>(height);
    c.Info.input_components = 3;
    c.Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c.Info);
    jpeg_set_quality(&c.Info, 90, TRUE);
    c.Info.optimize_coding = TRUE;
    c.Info.comp_info[0].h_samp_factor = 2;
    c.Info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&c.Info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
    std::uint32_t seed = 12345;
    while (c.Info.next_scanline < c.Info.image_height) {
        const int y = static_cast<int>(c.Info.next_scanline);
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 26);  // 0-63
            // Busier towards the bottom, so that bytes per MCU vary down the picture.
            const int busy = noise * (1 + 2 * y / height) / 2;
            row[static_cast<std::size_t>(x) * 3] = static_cast<unsigned char>((x / 7 + busy) & 0xff);
            row[static_cast<std::size_t>(x) * 3 + 1] = static_cast<unsigned char>((y / 5 + busy * 2) & 0xff);
            row[static_cast<std::size_t>(x) * 3 + 2] = static_cast<unsigned char>(((x + y) / 9 + busy) & 0xff);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&c.Info, rows, 1);
    }
    jpeg_finish_compress(&c.Info);
    return out;
}

bool SamePoint(const ScanPoint& a, const ScanPoint& b)
{
    return a.Offset == b.Offset && a.Bit == b.Bit && std::equal(a.Predictions, a.Predictions + 4, b.Predictions);
}

// The head as one thread codes it: its whole bytes and the bits begun.
struct OneThreadHead {
    bool Coded = false;
    std::string Bytes;
    unsigned Lead = 0;
    int Bits = 0;
    ScanPoint Cut;
};

class HeadRecodingTest : public ::testing::Test {
protected:
    void Open(const std::string& bytes)
    {
        jpeg = bytes;
        ASSERT_TRUE(OpenDecompressor(d, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size()));
        ASSERT_TRUE(IsWalkableScan(d.Info));
        const std::string_view scan = std::string_view(jpeg).substr(JpegHeaderOf(jpeg).size());
        coded = std::string(scan.substr(0, ScanEnd(scan)));
        // The standard tables, as a compressor's defaults give them.
        jpeg_create_compress(&standard.Info);
        standard.Created = true;
        standard.Info.in_color_space = d.Info.num_components == 1 ? JCS_GRAYSCALE : JCS_YCbCr;
        standard.Info.input_components = d.Info.num_components;
        jpeg_set_defaults(&standard.Info);
        for (int c = 0; c < d.Info.comps_in_scan; ++c) {
            dc[c] = standard.Info.dc_huff_tbl_ptrs[c ? 1 : 0];
            ac[c] = standard.Info.ac_huff_tbl_ptrs[c ? 1 : 0];
        }
    }

    OneThreadHead CodeAlone(std::string_view scan, long first) const
    {
        OneThreadHead head;
        ScanRecoder recoder(d.Info, dc, ac);
        ScanPoint written;
        head.Coded = recoder.Code(scan, ScanPoint(), 0, first, head.Cut, written, head.Bytes);
        head.Lead = recoder.Pending(head.Bits);
        return head;
    }

    // Codes with two threads and checks the result against one thread's;
    // `parts` 0: in however many parts the damage allows.
    void ExpectAsAlone(std::string_view scan, long first, int parts, const char* what)
    {
        const OneThreadHead alone = CodeAlone(scan, first);
        std::atomic<int> runs{0};
        ScanPoint given;
        HeadRecoding recoding(d.Info, scan, first, dc, ac, [&](const ScanPoint& cut) {
            given = cut;
            ++runs;
        });
        RecodedHead head;
        const bool coded = recoding.Run(head);
        ASSERT_EQ(coded, alone.Coded) << what;
        if (!coded) return;
        if (parts) {
            EXPECT_EQ(head.Parts, parts) << what;
        }
        EXPECT_TRUE(head.Bytes == alone.Bytes) << what << ": " << head.Bytes.size() << " bytes against "
                                               << alone.Bytes.size();
        EXPECT_EQ(head.Bits, alone.Bits) << what;
        EXPECT_EQ(head.Lead & ((1u << head.Bits) - 1), alone.Lead & ((1u << alone.Bits) - 1)) << what;
        EXPECT_TRUE(SamePoint(head.Cut, alone.Cut)) << what;
        EXPECT_EQ(runs.load(), 1) << what;
        EXPECT_TRUE(SamePoint(given, alone.Cut)) << what;
    }

    std::string jpeg, coded;
    JpegDecompressor d;
    JpegCompressor standard;
    const JHUFF_TBL* dc[MAX_COMPS_IN_SCAN] = {};
    const JHUFF_TBL* ac[MAX_COMPS_IN_SCAN] = {};
};

TEST_F(HeadRecodingTest, TwoPartsMakeTheHeadOneThreadMakes)
{
    Open(TexturedJpeg(2400, 1600));
    ASSERT_GT(coded.size(), std::size_t{1} << 20) << "too small a picture to be split";
    const long perRow = McusPerRow(d.Info), rows = McuRows(d.Info);
    for (const long row : {rows - 3, rows / 2 + 1, rows / 4})
        ExpectAsAlone(coded, row * perRow, 2, ("cut at row " + std::to_string(row)).c_str());
}

TEST_F(HeadRecodingTest, DamageInEitherPartGivesWhatOneThreadGives)
{
    Open(TexturedJpeg(2400, 1600));
    const long first = (McuRows(d.Info) - 3) * McusPerRow(d.Info);
    ScanPoint cut;
    ASSERT_TRUE(WalkScan(d.Info, coded, first, cut));
    // A byte dropped, and a byte changed, in each part.
    for (const std::size_t at : {cut.Offset / 5, cut.Offset * 3 / 5, cut.Offset * 9 / 10}) {
        std::string dropped = coded;
        dropped.erase(at, 1);
        ExpectAsAlone(dropped, first, 0, ("a byte dropped at " + std::to_string(at)).c_str());
        std::string changed = coded;
        changed[at] = static_cast<char>(changed[at] == '\x55' ? 0x2a : 0x55);
        ExpectAsAlone(changed, first, 0, ("a byte changed at " + std::to_string(at)).c_str());
    }
}

TEST_F(HeadRecodingTest, ASmallHeadIsCodedByOneThread)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("jpegtran");
    Open(RunCommand("jpegtran -optimize " + Quote(SamplesDir() / "pictures/gps/DSCN0010.jpg")));
    ExpectAsAlone(coded, (McuRows(d.Info) - 2) * McusPerRow(d.Info), 1, "small");
}

}  // namespace
