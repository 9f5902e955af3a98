// Changing part of a JPEG without re-coding the rest: the picture's DCT
// blocks are read as coefficients, only the blocks under the given regions
// are decoded to pixels, drawn on and coded again with the picture's own
// quantisation tables and sampling, and every other block is written back
// as it was. What lies outside the regions therefore decodes to exactly the
// same pixels as before (but for the one row or column beside a changed
// block that chroma upsampling blends with it). The file is written as the
// source was: progressive stays progressive, restart intervals and the
// colour profile are kept; metadata segments are left to the caller.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Bitmap.h"
#include "HResult.h"

// Draws on `pixels`, the part of the picture whose top-left pixel is
// (left, top), in the picture's stored orientation.
using BlockRegionDraw = std::function<HRESULT(CBitmap& pixels, int left, int top)>;

// `regions` are in pixels of the stored picture; they are widened to whole
// blocks (whole MCUs) and overlapping ones joined. `draw` is called once per
// joined region; blocks whose pixels it leaves as they were keep their
// coefficients. A damaged source (truncated or corrupt entropy data) is
// refused, as are tables no encoder can use when a block must be re-coded.
HRESULT RecodeJpegBlocks(std::string_view sourceBytes, const std::vector<PixelRect>& regions,
                         const BlockRegionDraw& draw, std::string& out, std::string* error);
