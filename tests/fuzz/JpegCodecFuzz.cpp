// A hostile JPEG through the decoder as stamps and thumbnails use it, and
// through the re-encode of a stamped canvas.
#include <algorithm>
#include <string_view>

#include "FuzzEntries.h"
#include "JpegCodec.h"
#include "PixelFuzzSupport.h"

int FuzzJpegCodec(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    int width = 0, height = 0;
    if (FAILED(ReadJpegSize(bytes, width, height, &error))) return 0;

    // The thumbnail's decode: tolerant of damage, at a small DCT scale.
    JpegDecodeOptions thumbnail;
    thumbnail.Strict = false;
    thumbnail.ScaleEighths = std::max(width, height) > 768 ? 1 : 4;
    CBitmap small;
    DecodeJpeg(bytes, small, &error, thumbnail);

    ReencodeAndCheck(bytes, PictureFormatJpeg);
    return 0;
}
