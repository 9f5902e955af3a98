// The stored samples of one TIFF page in memory, in the page's own layout,
// with the conversions between them and a BGRA premultiplied canvas.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <tiffio.h>

#include "Bitmap.h"
#include "HResult.h"

class CTiffFrame {
public:
    using SizeSink = std::function<HRESULT(std::uint32_t width, std::uint32_t height)>;
    // Called for each row while the frame holds it; PixelToBgra reads its pixels.
    using RowSink = std::function<void(std::uint32_t y, const CTiffFrame& frame)>;

    // Reads the current directory. Layouts we cannot convert both ways fail
    // with `error` naming what is unsupported.
    HRESULT Read(TIFF* tiff, std::string* error);
    // Reads the current directory a band at a time (a strip, a row of tiles,
    // or single rows of a strip too large to hold) and hands every row, top
    // to bottom, to `sink`, after `start` has been told the size (its failure
    // ends the read). Memory follows the band and the width, never the height.
    HRESULT ReadRows(TIFF* tiff, const SizeSink& start, const RowSink& sink, std::string* error);
    // One pixel as BGRA premultiplied; the row must be held (after Read, or inside ReadRows' sink).
    void PixelToBgra(std::uint32_t x, std::uint32_t y, std::uint8_t* bgra) const;
    HRESULT ToBitmap(CBitmap& bitmap, std::string* error) const;
    // Converts back the pixels where `after` differs from `before`.
    void Patch(const CBitmap& before, const CBitmap& after);
    // Writes the samples as the strips or tiles of `out`'s current
    // directory, whose tags must already describe this page.
    HRESULT Write(TIFF* out, std::string* error) const;

private:
    enum class Alpha { None, Associated, Unassociated };

    HRESULT CheckLayout(TIFF* tiff, std::string* error);
    HRESULT SizeRefused(std::string* error) const;
    HRESULT AllocateBand(std::uint32_t rows, std::string* error);
    HRESULT CheckStrips(TIFF* tiff, std::string* error) const;
    // The strip that starts at row `y`, of every plane.
    HRESULT ReadStrip(TIFF* tiff, std::uint32_t y, std::string* error);
    // The row of tiles that starts at row `y`, of every plane.
    HRESULT ReadTileRow(TIFF* tiff, std::uint32_t y, std::vector<std::uint8_t>& tile, std::string* error);
    HRESULT WriteTiles(TIFF* out, std::string* error) const;
    std::uint8_t* PlaneRow(int plane, std::uint32_t y) const;
    unsigned Sample(std::uint32_t x, std::uint32_t y, int s) const;
    void SetSample(std::uint32_t x, std::uint32_t y, int s, unsigned value);
    void BgraToPixel(const std::uint8_t* bgra, std::uint32_t x, std::uint32_t y);
    unsigned To8(unsigned value) const;
    unsigned From8(unsigned value) const;
    unsigned NearestPaletteIndex(unsigned r, unsigned g, unsigned b) const;

    std::uint32_t width_ = 0, height_ = 0;
    std::uint16_t bits_ = 8, samples_ = 1, photometric_ = 0, planar_ = PLANARCONFIG_CONTIG;
    int colourSamples_ = 1;
    int alphaSample_ = -1;
    Alpha alpha_ = Alpha::None;
    bool tiled_ = false;
    std::uint32_t rowsPerStrip_ = 0, tileWidth_ = 0, tileHeight_ = 0;
    std::vector<std::uint8_t> palette_;  // red, green, blue of each entry, narrowed to 8 bits
    int planes_ = 1;
    size_t rowBytes_ = 0;
    // The rows held: [bandTop_, bandTop_ + bandRows_) of each plane; the whole page after Read.
    std::uint32_t bandTop_ = 0, bandRows_ = 0;
    std::unique_ptr<std::uint8_t[]> data_;
};
