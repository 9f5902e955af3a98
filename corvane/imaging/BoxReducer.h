// Reduces a picture by area averaging, one row at a time: each pixel of the
// result is the rounded mean of the box of source pixels it covers. Rows are
// fed top to bottom, so a picture of any height is reduced while only one of
// its rows is held.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "HResult.h"

class CBoxReducer {
public:
    // Fits `width` x `height` into `side` x `side`, keeping the aspect ratio
    // (at least one pixel each way); never enlarges.
    HRESULT Start(std::uint32_t width, std::uint32_t height, int side, std::string* error);
    // The next source row, `width` BGRA pixels.
    void AddRow(const std::uint8_t* bgra);
    // The reduced picture, once every row has been added.
    HRESULT Finish(CBitmap& out, std::string* error);

private:
    std::uint32_t width_ = 0, height_ = 0, rowsAdded_ = 0;
    int outRow_ = 0;
    std::vector<int> columnOf_;           // the output column of each source column
    std::vector<std::uint32_t> columns_;  // source columns per output column
    std::vector<std::uint64_t> sums_;     // per output column and channel, the current output row
    CBitmap out_;
};
