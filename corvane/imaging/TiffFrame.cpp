#include "TiffFrame.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

HRESULT Unsupported(const std::string& what, std::string* error)
{
    if (error) *error = "unsupported TIFF pixel layout: " + what;
    return E_NOTIMPL;
}

// A band of rows read at once while streaming; a strip larger than this is read row by row.
constexpr std::uint64_t kMaxBandBytes = std::uint64_t{16} << 20;
// Rows are converted one at a time, so only the width needs a bound.
constexpr std::uint32_t kMaxStreamedWidth = std::uint32_t{1} << 20;

unsigned Premultiply(unsigned c, unsigned a) { return (c * a + 127) / 255; }
unsigned Unpremultiply(unsigned c, unsigned a) { return a ? std::min(255u, (c * 255 + a / 2) / a) : 0; }

}  // namespace

HRESULT CTiffFrame::SizeRefused(std::string* error) const
{
    if (error)
        *error = "picture size " + std::to_string(width_) + " x " + std::to_string(height_) + " is empty or too large";
    return E_INVALIDARG;
}

HRESULT CTiffFrame::CheckLayout(TIFF* tiff, std::string* error)
{
    std::uint16_t compression = COMPRESSION_NONE, format = SAMPLEFORMAT_UINT, inkset = INKSET_CMYK;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width_);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height_);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits_);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples_);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar_);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkset);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric_)) return Unsupported("no photometric", error);
    if (width_ == 0 || height_ == 0) return SizeRefused(error);
    if (format != SAMPLEFORMAT_UINT) return Unsupported("samples that are not unsigned integers", error);
    if (bits_ != 1 && bits_ != 2 && bits_ != 4 && bits_ != 8 && bits_ != 16)
        return Unsupported(std::to_string(bits_) + " bits per sample", error);
    if (compression == COMPRESSION_OJPEG) return Unsupported("old-style JPEG compression cannot be written", error);
    if (!TIFFIsCODECConfigured(compression)) return Unsupported("compression " + std::to_string(compression), error);

    switch (photometric_) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: colourSamples_ = 1; break;
    case PHOTOMETRIC_PALETTE: colourSamples_ = 1; break;
    case PHOTOMETRIC_RGB: colourSamples_ = 3; break;
    case PHOTOMETRIC_SEPARATED:
        if (inkset != INKSET_CMYK) return Unsupported("separated samples that are not CMYK", error);
        colourSamples_ = 4;
        break;
    case PHOTOMETRIC_YCBCR:
        // The JPEG codec converts to and from RGB itself.
        if (compression != COMPRESSION_JPEG) return Unsupported("YCbCr without JPEG compression", error);
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        colourSamples_ = 3;
        break;
    default: return Unsupported("photometric " + std::to_string(photometric_), error);
    }
    if (samples_ < colourSamples_) return Unsupported("too few samples per pixel", error);
    if ((photometric_ == PHOTOMETRIC_SEPARATED || photometric_ == PHOTOMETRIC_YCBCR) && bits_ != 8)
        return Unsupported(std::to_string(bits_) + "-bit CMYK or YCbCr", error);

    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) && extraCount > 0 && extra &&
        samples_ > colourSamples_) {
        if (extra[0] == EXTRASAMPLE_ASSOCALPHA) alpha_ = Alpha::Associated;
        if (extra[0] == EXTRASAMPLE_UNASSALPHA) alpha_ = Alpha::Unassociated;
        if (alpha_ != Alpha::None) alphaSample_ = colourSamples_;
    }
    if (photometric_ == PHOTOMETRIC_PALETTE) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (bits_ > 8 || !TIFFGetField(tiff, TIFFTAG_COLORMAP, &r, &g, &b)) return Unsupported("bad palette", error);
        const size_t n = size_t{1} << bits_;
        // Some old writers store 8-bit entries; then every entry is below 256.
        const bool wide = std::any_of(r, r + n, [](std::uint16_t v) { return v > 255; }) ||
                          std::any_of(g, g + n, [](std::uint16_t v) { return v > 255; }) ||
                          std::any_of(b, b + n, [](std::uint16_t v) { return v > 255; });
        palette_.resize(n * 3);
        for (size_t i = 0; i < n; ++i) {
            palette_[i * 3] = static_cast<std::uint8_t>(wide ? r[i] >> 8 : r[i]);
            palette_[i * 3 + 1] = static_cast<std::uint8_t>(wide ? g[i] >> 8 : g[i]);
            palette_[i * 3 + 2] = static_cast<std::uint8_t>(wide ? b[i] >> 8 : b[i]);
        }
    }
    planes_ = planar_ == PLANARCONFIG_SEPARATE ? samples_ : 1;
    const std::uint64_t pixelBits = std::uint64_t{bits_} * (planes_ == 1 ? samples_ : 1);
    rowBytes_ = static_cast<size_t>((std::uint64_t{width_} * pixelBits + 7) / 8);
    if (static_cast<std::uint64_t>(TIFFScanlineSize64(tiff)) != rowBytes_) return Unsupported("row size", error);
    tiled_ = TIFFIsTiled(tiff);
    if (tiled_) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth_);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight_);
        if (tileWidth_ == 0 || tileHeight_ == 0 || tileWidth_ % 16 || tileHeight_ % 16 ||
            static_cast<std::uint64_t>(TIFFTileSize64(tiff)) > kMaxBandBytes)
            return Unsupported("tile size", error);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip_);
        rowsPerStrip_ = std::clamp<std::uint32_t>(rowsPerStrip_, 1, height_);
    }
    return S_OK;
}

