#include "BoxReducer.h"

#include <algorithm>
#include <cstring>

namespace {

// The first source index of output index `i` when `n` sources are reduced to `m` outputs.
std::uint32_t BoxStart(std::uint64_t i, std::uint64_t n, std::uint64_t m) { return static_cast<std::uint32_t>(i * n / m); }

// Appends the indices of [start, end) that take part: all of them, or
// MaxSamples spread evenly (the middles of equal parts). Returns how many.
std::uint32_t Spread(std::uint32_t start, std::uint32_t end, std::vector<std::uint32_t>& out)
{
    const std::uint64_t length = end - start;
    const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, CBoxReducer::MaxSamples));
    for (std::uint32_t i = 0; i < count; ++i)
        out.push_back(start + static_cast<std::uint32_t>((2 * std::uint64_t{i} + 1) * length / (2 * count)));
    return count;
}

}  // namespace

HRESULT CBoxReducer::Start(std::uint32_t width, std::uint32_t height, int side, std::string* error)
{
    if (width == 0 || height == 0 || side < 1) return E_INVALIDARG;
    const double scale = std::min(1.0, std::min(double(side) / width, double(side) / height));
    const int ow = std::max(1, static_cast<int>(width * scale + 0.5));
    const int oh = std::max(1, static_cast<int>(height * scale + 0.5));
    HRESULT hr = out_.Allocate(ow, oh, error);
    if (FAILED(hr)) return hr;
    // Never enlarging, every box holds at least one source column and row.
    rows_.clear(), columns_.clear(), rowsPerOut_.clear(), columnOut_.clear(), columnsPerOut_.clear();
    for (int oy = 0; oy < oh; ++oy) rowsPerOut_.push_back(Spread(BoxStart(oy, height, oh), BoxStart(oy + 1, height, oh), rows_));
    for (int ox = 0; ox < ow; ++ox) {
        columnsPerOut_.push_back(Spread(BoxStart(ox, width, ow), BoxStart(ox + 1, width, ow), columns_));
        columnOut_.resize(columns_.size(), ox);
    }
    sums_.assign(static_cast<size_t>(ow) * 4, 0);
    row_.resize(columns_.size() * 4);
    nextRow_ = 0, rowsInOut_ = 0, outRow_ = 0;
    return S_OK;
}

void CBoxReducer::AddSamples(const std::uint8_t* samples)
{
    if (nextRow_ >= rows_.size()) return;
    for (size_t i = 0; i < columns_.size(); ++i, samples += 4) {
        std::uint64_t* sum = &sums_[static_cast<size_t>(columnOut_[i]) * 4];
        sum[0] += samples[0], sum[1] += samples[1], sum[2] += samples[2], sum[3] += samples[3];
    }
    ++nextRow_;
    if (++rowsInOut_ < rowsPerOut_[static_cast<size_t>(outRow_)]) return;
    std::uint8_t* dst = out_.Row(outRow_);
    for (size_t ox = 0; ox < columnsPerOut_.size(); ++ox) {
        const std::uint64_t count = std::uint64_t{columnsPerOut_[ox]} * rowsInOut_;
        for (int c = 0; c < 4; ++c) dst[ox * 4 + c] = static_cast<std::uint8_t>((sums_[ox * 4 + c] + count / 2) / count);
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    rowsInOut_ = 0;
    ++outRow_;
}

void CBoxReducer::AddRow(std::uint32_t y, const std::uint8_t* bgra)
{
    if (!UsesRow(y)) return;
    for (size_t i = 0; i < columns_.size(); ++i) std::memcpy(&row_[i * 4], bgra + size_t{columns_[i]} * 4, 4);
    AddSamples(row_.data());
}

HRESULT CBoxReducer::Finish(CBitmap& out, std::string* error)
{
    if (out_.Empty() || nextRow_ != rows_.size()) {
        if (error) *error = "the picture ended before its last row";
        return E_FAIL;
    }
    out = std::move(out_);
    return S_OK;
}
