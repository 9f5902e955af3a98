#include "BoxReducer.h"

#include <algorithm>

namespace {

// The first source index of output index `i` when `n` sources are reduced to `m` outputs.
std::uint32_t BoxStart(std::uint64_t i, std::uint64_t n, std::uint64_t m) { return static_cast<std::uint32_t>(i * n / m); }

}  // namespace

HRESULT CBoxReducer::Start(std::uint32_t width, std::uint32_t height, int side, std::string* error)
{
    if (width == 0 || height == 0 || side < 1) return E_INVALIDARG;
    const double scale = std::min(1.0, std::min(double(side) / width, double(side) / height));
    const int ow = std::max(1, static_cast<int>(width * scale + 0.5));
    const int oh = std::max(1, static_cast<int>(height * scale + 0.5));
    HRESULT hr = out_.Allocate(ow, oh, error);
    if (FAILED(hr)) return hr;
    width_ = width, height_ = height, rowsAdded_ = 0, outRow_ = 0;
    // Never enlarging, every box holds at least one source column and row.
    columnOf_.assign(width, 0);
    columns_.assign(static_cast<size_t>(ow), 0);
    for (int ox = 0; ox < ow; ++ox) {
        const std::uint32_t x0 = BoxStart(ox, width, ow), x1 = BoxStart(ox + 1, width, ow);
        std::fill(columnOf_.begin() + x0, columnOf_.begin() + x1, ox);
        columns_[static_cast<size_t>(ox)] = x1 - x0;
    }
    sums_.assign(static_cast<size_t>(ow) * 4, 0);
    return S_OK;
}

void CBoxReducer::AddRow(const std::uint8_t* bgra)
{
    if (rowsAdded_ >= height_) return;
    for (std::uint32_t x = 0; x < width_; ++x, bgra += 4) {
        std::uint64_t* sum = &sums_[static_cast<size_t>(columnOf_[x]) * 4];
        sum[0] += bgra[0], sum[1] += bgra[1], sum[2] += bgra[2], sum[3] += bgra[3];
    }
    ++rowsAdded_;
    const std::uint32_t y0 = BoxStart(outRow_, height_, out_.Height());
    const std::uint32_t y1 = BoxStart(outRow_ + 1, height_, out_.Height());
    if (rowsAdded_ < y1) return;
    std::uint8_t* dst = out_.Row(outRow_);
    for (size_t ox = 0; ox < columns_.size(); ++ox) {
        const std::uint64_t count = std::uint64_t{columns_[ox]} * (y1 - y0);
        for (int c = 0; c < 4; ++c) dst[ox * 4 + c] = static_cast<std::uint8_t>((sums_[ox * 4 + c] + count / 2) / count);
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    ++outRow_;
}

HRESULT CBoxReducer::Finish(CBitmap& out, std::string* error)
{
    if (out_.Empty() || rowsAdded_ != height_) {
        if (error) *error = "the picture ended before its last row";
        return E_FAIL;
    }
    out = std::move(out_);
    return S_OK;
}