std::uint8_t* CTiffFrame::PlaneRow(int plane, std::uint32_t y) const
{
    return data_.get() + (static_cast<size_t>(plane) * bandRows_ + (y - bandTop_)) * rowBytes_;
}

HRESULT CTiffFrame::AllocateBand(std::uint32_t rows, std::string* error)
{
    data_.reset(new (std::nothrow) std::uint8_t[rowBytes_ * rows * planes_]);
    if (!data_) {
        if (error) *error = "out of memory for a TIFF page";
        return E_OUTOFMEMORY;
    }
    bandTop_ = 0;
    bandRows_ = rows;
    return S_OK;
}

HRESULT CTiffFrame::Read(TIFF* tiff, std::string* error)
{
    HRESULT hr = CheckLayout(tiff, error);
    if (FAILED(hr)) return hr;
    if (!CBitmap::SizeAllowed(width_, height_)) return SizeRefused(error);
    if (std::uint64_t{rowBytes_} * height_ * planes_ > CBitmap::MaxBytes)
        return Unsupported("the page is too large", error);
    if (FAILED(hr = AllocateBand(height_, error))) return hr;
    if (tiled_) {
        std::vector<std::uint8_t> tile(static_cast<size_t>(TIFFTileSize64(tiff)));
        for (std::uint32_t y = 0; y < height_ && SUCCEEDED(hr); y += tileHeight_) hr = ReadTileRow(tiff, y, tile, error);
        return hr;
    }
    if (FAILED(hr = CheckStrips(tiff, error))) return hr;
    for (std::uint32_t y = 0; y < height_ && SUCCEEDED(hr); y += rowsPerStrip_) hr = ReadStrip(tiff, y, error);
    return hr;
}

HRESULT CTiffFrame::CheckStrips(TIFF* tiff, std::string* error) const
{
    const std::uint32_t perPlane = (height_ + rowsPerStrip_ - 1) / rowsPerStrip_;
    if (TIFFNumberOfStrips(tiff) < std::uint64_t{perPlane} * planes_) return Unsupported("missing strips", error);
    return S_OK;
}

HRESULT CTiffFrame::ReadStrip(TIFF* tiff, std::uint32_t y, std::string* error)
{
    const std::uint32_t perPlane = (height_ + rowsPerStrip_ - 1) / rowsPerStrip_;
    const std::uint32_t i = y / rowsPerStrip_;
    const std::uint32_t rows = std::min(rowsPerStrip_, height_ - y);
    const tmsize_t want = static_cast<tmsize_t>(rows * rowBytes_);
    for (int plane = 0; plane < planes_; ++plane) {
        const std::uint32_t strip = static_cast<std::uint32_t>(plane) * perPlane + i;
        if (TIFFReadEncodedStrip(tiff, strip, PlaneRow(plane, y), want) != want) {
            if (error) *error = "damaged TIFF strip " + std::to_string(strip);
            return E_FAIL;
        }
    }
    return S_OK;
}

