// The steps of block-level re-coding that the whole-picture path and the
// tail path share. Internal to the imaging codecs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Bitmap.h"
#include "HResult.h"
#include "JpegBlockRecode.h"
#include "JpegLibrary.h"

namespace jpegio {

// The picture's MCU grid: blocks are re-coded in whole MCUs, so that every
// component's blocks of one place change together.
struct McuGrid {
    int McuWidth = 8, McuHeight = 8;
    int Width = 0, Height = 0;  // of the picture
};

McuGrid GridOf(const jpeg_decompress_struct& info);

// `regions` widened to whole MCUs; those whose one-MCU context overlaps joined.
std::vector<PixelRect> JoinRegions(const std::vector<PixelRect>& regions, const McuGrid& g);

bool ReadCoefficients(JpegDecompressor& d, jvirt_barray_ptr*& arrays);

// Starts a compressor with the source's tables and sampling for a picture
// of `width` x `height`.
void StartLike(JpegCompressor& c, JpegDecompressor& d, int width, int height, std::string& out);

// Decodes the MCUs of `region` (a joined region, in pixels of `d`'s picture)
// with one MCU of context, lets `draw` change them, and codes the MCUs it
// changed back into `arrays`.
HRESULT RecodeRegion(JpegDecompressor& d, jvirt_barray_ptr* arrays, const McuGrid& g, const PixelRect& region,
                     const BlockRegionDraw& draw, std::string* error);

// The bottom of a single-scan sequential picture re-coded from the first
// MCU row `joined` (joined regions) reach on, everything coded before it
// copied as bytes. S_FALSE when the picture or the regions do not allow it
// (whatever was drawn is dropped); the whole-picture path is taken instead.
HRESULT RecodeJpegTail(std::string_view source, JpegDecompressor& d, const std::vector<PixelRect>& joined,
                       const BlockRegionDraw& draw, std::string& out, std::string* error);

}  // namespace jpegio
