// Reading a scan at the level of its codes: the DC predictions the walk
// finds are those libjpeg's own decoder arrives at, a whole scan reads to
// its end and a cut one does not, and coded bits moved to another bit
// position are the same bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <utility>
#include <vector>

#include "JpegLibrary.h"
#include "JpegScanWalk.h"
#include "JpegSegments.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;
using namespace jpegio;

struct Picture {
    const char* Name;
    const char* Sample;
    const char* Make;  // shell command turning %1 into %2; empty: the sample itself
};

const Picture kPictures[] = {
    {"Baseline422", "gps/DSCN0010.jpg", ""},
    {"Baseline420", "gps/DSCN0012.jpg", "djpeg %1 | cjpeg -quality 85 -sample 2x2 > %2"},
    {"Baseline444", "gps/DSCN0025.jpg", "djpeg %1 | cjpeg -quality 95 -sample 1x1 > %2"},
    {"Greyscale", "gps/DSCN0025.jpg", "jpegtran -grayscale %1 > %2"},
    {"RestartEveryRow", "gps/DSCN0021.jpg", "jpegtran -restart 1 %1 > %2"},
    {"RestartEvery7Mcus", "gps/DSCN0021.jpg", "jpegtran -restart 7B %1 > %2"},
    {"OptimisedTables", "cameras/BlueSquare.jpg", ""},
};

void PrintTo(const Picture& p, std::ostream* os) { *os << p.Name; }

std::string Load(const Picture& p, const TempDir& dir)
{
    const fs::path sample = SamplesDir() / "pictures" / p.Sample;
    if (!*p.Make) return ReadFile(sample);
    std::string command = p.Make;
    const fs::path made = dir / "made.jpg";
    command.replace(command.find("%1"), 2, Quote(sample));
    command.replace(command.find("%2"), 2, Quote(made));
    RunCommand(command);
    return ReadFile(made);
}

bool ReadAll(JpegDecompressor& d, jvirt_barray_ptr*& arrays)
{
    if (setjmp(d.Errors.Jump)) return false;
    arrays = jpeg_read_coefficients(&d.Info);
    return arrays != nullptr;
}

// The DC value of the last block of each component before MCU `mcu`, as the
// library decodes it (0 at the start of a restart interval).
std::vector<int> LibraryPredictions(JpegDecompressor& d, jvirt_barray_ptr* arrays, long mcu)
{
    const long perRow = McusPerRow(d.Info), interval = static_cast<long>(d.Info.restart_interval);
    std::vector<int> dc(static_cast<size_t>(d.Info.num_components), 0);
    if (mcu == 0 || (interval && mcu % interval == 0)) return dc;
    const long row = (mcu - 1) / perRow, column = (mcu - 1) % perRow;
    auto* common = reinterpret_cast<j_common_ptr>(&d.Info);
    for (int c = 0; c < d.Info.num_components; ++c) {
        const jpeg_component_info& comp = d.Info.comp_info[c];
        const int h = d.Info.num_components > 1 ? comp.h_samp_factor : 1;
        const int v = d.Info.num_components > 1 ? comp.v_samp_factor : 1;
        // The last real block of the MCU in coding order (blocks past the
        // picture's edge repeat the DC before them).
        JDIMENSION y = std::min<JDIMENSION>(static_cast<JDIMENSION>(row * v + v - 1), comp.height_in_blocks - 1);
        JDIMENSION x = std::min<JDIMENSION>(static_cast<JDIMENSION>(column * h + h - 1), comp.width_in_blocks - 1);
        dc[static_cast<size_t>(c)] = common->mem->access_virt_barray(common, arrays[c], y, 1, FALSE)[0][x][0];
    }
    return dc;
}

