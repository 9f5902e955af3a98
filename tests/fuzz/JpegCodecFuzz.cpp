// A hostile JPEG through the decoder as stamps and thumbnails use it,
// through the re-encode of a stamped canvas, through the block-level stamp
// of a band at its bottom (the coded data before the band copied or written
// again), and through reading its codes with one thread and with two, which
// must agree.
#include <algorithm>
#include <string_view>

#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "JpegBlockRecode.h"
#include "JpegCodec.h"
#include "JpegLibrary.h"
#include "JpegScanWalk.h"
#include "JpegSegments.h"
#include "PixelFuzzSupport.h"

namespace {

void CheckWalks(std::string_view bytes)
{
    jpegio::JpegDecompressor d;
    if (!jpegio::OpenDecompressor(d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ||
        !IsWalkableScan(d.Info))
        return;
    const std::string_view scan = bytes.substr(JpegHeaderOf(bytes).size());
    const long total = McusPerRow(d.Info) * McuRows(d.Info);
    for (const long mcu : {total / 2, total - 1}) {
        ScanPoint one, two;
        const bool read = WalkScan(d.Info, scan, mcu, one);
        FuzzCheck(WalkScanInParallel(d.Info, scan, mcu, two, 0) == read, "two threads read as far as one");
        FuzzCheck(!read || (one.Offset == two.Offset && one.Bit == two.Bit &&
                            std::equal(one.Predictions, one.Predictions + 4, two.Predictions)),
                  "two threads find the cut one finds");
    }
}

}  // namespace

int FuzzJpegCodec(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    int width = 0, height = 0;
    if (FAILED(ReadJpegSize(bytes, width, height, &error))) return 0;

    // The thumbnail's decode: tolerant of damage, at a small DCT scale.
    JpegDecodeOptions thumbnail;
    thumbnail.Strict = false;
    thumbnail.ScaleEighths = std::max(width, height) > 768 ? 1 : 4;
    CBitmap small;
    DecodeJpeg(bytes, small, &error, thumbnail);

    ReencodeAndCheck(bytes, PictureFormatJpeg);
    CheckWalks(bytes);

    // A stamp never makes a picture the decoder reads unreadable. (A picture
    // taller or wider than a canvas may be is stamped block by block, but
    // not decoded whole.)
    CBitmap before;
    const bool decodes = SUCCEEDED(DecodeJpeg(bytes, before, &error));
    const std::vector<PixelRect> band{{0, height - std::max(1, height / 8), width, height}};
    std::string stamped;
    if (SUCCEEDED(RecodeJpegBlocks(bytes, band, [](CBitmap& pixels, int, int) { return DrawFuzzBand(pixels); },
                                   stamped, &error))) {
        CBitmap after;
        if (decodes)
            FuzzCheck(SUCCEEDED(DecodeJpeg(stamped, after, &error)), "a picture stamped block by block decodes");
        int stampedWidth = 0, stampedHeight = 0;
        FuzzCheck(SUCCEEDED(ReadJpegSize(stamped, stampedWidth, stampedHeight, &error)) && stampedWidth == width &&
                      stampedHeight == height,
                  "a picture stamped block by block keeps its size");
    }
    return 0;
}
