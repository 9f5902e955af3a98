// Reading a sequential Huffman-coded scan at the level of its codes: where
// an MCU begins (byte, bit and the DC predictions in force there) without
// dequantising or transforming anything, and moving coded bits to another
// bit position. A stamped save uses it to copy the coded data before the
// band as bytes and re-code only from the band on.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include <jpeglib.h>

// A place in the scan's coded bytes: the first bit of an MCU.
struct ScanPoint {
    std::size_t Offset = 0;    // of the byte holding the bit, from the scan's start
    int Bit = 0;               // bits of that byte before it (0: it starts the byte)
    int Predictions[4] = {};   // DC prediction of each scan component there
};

// Only a single interleaved sequential scan of 8-bit samples holding every
// component in frame order qualifies; `info` has read the header.
bool IsWalkableScan(const jpeg_decompress_struct& info);

// The tables of every component of the scan hold every code a block may
// need. An encoder that chose its tables for the picture leaves out codes
// that drawn text needs, so such a picture is not re-coded in part.
bool HuffmanTablesComplete(const jpeg_decompress_struct& info);

// MCUs in the scan of `info` (across one row, and in all).
long McusPerRow(const jpeg_decompress_struct& info);
long McuRows(const jpeg_decompress_struct& info);

// Reads the codes of MCUs [0, mcu) of the scan that starts `scan`. With
// `mcu` equal to the scan's MCU count it checks the whole scan and that
// only fill bytes stand before the marker ending it. False on a code the
// tables do not hold, a block of more than 64 coefficients, a missing or
// misnumbered restart marker, or data ending early.
bool WalkScan(const jpeg_decompress_struct& info, std::string_view scan, long mcu, ScanPoint& at);
// WalkScan for `mcu` short of the scan's end, with a second thread reading
// from the middle of the scan on when the scan has at least `minimumBytes`
// and no restart markers: the same result in about half the time.
bool WalkScanInParallel(const jpeg_decompress_struct& info, std::string_view scan, long mcu, ScanPoint& at,
                        std::size_t minimumBytes = std::size_t{1} << 20);
// The same from `from`, where MCU `first` starts (after the restart marker
// before it, if any), with the predictions in force there.
bool WalkScanFrom(const jpeg_decompress_struct& info, std::string_view scan, const ScanPoint& from, long first,
                  long mcu, ScanPoint& at);

// Where MCUs start, read from `share` of the way to MCU `target` on (see
// WalkScanInParallel): a reader there falls into step with the codes within
// a few MCUs. A reading from the start that meets one of the marks knows
// from then on which MCU each later mark of the same run of reading is.
// Read on one thread; asked once reading is done.
class MidScanMarks {
public:
    // Nothing is read when the scan does not allow it (restart markers, a
    // target at either end).
    MidScanMarks(const jpeg_decompress_struct& info, std::string_view scan, long target, double share = 0.5);
    ~MidScanMarks();
    MidScanMarks(const MidScanMarks&) = delete;
    MidScanMarks& operator=(const MidScanMarks&) = delete;

    // The byte reading starts at; npos when nothing is read.
    std::size_t Start() const;
    static std::size_t StartOf(const jpeg_decompress_struct& info, std::string_view scan, long target,
                               double share = 0.5);
    // Reads on until the next MCU would start at or past byte `until`; it
    // goes on from there when called again. False once it can read no further.
    bool ReadUntil(std::size_t until);
    // The last mark made (predictions left zero) and its number.
    bool LastMark(ScanPoint& at, std::size_t& index) const;
    // `point`, where an MCU starts, is a mark that mark `index` follows in the
    // same run of reading, `count` MCUs later.
    bool Meets(const ScanPoint& point, std::size_t index, long& count) const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Writes a scan's codes again in the Huffman tables `dc` and `ac` (one each
// per scan component), a run of MCUs at a time, so that what is written can
// be read back while the next run is coded.
class ScanRecoder {
public:
    ScanRecoder(const jpeg_decompress_struct& info, const JHUFF_TBL* const* dc, const JHUFF_TBL* const* ac);
    ~ScanRecoder();
    ScanRecoder(const ScanRecoder&) = delete;
    ScanRecoder& operator=(const ScanRecoder&) = delete;

    // Reads MCUs [first, mcu) of `scan` from `from` (where MCU `first`
    // starts) and appends their codes, restart markers included, to `out` as
    // whole bytes; the bits of a byte begun stay for the next run. `at` is
    // where MCU `mcu` starts in `scan`, `written` where it starts in all
    // that was written (bytes so far, bits begun, the same predictions).
    // False when a table lacks a code or the scan does not read.
    bool Code(std::string_view scan, const ScanPoint& from, long first, long mcu, ScanPoint& at, ScanPoint& written,
              std::string& out);
    // The same into the `capacity` bytes at `out`, after what earlier runs
    // wrote there: bytes already written never move, so that another thread
    // may read them meanwhile. False too when the codes do not fit.
    bool Code(std::string_view scan, const ScanPoint& from, long first, long mcu, ScanPoint& at, ScanPoint& written,
              char* out, std::size_t capacity);
    // The bits of the byte begun last (its `bits` low bits).
    unsigned Pending(int& bits);
    // Goes back to where an earlier run ended (`written`, from Code), with
    // the bits of the byte begun there (its first `written.Bit` bits): what
    // comes next is written from there on.
    void Rewind(const ScanPoint& written, unsigned lead);

private:
    bool Coded(std::size_t bytes, const ScanPoint& at, ScanPoint& written);

    struct State;
    std::unique_ptr<State> state;
    const jpeg_decompress_struct& info;
    bool ready = false;
};

// Reads MCUs [first, mcu) of `coded` in the tables `dc` and `ac` from
// `from`: true when they end exactly at `expected` (offset, bit and
// predictions). The check of what a ScanRecoder wrote.
bool CheckScanPart(const jpeg_decompress_struct& info, std::string_view coded, const JHUFF_TBL* const* dc,
                   const JHUFF_TBL* const* ac, const ScanPoint& from, long first, long mcu, const ScanPoint& expected);

// Where the scan's coded data ends: the offset of the marker (less any fill
// bytes before it) that is not a restart marker, or npos.
std::size_t ScanEnd(std::string_view scan);

// Appends to `out` the `bits` (0-7) low bits of `lead` followed by `coded`
// (stuffed coded bytes without markers; of its last byte only the first
// `lastBits`), stuffed again, the last byte filled with one bits.
void AppendShifted(std::string& out, unsigned lead, int bits, std::string_view coded, int lastBits = 8);

// Appends `coded` (whole stuffed bytes without markers) to the `capacity`
// bytes at `out`, of which `used` are written, after the `bits` (0-7) low
// bits of `lead`, stuffed again; the bits of the byte begun are left in
// `lead` (as many as before). False when the room is too small.
bool AppendCodedBits(char* out, std::size_t capacity, std::size_t& used, unsigned& lead, int& bits,
                     std::string_view coded);

// Adds `delta` (mod 8) to the number of every restart marker in `coded`.
void RenumberRestarts(std::string& coded, int delta);