// Each sample layout, made and opened, with its scan.
class JpegScanWalkTest : public ::testing::TestWithParam<Picture> {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        REQUIRE_TOOL("jpegtran");
        jpeg = Load(GetParam(), dir);
        ASSERT_TRUE(OpenDecompressor(d, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size()));
        ASSERT_TRUE(IsWalkableScan(d.Info));
        scan = std::string_view(jpeg).substr(JpegHeaderOf(jpeg).size());
    }

    TempDir dir;
    std::string jpeg;
    JpegDecompressor d;
    std::string_view scan;
};

TEST_P(JpegScanWalkTest, FindsThePredictionsTheDecoderFindsAndReadsToTheEnd)
{
    const std::size_t end = ScanEnd(scan);
    ASSERT_NE(end, std::string_view::npos);
    const long total = McusPerRow(d.Info) * McuRows(d.Info);

    std::vector<ScanPoint> points;
    const long rows = McuRows(d.Info);
    for (long row : {1L, rows / 3, rows - 1}) {
        ScanPoint at;
        ASSERT_TRUE(WalkScan(d.Info, scan.substr(0, end), row * McusPerRow(d.Info), at)) << "row " << row;
        EXPECT_LT(at.Offset, end);
        points.push_back(at);
    }
    ScanPoint last;
    ASSERT_TRUE(WalkScan(d.Info, scan.substr(0, end), total, last));
    EXPECT_GE(last.Offset + 1, end) << "the walk stopped short of the scan's end";

    jvirt_barray_ptr* arrays = nullptr;
    ASSERT_TRUE(ReadAll(d, arrays));
    int i = 0;
    for (long row : {1L, rows / 3, rows - 1}) {
        const std::vector<int> expected = LibraryPredictions(d, arrays, row * McusPerRow(d.Info));
        for (int c = 0; c < d.Info.num_components; ++c)
            EXPECT_EQ(points[static_cast<size_t>(i)].Predictions[c], expected[static_cast<size_t>(c)])
                << "row " << row << " component " << c;
        ++i;
    }

    // A scan cut short, or with a byte changed in a restart marker, does not read through.
    ScanPoint ignored;
    EXPECT_FALSE(WalkScan(d.Info, scan.substr(0, end / 2), total, ignored));
    if (d.Info.restart_interval) {
        std::string renumbered(scan.substr(0, end));
        RenumberRestarts(renumbered, 1);
        EXPECT_FALSE(WalkScan(d.Info, renumbered, total, ignored));
        RenumberRestarts(renumbered, 7);
        EXPECT_TRUE(WalkScan(d.Info, renumbered, total, ignored)) << "renumbering by 8 in all changed the data";
    }
}

bool SamePoint(const ScanPoint& a, const ScanPoint& b)
{
    return a.Offset == b.Offset && a.Bit == b.Bit && std::equal(a.Predictions, a.Predictions + 4, b.Predictions);
}

// Read by two threads, one from the middle on, a scan gives the walk's very
// answer at every cut; damage before or after the middle still fails it.
TEST_P(JpegScanWalkTest, ReadingFromTheMiddleTooGivesTheSameCut)
{
    const std::string_view coded = scan.substr(0, ScanEnd(scan));
    const long total = McusPerRow(d.Info) * McuRows(d.Info);
    for (long mcu = 2; mcu < total; mcu += std::max(1L, total / 97)) {
        ScanPoint one, two;
        ASSERT_TRUE(WalkScan(d.Info, coded, mcu, one)) << "MCU " << mcu;
        ASSERT_TRUE(WalkScanInParallel(d.Info, coded, mcu, two, 0)) << "MCU " << mcu;
        EXPECT_TRUE(SamePoint(one, two)) << "MCU " << mcu << ": " << one.Offset << "." << one.Bit << " against "
                                         << two.Offset << "." << two.Bit;
    }
    // A byte dropped at a quarter and at three quarters of the way to the cut.
    const long cut = total - total / 10;
    ScanPoint whole;
    ASSERT_TRUE(WalkScan(d.Info, coded, cut, whole));
    for (const std::size_t at : {whole.Offset / 4, whole.Offset * 3 / 4}) {
        std::string damaged(coded);
        damaged.erase(at, 1);
        ScanPoint one, two;
        const bool read = WalkScan(d.Info, damaged, cut, one);
        EXPECT_EQ(WalkScanInParallel(d.Info, damaged, cut, two, 0), read) << "byte " << at;
        if (read) {
            EXPECT_TRUE(SamePoint(one, two)) << "byte " << at;
        }
    }
}