HRESULT CTiffFrame::ReadTileRow(TIFF* tiff, std::uint32_t y, std::vector<std::uint8_t>& tile, std::string* error)
{
    const size_t tileRow = static_cast<size_t>(TIFFTileRowSize64(tiff));
    const std::uint64_t pixelBits = std::uint64_t{bits_} * (planes_ == 1 ? samples_ : 1);
    for (int plane = 0; plane < planes_; ++plane)
        for (std::uint32_t x = 0; x < width_; x += tileWidth_) {
            const ttile_t index = TIFFComputeTile(tiff, x, y, 0, static_cast<std::uint16_t>(plane));
            if (TIFFReadEncodedTile(tiff, index, tile.data(), static_cast<tmsize_t>(tile.size())) < 0) {
                if (error) *error = "damaged TIFF tile " + std::to_string(index);
                return E_FAIL;
            }
            const size_t offset = static_cast<size_t>(x * pixelBits / 8);
            const size_t count = std::min(tileRow, rowBytes_ - offset);
            for (std::uint32_t r = 0; r < tileHeight_ && y + r < height_; ++r)
                std::memcpy(PlaneRow(plane, y + r) + offset, tile.data() + r * tileRow, count);
        }
    return S_OK;
}

HRESULT CTiffFrame::ReadRows(TIFF* tiff, const SizeSink& start, const RowSink& sink, std::string* error)
{
    HRESULT hr = CheckLayout(tiff, error);
    if (FAILED(hr)) return hr;
    if (width_ > kMaxStreamedWidth) return SizeRefused(error);
    const std::uint32_t bandRows = tiled_ ? tileHeight_ : rowsPerStrip_;
    const bool bandFits = std::uint64_t{rowBytes_} * bandRows * planes_ <= kMaxBandBytes;
    if (!bandFits && (tiled_ || planes_ > 1)) return Unsupported("strips or tiles too large to read in parts", error);
    if (!tiled_ && FAILED(hr = CheckStrips(tiff, error))) return hr;
    if (FAILED(hr = start(width_, height_)) || FAILED(hr = AllocateBand(bandFits ? bandRows : 1, error))) return hr;
    std::vector<std::uint8_t> tile(tiled_ ? static_cast<size_t>(TIFFTileSize64(tiff)) : 0);
    for (std::uint64_t top = 0; top < height_; top += bandRows_) {
        const auto y = static_cast<std::uint32_t>(top);
        const auto end = static_cast<std::uint32_t>(std::min<std::uint64_t>(height_, top + bandRows_));
        bandTop_ = y;
        if (tiled_) {
            hr = ReadTileRow(tiff, y, tile, error);
        } else if (bandFits) {
            hr = ReadStrip(tiff, y, error);
        } else if (TIFFReadScanline(tiff, PlaneRow(0, y), y, 0) < 0) {  // one row of a strip too large to hold
            if (error) *error = "damaged TIFF row " + std::to_string(y);
            hr = E_FAIL;
        }
        if (FAILED(hr)) return hr;
        for (std::uint32_t row = y; row < end; ++row) sink(row, *this);
    }
    return S_OK;
}

HRESULT CTiffFrame::Write(TIFF* out, std::string* error) const
{
    if (tiled_) return WriteTiles(out, error);
    const std::uint32_t perPlane = (height_ + rowsPerStrip_ - 1) / rowsPerStrip_;
    for (int plane = 0; plane < planes_; ++plane)
        for (std::uint32_t i = 0; i < perPlane; ++i) {
            const std::uint32_t y = i * rowsPerStrip_;
            const std::uint32_t rows = std::min(rowsPerStrip_, height_ - y);
            const tmsize_t size = static_cast<tmsize_t>(rows * rowBytes_);
            if (TIFFWriteEncodedStrip(out, plane * perPlane + i, PlaneRow(plane, y), size) != size) {
                if (error) *error = "TIFF strip cannot be written";
                return E_FAIL;
            }
        }
    return S_OK;
}

