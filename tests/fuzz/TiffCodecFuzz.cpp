// A hostile TIFF through the decoder and the re-encode of a stamped canvas,
// which also copies every other page.
#include <string_view>

#include "FuzzEntries.h"
#include "PixelFuzzSupport.h"

int FuzzTiffCodec(const std::uint8_t* data, std::size_t size)
{
    ReencodeAndCheck(std::string_view(reinterpret_cast<const char*>(data), size), PictureFormatTiff);
    return 0;
}