// Marks read from the middle are MCU starts the walk from the start finds,
// and a mark met tells how many MCUs on a later mark is.
TEST_P(JpegScanWalkTest, MarksFromTheMiddleAreMcuStarts)
{
    const std::string_view coded = scan.substr(0, ScanEnd(scan));
    const long total = McusPerRow(d.Info) * McuRows(d.Info);
    MidScanMarks marks(d.Info, coded, total - 1);
    if (d.Info.restart_interval) {
        EXPECT_EQ(marks.Start(), std::string_view::npos) << "restart markers: nothing is read";
        return;
    }
    ASSERT_NE(marks.Start(), std::string_view::npos);
    marks.ReadUntil(marks.Start() + 4096);
    ScanPoint last;
    std::size_t index = 0;
    ASSERT_TRUE(marks.LastMark(last, index));
    // Every MCU start from the start of the scan up to the last mark.
    std::vector<ScanPoint> starts(1);
    for (long m = 0; m < total && starts.back().Offset * 8 + starts.back().Bit < last.Offset * 8 + last.Bit; ++m) {
        ScanPoint next;
        ASSERT_TRUE(WalkScanFrom(d.Info, coded, starts.back(), m, m + 1, next)) << "MCU " << m;
        starts.push_back(next);
    }
    const long lastMcu = static_cast<long>(starts.size()) - 1;
    ASSERT_EQ(starts.back().Offset, last.Offset);
    ASSERT_EQ(starts.back().Bit, last.Bit);
    long met = 0;
    for (long m = lastMcu; m >= 0; --m) {
        long count = -1;
        if (!marks.Meets(starts[static_cast<std::size_t>(m)], index, count)) break;
        EXPECT_EQ(count, lastMcu - m) << "MCU " << m;
        ++met;
    }
    EXPECT_GE(met, 4) << "the reading fell into step late";
    EXPECT_GT(lastMcu + 1, met) << "marks before the middle";
    ScanPoint between = last;
    between.Bit = (last.Bit + 3) % 8;
    long count = 0;
    EXPECT_FALSE(marks.Meets(between, index, count));
}

INSTANTIATE_TEST_SUITE_P(Pictures, JpegScanWalkTest, ::testing::ValuesIn(kPictures),
                         [](const auto& info) { return std::string(info.param.Name); });

