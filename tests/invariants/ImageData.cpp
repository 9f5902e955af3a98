#include "ImageData.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "TestSupport.h"

namespace invariants {

namespace {

size_t SegmentLength(const std::string& j, size_t at)
{
    return at + 4 <= j.size() ? (static_cast<unsigned char>(j[at + 2]) << 8 | static_cast<unsigned char>(j[at + 3])) : 0;
}

bool IsMetadataMarker(unsigned char m)
{
    return (m >= 0xE0 && m <= 0xEF) || m == 0xFE;
}

// From the first SOS to the EOI that ends the image: entropy-coded data may
// hold 0xFF only before 0x00 or a restart marker; any other marker is a
// segment between scans (progressive JPEG) and is skipped by its length.
size_t EndOfScans(const std::string& j, size_t sos)
{
    size_t pos = sos + 2 + SegmentLength(j, sos);
    while (pos + 1 < j.size()) {
        if (static_cast<unsigned char>(j[pos]) != 0xFF) {
            ++pos;
            continue;
        }
        const unsigned char m = static_cast<unsigned char>(j[pos + 1]);
        if (m == 0x00 || m == 0xFF || (m >= 0xD0 && m <= 0xD7)) {
            pos += m == 0xFF ? 1 : 2;
        } else if (m == 0xD9) {
            return pos + 2;
        } else {
            const size_t length = SegmentLength(j, pos);
            if (length < 2) return j.size();
            pos += 2 + length;
        }
    }
    return j.size();
}

}  // namespace

std::string JpegImageData(const std::string& j)
{
    if (j.size() < 4 || static_cast<unsigned char>(j[0]) != 0xFF || static_cast<unsigned char>(j[1]) != 0xD8) return {};
    std::string data;
    size_t pos = 2;
    while (pos + 4 <= j.size()) {
        if (static_cast<unsigned char>(j[pos]) != 0xFF) return {};
        const unsigned char m = static_cast<unsigned char>(j[pos + 1]);
        if (m == 0xFF) {
            ++pos;
            continue;
        }
        if (m == 0xDA) return data + j.substr(pos, EndOfScans(j, pos) - pos);
        const size_t length = SegmentLength(j, pos);
        if (length < 2 || pos + 2 + length > j.size()) return {};
        if (!IsMetadataMarker(m)) data += j.substr(pos, 2 + length);
        pos += 2 + length;
    }
    return {};
}

std::vector<std::string> TiffImageData(const std::filesystem::path& file)
{
    std::vector<std::string> pages;
    TIFFErrorHandler oldError = TIFFSetErrorHandler(nullptr);
    TIFFErrorHandler oldWarning = TIFFSetWarningHandler(nullptr);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(file.c_str(), "r"), TIFFClose);
    if (tif) {
        do {
            std::string page;
            const bool tiled = TIFFIsTiled(tif.get());
            const std::uint32_t count = tiled ? TIFFNumberOfTiles(tif.get()) : TIFFNumberOfStrips(tif.get());
            std::uint64_t* sizes = nullptr;
            TIFFGetField(tif.get(), tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &sizes);
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint64_t size = sizes ? std::min<std::uint64_t>(sizes[i], 1u << 30) : 0;
                std::string piece(static_cast<size_t>(size), '\0');
                if (size > 0) {
                    const tmsize_t got = tiled ? TIFFReadRawTile(tif.get(), i, &piece[0], static_cast<tmsize_t>(size))
                                               : TIFFReadRawStrip(tif.get(), i, &piece[0], static_cast<tmsize_t>(size));
                    piece.resize(got > 0 ? static_cast<size_t>(got) : 0);
                }
                page += std::to_string(piece.size()) + ":" + piece;
            }
            pages.push_back(std::move(page));
        } while (TIFFReadDirectory(tif.get()));
    }
    TIFFSetErrorHandler(oldError);
    TIFFSetWarningHandler(oldWarning);
    return pages;
}

std::string ImageDataOf(const std::filesystem::path& file, bool* found)
{
    const std::string bytes = testsupport::ReadFile(file);
    std::string data;
    if (bytes.rfind("\xFF\xD8", 0) == 0) {
        data = JpegImageData(bytes);
    } else {
        for (const std::string& page : TiffImageData(file)) data += std::to_string(page.size()) + "|" + page;
    }
    if (found) *found = !data.empty();
    return data;
}

}  // namespace invariants
