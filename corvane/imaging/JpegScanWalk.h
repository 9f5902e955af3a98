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
    // The bits of the byte begun last (its `bits` low bits).
    unsigned Pending(int& bits);

private:
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

// Adds `delta` (mod 8) to the number of every restart marker in `coded`.
void RenumberRestarts(std::string& coded, int delta);