HRESULT CTiffFrame::WriteTiles(TIFF* out, std::string* error) const
{
    std::vector<std::uint8_t> tile(static_cast<size_t>(TIFFTileSize64(out)));
    const size_t tileRow = static_cast<size_t>(TIFFTileRowSize64(out));
    const std::uint64_t pixelBits = std::uint64_t{bits_} * (planes_ == 1 ? samples_ : 1);
    for (int plane = 0; plane < planes_; ++plane)
        for (std::uint32_t y = 0; y < height_; y += tileHeight_)
            for (std::uint32_t x = 0; x < width_; x += tileWidth_) {
                std::fill(tile.begin(), tile.end(), 0);
                const size_t offset = static_cast<size_t>(x * pixelBits / 8);
                const size_t count = std::min(tileRow, rowBytes_ - offset);
                for (std::uint32_t r = 0; r < tileHeight_ && y + r < height_; ++r)
                    std::memcpy(tile.data() + r * tileRow, PlaneRow(plane, y + r) + offset, count);
                const ttile_t index = TIFFComputeTile(out, x, y, 0, static_cast<std::uint16_t>(plane));
                if (TIFFWriteEncodedTile(out, index, tile.data(), static_cast<tmsize_t>(tile.size())) < 0) {
                    if (error) *error = "TIFF tile cannot be written";
                    return E_FAIL;
                }
            }
    return S_OK;
}

unsigned CTiffFrame::Sample(std::uint32_t x, std::uint32_t y, int s) const
{
    const int plane = planes_ == 1 ? 0 : s;
    const size_t index = planes_ == 1 ? static_cast<size_t>(x) * samples_ + s : x;
    const std::uint8_t* row = PlaneRow(plane, y);
    if (bits_ == 8) return row[index];
    if (bits_ == 16) {
        std::uint16_t v;  // native order: libtiff swaps on reading
        std::memcpy(&v, row + index * 2, 2);
        return v;
    }
    const size_t bit = index * bits_;
    return (row[bit >> 3] >> (8 - bits_ - (bit & 7))) & ((1u << bits_) - 1);
}

void CTiffFrame::SetSample(std::uint32_t x, std::uint32_t y, int s, unsigned value)
{
    const int plane = planes_ == 1 ? 0 : s;
    const size_t index = planes_ == 1 ? static_cast<size_t>(x) * samples_ + s : x;
    std::uint8_t* row = PlaneRow(plane, y);
    if (bits_ == 8) {
        row[index] = static_cast<std::uint8_t>(value);
    } else if (bits_ == 16) {
        const std::uint16_t v = static_cast<std::uint16_t>(value);
        std::memcpy(row + index * 2, &v, 2);
    } else {
        const size_t bit = index * bits_;
        const unsigned shift = 8 - bits_ - (bit & 7);
        const unsigned mask = ((1u << bits_) - 1) << shift;
        row[bit >> 3] = static_cast<std::uint8_t>((row[bit >> 3] & ~mask) | ((value << shift) & mask));
    }
}

unsigned CTiffFrame::To8(unsigned value) const
{
    const unsigned max = (1u << bits_) - 1;
    return (value * 255 + max / 2) / max;
}

unsigned CTiffFrame::From8(unsigned value) const
{
    const unsigned max = (1u << bits_) - 1;
    return (value * max + 127) / 255;
}

void CTiffFrame::PixelToBgra(std::uint32_t x, std::uint32_t y, std::uint8_t* bgra) const
{
    unsigned r = 0, g = 0, b = 0;
    switch (photometric_) {
    case PHOTOMETRIC_MINISBLACK: r = g = b = To8(Sample(x, y, 0)); break;
    case PHOTOMETRIC_MINISWHITE: r = g = b = 255 - To8(Sample(x, y, 0)); break;
    case PHOTOMETRIC_PALETTE: {
        const size_t i = Sample(x, y, 0);
        r = palette_[i * 3], g = palette_[i * 3 + 1], b = palette_[i * 3 + 2];
        break;
    }
    case PHOTOMETRIC_SEPARATED: {
        const unsigned k = 255 - Sample(x, y, 3);
        r = (255 - Sample(x, y, 0)) * k / 255, g = (255 - Sample(x, y, 1)) * k / 255,
        b = (255 - Sample(x, y, 2)) * k / 255;
        break;
    }
    default: r = To8(Sample(x, y, 0)), g = To8(Sample(x, y, 1)), b = To8(Sample(x, y, 2)); break;
    }
    unsigned a = alphaSample_ >= 0 ? To8(Sample(x, y, alphaSample_)) : 255;
    if (alpha_ == Alpha::Unassociated) {
        r = Premultiply(r, a), g = Premultiply(g, a), b = Premultiply(b, a);
    } else if (alpha_ == Alpha::Associated) {
        // A damaged file may hold colour above its alpha; the canvas must not.
        r = std::min(r, a), g = std::min(g, a), b = std::min(b, a);
    }
    bgra[0] = static_cast<std::uint8_t>(b);
    bgra[1] = static_cast<std::uint8_t>(g);
    bgra[2] = static_cast<std::uint8_t>(r);
    bgra[3] = static_cast<std::uint8_t>(a);
}