// Codes read in one picture's tables and written in another's give the
// bytes the library writes for the same blocks in those tables.
TEST(JpegScanRecode, CodesWrittenAgainInOtherTablesAreTheLibrarysBytes)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("jpegtran");
    TempDir dir;
    const fs::path sample = SamplesDir() / "pictures/gps/DSCN0021.jpg";
    for (const std::string restart : {"", "-restart 1 ", "-restart 7B "}) {
        const fs::path standard = dir / "standard.jpg", optimised = dir / "optimised.jpg";
        RunCommand("jpegtran " + restart + Quote(sample) + " > " + Quote(standard));
        RunCommand("jpegtran -optimize " + restart + Quote(sample) + " > " + Quote(optimised));
        const std::string want = ReadFile(standard), have = ReadFile(optimised);
        JpegDecompressor to, from;
        ASSERT_TRUE(OpenDecompressor(to, reinterpret_cast<const unsigned char*>(want.data()), want.size()));
        ASSERT_TRUE(OpenDecompressor(from, reinterpret_cast<const unsigned char*>(have.data()), have.size()));
        const JHUFF_TBL* dc[4] = {};
        const JHUFF_TBL* ac[4] = {};
        for (int c = 0; c < to.Info.comps_in_scan; ++c) {
            dc[c] = to.Info.dc_huff_tbl_ptrs[to.Info.cur_comp_info[c]->dc_tbl_no];
            ac[c] = to.Info.ac_huff_tbl_ptrs[to.Info.cur_comp_info[c]->ac_tbl_no];
        }
        const std::string_view wanted = std::string_view(want).substr(JpegHeaderOf(want).size());
        const std::string_view scan = std::string_view(have).substr(JpegHeaderOf(have).size());
        const long rows = McuRows(from.Info), perRow = McusPerRow(from.Info);
        const std::string_view coded = scan.substr(0, ScanEnd(scan));
        for (long row : {rows / 2, rows - 1}) {
            std::string out;
            ScanRecoder recoder(from.Info, dc, ac);
            ScanPoint at, written;
            ASSERT_TRUE(recoder.Code(coded, ScanPoint(), 0, row * perRow, at, written, out)) << restart << "row " << row;
            int bits = 0;
            const unsigned lead = recoder.Pending(bits);
            ASSERT_LE(out.size(), wanted.size());
            EXPECT_EQ(out, wanted.substr(0, out.size())) << restart << "row " << row;
            EXPECT_EQ(lead, static_cast<unsigned char>(wanted[out.size()]) >> (8 - bits)) << restart << "row " << row;
            // The head, with the bits of its last byte, read back in the new tables.
            const auto readsBack = [&](std::string head) {
                ScanPoint end = at;
                end.Offset = head.size();
                end.Bit = bits;
                if (bits) AppendShifted(head, lead, bits, {});
                return CheckScanPart(from.Info, head, dc, ac, ScanPoint(), 0, row * perRow, end);
            };
            EXPECT_TRUE(readsBack(out)) << restart;
            out.resize(out.size() - 3);
            EXPECT_FALSE(readsBack(out)) << restart;
            EXPECT_FALSE(readsBack(out.substr(3))) << restart;
        }

        // Coded in runs that end anywhere (within a byte, at a restart
        // marker), the runs join into the same bytes, and each run reads back
        // on its own from where the one before it ended.
        const long mcu = (rows - 1) * perRow;
        ScanRecoder recoder(from.Info, dc, ac);
        std::string joined;
        std::vector<std::pair<ScanPoint, long>> ends;  // where each run ends in what is written
        ScanPoint source, at, written;
        for (long m = 0, next = 0; m < mcu; m = next, source = at) {
            next = std::min(mcu, m + 1 + (m * 7919) % (perRow * 3 + 5));
            ASSERT_TRUE(recoder.Code(coded, source, m, next, at, written, joined)) << restart << "run at " << m;
            ends.emplace_back(written, next);
        }
        ASSERT_GE(ends.size(), 3u);
        int bits = 0;
        const unsigned lead = recoder.Pending(bits);
        EXPECT_EQ(joined, wanted.substr(0, joined.size())) << restart;
        EXPECT_EQ(lead, static_cast<unsigned char>(wanted[joined.size()]) >> (8 - bits)) << restart;
        ScanPoint start;
        long first = 0;
        for (std::size_t i = 0; i + 1 < ends.size(); start = ends[i].first, first = ends[i].second, ++i)
            EXPECT_TRUE(CheckScanPart(from.Info, joined, dc, ac, start, first, ends[i].second, ends[i].first))
                << restart << "run " << i;
        // A byte lost within a run: that run no longer ends where it was coded to.
        const std::size_t k = ends.size() / 2;
        std::string damaged = joined;
        damaged.erase((ends[k - 1].first.Offset + ends[k].first.Offset) / 2, 1);
        EXPECT_FALSE(CheckScanPart(from.Info, damaged, dc, ac, ends[k - 1].first, ends[k - 1].second, ends[k].second,
                                   ends[k].first))
            << restart;
    }
}

