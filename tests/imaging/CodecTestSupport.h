// Independent readers for the codec tests: the coded layout of a JPEG read
// straight from its markers, and the pages of a TIFF read through libtiff.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tiffio.h>

#include "Bitmap.h"

namespace codectest {

// Offset of the main frame header (SOF0/1/2) found by walking the segments,
// so that a thumbnail inside APP1 is never taken for it; npos when absent.
inline size_t FrameHeaderOffset(const std::string& jpeg)
{
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
        const int marker = static_cast<unsigned char>(jpeg[pos + 1]);
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) return pos;
        pos += 2 + ((static_cast<unsigned char>(jpeg[pos + 2]) << 8) | static_cast<unsigned char>(jpeg[pos + 3]));
    }
    return std::string::npos;
}

struct JpegLayout {
    int Width = 0, Height = 0;
    std::vector<std::array<int, 4>> Components;  // id, h, v, table
    std::map<int, std::vector<int>> Tables;      // DQT id -> 64 values in stream order
    bool Progressive = false;
    bool Valid = false;
};

// Walks the markers up to the first scan.
inline JpegLayout ReadJpegLayout(const std::string& jpeg)
{
    JpegLayout layout;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(jpeg[i]); };
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && byte(pos) == 0xFF) {
        const int marker = byte(pos + 1);
        const size_t length = (byte(pos + 2) << 8) | byte(pos + 3);
        const size_t body = pos + 4, end = pos + 2 + length;
        if (end > jpeg.size()) break;
        if (marker == 0xDB) {
            for (size_t p = body; p < end;) {
                const int precision = byte(p) >> 4, id = byte(p) & 15;
                std::vector<int> values;
                for (int i = 0; i < 64; ++i)
                    values.push_back(precision ? (byte(p + 1 + 2 * i) << 8) | byte(p + 2 + 2 * i) : byte(p + 1 + i));
                layout.Tables[id] = values;
                p += 1 + 64 * (precision ? 2 : 1);
            }
        } else if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            layout.Progressive = marker == 0xC2;
            layout.Height = (byte(body + 1) << 8) | byte(body + 2);
            layout.Width = (byte(body + 3) << 8) | byte(body + 4);
            for (int c = 0; c < byte(body + 5); ++c) {
                const size_t q = body + 6 + 3 * c;
                layout.Components.push_back({byte(q), byte(q + 1) >> 4, byte(q + 1) & 15, byte(q + 2)});
            }
        } else if (marker == 0xDA) {
            layout.Valid = !layout.Components.empty();
            break;
        }
        pos = end;
    }
    return layout;
}

// The quantisation table of each component, in component order (a stream
// may define tables no component uses; those are not part of the coding).
inline std::vector<std::vector<int>> ComponentTables(const JpegLayout& layout)
{
    std::vector<std::vector<int>> tables;
    for (const auto& c : layout.Components) {
        auto it = layout.Tables.find(c[3]);
        tables.push_back(it == layout.Tables.end() ? std::vector<int>() : it->second);
    }
    return tables;
}

struct TiffPage {
    std::uint32_t Width = 0, Height = 0;
    std::uint16_t Compression = 0, Bits = 0, Samples = 0, Photometric = 0, Planar = 0;
    std::vector<std::uint16_t> Extra;
    std::string Raw;  // every strip or tile as stored, one after the other
};

inline std::vector<TiffPage> ReadTiffPages(const std::string& path)
{
    std::vector<TiffPage> pages;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff) return pages;
    do {
        TiffPage page;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.Width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.Height);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &page.Compression);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &page.Bits);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &page.Samples);
        TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &page.Photometric);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &page.Planar);
        std::uint16_t count = 0;
        std::uint16_t* extra = nullptr;
        if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &extra)) page.Extra.assign(extra, extra + count);
        const bool tiled = TIFFIsTiled(tiff);
        const std::uint32_t n = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
        for (std::uint32_t i = 0; i < n; ++i) {
            std::string chunk(TIFFGetStrileByteCount(tiff, i), '\0');
            tiled ? TIFFReadRawTile(tiff, i, chunk.data(), static_cast<tmsize_t>(chunk.size()))
                  : TIFFReadRawStrip(tiff, i, chunk.data(), static_cast<tmsize_t>(chunk.size()));
            page.Raw += chunk;
        }
        pages.push_back(std::move(page));
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    return pages;
}

// Largest difference of any channel over the rows [top, bottom).
inline int MaxDifference(const CBitmap& a, const CBitmap& b, int top, int bottom)
{
    int worst = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < a.Width() * 4; ++x)
            worst = std::max(worst, std::abs(int(a.Row(y)[x]) - int(b.Row(y)[x])));
    return worst;
}

}  // namespace codectest
