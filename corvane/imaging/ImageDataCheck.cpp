#include "ImageDataCheck.h"

#include <algorithm>
#include <cstdint>

#include "TiffIo.h"

namespace {

// The raw bytes of strip or tile `i` of the current page, clipped to the file:
// libtiff reports the sizes it would read, estimated when the file lacks them.
std::string_view RawPiece(TIFF* tif, std::string_view file, std::uint32_t i)
{
    const bool tiled = TIFFIsTiled(tif);
    std::uint64_t* offsets = nullptr;
    std::uint64_t* sizes = nullptr;
    if (!TIFFGetField(tif, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(tif, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &sizes) || !offsets || !sizes)
        return {};
    if (offsets[i] >= file.size()) return {};
    return file.substr(static_cast<size_t>(offsets[i]),
                       static_cast<size_t>(std::min<std::uint64_t>(sizes[i], file.size() - offsets[i])));
}

std::uint32_t PieceCount(TIFF* tif)
{
    return TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
}

bool SamePage(TIFF* a, std::string_view fileA, TIFF* b, std::string_view fileB, std::string* why)
{
    std::uint16_t compressionA = 0, compressionB = 0;
    TIFFGetFieldDefaulted(a, TIFFTAG_COMPRESSION, &compressionA);
    TIFFGetFieldDefaulted(b, TIFFTAG_COMPRESSION, &compressionB);
    const std::uint32_t count = PieceCount(a);
    if (TIFFIsTiled(a) != TIFFIsTiled(b) || compressionA != compressionB || count != PieceCount(b)) {
        if (why) *why = "the layout of its image data would change";
        return false;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string_view pieceA = RawPiece(a, fileA, i);
        if (pieceA.empty() || pieceA != RawPiece(b, fileB, i)) {
            if (why) *why = pieceA.empty() ? "its image data cannot be located" : "its image data would change";
            return false;
        }
    }
    return true;
}

}  // namespace

bool SameTiffImageData(std::string_view before, std::string_view after, std::string* why)
{
    std::string error;
    auto a = CTiffHandle::OpenRead(before, &error);
    if (!a) {
        if (why) *why = "its image data cannot be read (" + error + ")";
        return false;
    }
    auto b = CTiffHandle::OpenRead(after, &error);
    if (!b) {
        if (why) *why = "the rewritten file would not be a readable TIFF (" + error + ")";
        return false;
    }
    for (;;) {
        if (!SamePage(a->Get(), before, b->Get(), after, why)) return false;
        const bool moreA = TIFFReadDirectory(a->Get()) == 1;
        const bool moreB = TIFFReadDirectory(b->Get()) == 1;
        if (moreA != moreB) {
            if (why) *why = "the rewritten file would not have the same pages";
            return false;
        }
        if (!moreA) return true;
    }
}