// A table without a code the scan uses: coding stops instead of writing
// bits for it, whether the code is short (written in one step with its value
// bits) or long.
TEST(JpegScanRecode, ATableLackingAUsedCodeStopsTheCoding)
{
    REQUIRE_SAMPLES();
    const std::string bytes = ReadFile(SamplesDir() / "pictures/gps/DSCN0021.jpg");
    JpegDecompressor from;
    ASSERT_TRUE(OpenDecompressor(from, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    const std::string_view scan = std::string_view(bytes).substr(JpegHeaderOf(bytes).size());
    const std::string_view coded = scan.substr(0, ScanEnd(scan));
    const long mcus = McusPerRow(from.Info) * McuRows(from.Info);
    const JHUFF_TBL* dc[4] = {};
    const JHUFF_TBL* ac[4] = {};
    for (int c = 0; c < from.Info.comps_in_scan; ++c) {
        dc[c] = from.Info.dc_huff_tbl_ptrs[from.Info.cur_comp_info[c]->dc_tbl_no];
        ac[c] = from.Info.ac_huff_tbl_ptrs[from.Info.cur_comp_info[c]->ac_tbl_no];
    }
    {
        std::string out;
        ScanRecoder recoder(from.Info, dc, ac);
        ScanPoint at, written;
        ASSERT_TRUE(recoder.Code(coded, ScanPoint(), 0, mcus, at, written, out));
    }
    // Run 0 size 1 (a two-bit code) and run 1 size 5 (a long one) left out of the first component's table.
    for (const int lacking : {0x01, 0x15}) {
        JHUFF_TBL without = *ac[0];
        int count = 0, at = -1;
        for (int l = 1; l <= 16; ++l) count += without.bits[l];
        for (int i = 0; i < count; ++i)
            if (without.huffval[i] == lacking) at = i;
        ASSERT_GE(at, 0);
        int length = 1;
        for (int seen = without.bits[1]; seen <= at; seen += without.bits[++length]) {}
        --without.bits[length];
        std::copy(without.huffval + at + 1, without.huffval + count, without.huffval + at);
        const JHUFF_TBL* lackingAc[4] = {&without, ac[1], ac[2], ac[3]};
        std::string out;
        ScanRecoder recoder(from.Info, dc, lackingAc);
        ScanPoint end, written;
        EXPECT_FALSE(recoder.Code(coded, ScanPoint(), 0, mcus, end, written, out)) << std::hex << lacking;
    }
}

// A Huffman table declaring more codes of a length than the length allows
// (the library checks that only once it decodes) is refused before any
// look-up entry is made for it.
TEST(JpegScanWalk, AnOverfullHuffmanTableIsRefused)
{
    REQUIRE_SAMPLES();
    const std::string bytes =
        ReadFile(SamplesDir() / "fuzz/jpeg_codec/huffman-table-with-more-codes-than-lengths-allow.jpg");
    JpegDecompressor d;
    ASSERT_TRUE(OpenDecompressor(d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
    const std::string_view scan = std::string_view(bytes).substr(JpegHeaderOf(bytes).size());
    ScanPoint at;
    EXPECT_FALSE(WalkScan(d.Info, scan, McusPerRow(d.Info) * McuRows(d.Info), at));
    EXPECT_FALSE(HuffmanTablesComplete(d.Info));
}

// Bits as text, stuffing removed: the independent reading of coded bytes.
std::string BitsOf(std::string_view coded)
{
    std::string bits;
    for (std::size_t i = 0; i < coded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(coded[i]);
        for (int b = 7; b >= 0; --b) bits += (byte >> b & 1) ? '1' : '0';
        if (byte == 0xff) ++i;
    }
    return bits;
}

TEST(JpegScanBits, MovedBitsAreTheSameBitsStuffedAgain)
{
    // Bytes whose moved forms make 0xFF in new places, and a stuffed 0xFF of their own.
    const std::string coded("\x7F\xF0\xFF\x00\x01\xFE\x80\xFF\x00", 9);
    for (int bits = 0; bits < 8; ++bits) {
        for (int lastBits : {8, 3, 1}) {
            const unsigned lead = 0x5a;
            std::string out;
            AppendShifted(out, lead, bits, coded, lastBits);
            std::string expected;
            for (int b = bits - 1; b >= 0; --b) expected += (lead >> b & 1) ? '1' : '0';
            std::string body = BitsOf(coded);
            body.resize(body.size() - static_cast<std::size_t>(8 - lastBits));
            expected += body;
            while (expected.size() % 8) expected += '1';
            EXPECT_EQ(BitsOf(out), expected) << bits << " lead bits, " << lastBits << " bits of the last byte";
            for (std::size_t i = 0; i + 1 < out.size(); ++i) {
                if (static_cast<unsigned char>(out[i]) == 0xff) {
                    EXPECT_EQ(out[i + 1], '\0') << "unstuffed 0xFF at " << i;
                    ++i;
                }
            }
            EXPECT_NE(static_cast<unsigned char>(out.back()), 0xff);
        }
    }
}

TEST(JpegScanBits, BitsAppendedAfterOthersAreTheSameBitsStuffedAgain)
{
    // Long enough for eight bytes at a time, with stuffed 0xFF bytes of its own
    // and bytes that make 0xFF when moved.
    std::string coded;
    for (int i = 0; i < 40; ++i) coded += std::string("\x7F\xF0\xFF\x00\x01\x23\x45\x67\x89\xAB\xCD\xEF\xFE\x80", 14);
    const std::string body = BitsOf(coded);
    for (int bits = 0; bits < 8; ++bits) {
        std::string out(3, 'x');
        out.resize(coded.size() * 2 + 16);
        std::size_t used = 3;
        unsigned lead = 0x5a;
        int pending = bits;
        ASSERT_TRUE(AppendCodedBits(out.data(), out.size(), used, lead, pending, coded)) << bits;
        EXPECT_EQ(pending, bits);
        std::string expected;
        for (int b = bits - 1; b >= 0; --b) expected += (0x5a >> b & 1) ? '1' : '0';
        expected += body;
        std::string written = BitsOf(std::string_view(out).substr(3, used - 3));
        for (int b = bits - 1; b >= 0; --b) written += (lead >> b & 1) ? '1' : '0';
        EXPECT_EQ(written, expected) << bits << " bits before";
        for (std::size_t i = 3; i + 1 < used; ++i) {
            if (static_cast<unsigned char>(out[i]) == 0xff) {
                EXPECT_EQ(out[i + 1], '\0') << "unstuffed at " << i;
                ++i;
            }
        }
        EXPECT_EQ(out.substr(0, 3), "xxx") << "bytes before were touched";
        // Too little room is refused, not overrun.
        std::string small(coded.size() / 2, '\0');
        std::size_t none = 0;
        unsigned again = 0x5a;
        int count = bits;
        EXPECT_FALSE(AppendCodedBits(small.data(), small.size(), none, again, count, coded));
        EXPECT_LE(none, small.size());
    }
}

TEST(JpegScanBits, RestartNumbersChangeAndNothingElse)
{
    std::string coded("\x12\xFF\xD0\x34\xFF\x00\xFF\xD7\xFF\xFF\xD3\x56", 12);
    RenumberRestarts(coded, 3);
    EXPECT_EQ(coded, std::string("\x12\xFF\xD3\x34\xFF\x00\xFF\xD2\xFF\xFF\xD6\x56", 12));
    EXPECT_EQ(ScanEnd(coded), std::string_view::npos);
    coded += "\xFF\xFF\xD9";
    EXPECT_EQ(ScanEnd(coded), 12u) << "the fill bytes before the marker end the data";
}

}  // namespace
