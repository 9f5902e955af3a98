// Reduces a picture by averaging boxes, one row at a time: each pixel of the
// result is the rounded mean of an evenly spread grid of at most
// MaxSamples x MaxSamples pixels of the box it covers (every pixel of boxes
// that small). Rows are fed top to bottom and only the rows and columns that
// take part are needed, so a picture of any size is reduced while one row of
// samples is held, and at a cost that follows the result rather than the picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "HResult.h"

class CBoxReducer {
public:
    static constexpr std::uint32_t MaxSamples = 8;

    // Fits `width` x `height` into `side` x `side`, keeping the aspect ratio
    // (at least one pixel each way); never enlarges.
    HRESULT Start(std::uint32_t width, std::uint32_t height, int side, std::string* error);
    // Whether source row `y` takes part.
    bool UsesRow(std::uint32_t y) const { return nextRow_ < rows_.size() && rows_[nextRow_] == y; }
    // The source columns that take part, left to right.
    const std::vector<std::uint32_t>& Columns() const { return columns_; }
    // The next row that takes part, as BGRA pixels at Columns() only.
    void AddSamples(const std::uint8_t* samples);
    // Source row `y` whole; ignored unless it takes part.
    void AddRow(std::uint32_t y, const std::uint8_t* bgra);
    // The reduced picture, once every row that takes part has been added.
    HRESULT Finish(CBitmap& out, std::string* error);

private:
    std::vector<std::uint32_t> rows_, columns_;     // the source rows and columns that take part
    std::vector<std::uint32_t> rowsPerOut_;         // rows taking part per output row
    std::vector<int> columnOut_;                    // the output column of each column taking part
    std::vector<std::uint32_t> columnsPerOut_;      // columns taking part per output column
    std::vector<std::uint64_t> sums_;               // per output column and channel, the current output row
    std::vector<std::uint8_t> row_;                 // AddRow's samples
    size_t nextRow_ = 0;
    std::uint32_t rowsInOut_ = 0;
    int outRow_ = 0;
    CBitmap out_;
};