unsigned CTiffFrame::NearestPaletteIndex(unsigned r, unsigned g, unsigned b) const
{
    unsigned best = 0, bestDistance = ~0u;
    for (size_t i = 0; i < palette_.size() / 3; ++i) {
        const int dr = int(palette_[i * 3]) - int(r), dg = int(palette_[i * 3 + 1]) - int(g),
                  db = int(palette_[i * 3 + 2]) - int(b);
        const unsigned distance = static_cast<unsigned>(dr * dr + dg * dg + db * db);
        if (distance < bestDistance) bestDistance = distance, best = static_cast<unsigned>(i);
    }
    return best;
}

void CTiffFrame::BgraToPixel(const std::uint8_t* bgra, std::uint32_t x, std::uint32_t y)
{
    const unsigned a = bgra[3];
    unsigned b = bgra[0], g = bgra[1], r = bgra[2];
    if (alpha_ != Alpha::Associated) r = Unpremultiply(r, a), g = Unpremultiply(g, a), b = Unpremultiply(b, a);
    switch (photometric_) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE: {
        const unsigned grey = (299 * r + 587 * g + 114 * b + 500) / 1000;
        SetSample(x, y, 0, From8(photometric_ == PHOTOMETRIC_MINISWHITE ? 255 - grey : grey));
        break;
    }
    case PHOTOMETRIC_PALETTE: SetSample(x, y, 0, NearestPaletteIndex(r, g, b)); break;
    case PHOTOMETRIC_SEPARATED: {
        const unsigned k = 255 - std::max(r, std::max(g, b));
        const unsigned rest = 255 - k;
        SetSample(x, y, 0, rest ? (rest - r) * 255 / rest : 0);
        SetSample(x, y, 1, rest ? (rest - g) * 255 / rest : 0);
        SetSample(x, y, 2, rest ? (rest - b) * 255 / rest : 0);
        SetSample(x, y, 3, k);
        break;
    }
    default: SetSample(x, y, 0, From8(r)), SetSample(x, y, 1, From8(g)), SetSample(x, y, 2, From8(b)); break;
    }
    if (alphaSample_ >= 0) SetSample(x, y, alphaSample_, From8(a));
}

HRESULT CTiffFrame::ToBitmap(CBitmap& bitmap, std::string* error) const
{
    HRESULT hr = bitmap.Allocate(static_cast<int>(width_), static_cast<int>(height_), error);
    if (FAILED(hr)) return hr;
    for (std::uint32_t y = 0; y < height_; ++y) {
        std::uint8_t* out = bitmap.Row(static_cast<int>(y));
        for (std::uint32_t x = 0; x < width_; ++x, out += 4) PixelToBgra(x, y, out);
    }
    return S_OK;
}

void CTiffFrame::Patch(const CBitmap& before, const CBitmap& after)
{
    for (std::uint32_t y = 0; y < height_; ++y) {
        const std::uint8_t* old = before.Row(static_cast<int>(y));
        const std::uint8_t* now = after.Row(static_cast<int>(y));
        if (std::memcmp(old, now, static_cast<size_t>(width_) * 4) == 0) continue;
        for (std::uint32_t x = 0; x < width_; ++x)
            if (std::memcmp(old + x * 4, now + x * 4, 4) != 0) BgraToPixel(now + x * 4, x, y);
    }
}
