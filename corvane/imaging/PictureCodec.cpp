#include "PictureCodec.h"

#include <charconv>

#include "JpegCodec.h"
#include "TiffCodec.h"

namespace {

// Megapixels with as few decimals as show that they exceed `limit`
// (256, but 250.3 rather than a rounded 250).
std::string MegapixelsOver(double megapixels, int limit)
{
    char buffer[64];
    for (int decimals = 0;; ++decimals) {
        const char* end = std::to_chars(buffer, buffer + sizeof buffer, megapixels, std::chars_format::fixed, decimals).ptr;
        double shown = 0;
        std::from_chars(buffer, end, shown);
        if (shown > limit || decimals == 6) return std::string(buffer, static_cast<size_t>(end - buffer));
    }
}

}  // namespace

HRESULT DecodePicture(std::string_view bytes, PictureFormat format, CBitmap& bitmap, std::string* error)
{
    if (format == PictureFormatJpeg) return DecodeJpeg(bytes, bitmap, error);
    if (format == PictureFormatTiff) return DecodeTiff(bytes, bitmap, error);
    if (error) *error = "not a JPEG or TIFF picture";
    return E_INVALIDARG;
}

HRESULT ReadPictureSize(std::string_view bytes, PictureFormat format, std::uint32_t& width, std::uint32_t& height,
                        std::string* error)
{
    if (format == PictureFormatJpeg) {
        int w = 0, h = 0;
        const HRESULT hr = ReadJpegSize(bytes, w, h, error);
        if (FAILED(hr)) return hr;
        width = static_cast<std::uint32_t>(w);
        height = static_cast<std::uint32_t>(h);
        return S_OK;
    }
    if (format == PictureFormatTiff) return ReadTiffSize(bytes, width, height, error);
    if (error) *error = "not a JPEG or TIFF picture";
    return E_INVALIDARG;
}

HRESULT CheckStampBudget(std::uint32_t width, std::uint32_t height, int maxMegapixels, std::string* error)
{
    const int limit = maxMegapixels >= 1 ? maxMegapixels : DefaultMaxStampMegapixels;
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels <= std::uint64_t(limit) * 1000000) return S_OK;
    if (error)
        *error = std::to_string(width) + " x " + std::to_string(height) + " pixels (" +
                 MegapixelsOver(static_cast<double>(pixels) / 1e6, limit) + " megapixels) is over the stamping limit of " +
                 std::to_string(limit) + " megapixels";
    return E_INVALIDARG;
}

HRESULT ReencodePicture(std::string_view sourceBytes, PictureFormat format,
                        const std::function<HRESULT(CBitmap&)>& draw, std::string& outBytes, std::string* error,
                        int maxMegapixels)
{
    std::uint32_t width = 0, height = 0;
    HRESULT hr = ReadPictureSize(sourceBytes, format, width, height, error);
    if (FAILED(hr) || FAILED(hr = CheckStampBudget(width, height, maxMegapixels, error))) return hr;
    CBitmap canvas;
    hr = DecodePicture(sourceBytes, format, canvas, error);
    if (FAILED(hr)) return hr;
    // The TIFF encoder converts back only what the drawing changed, so it
    // needs the canvas as decoded.
    CBitmap decoded;
    if (format == PictureFormatTiff && FAILED(hr = decoded.CopyFrom(canvas, error))) return hr;
    if (draw && FAILED(hr = draw(canvas))) {
        if (error && error->empty()) *error = "drawing on the picture failed";
        return hr;
    }
    std::string encoded;
    hr = format == PictureFormatJpeg ? EncodeJpegLike(sourceBytes, canvas, encoded, error)
                                     : EncodeTiffLike(sourceBytes, decoded, canvas, encoded, error);
    if (FAILED(hr)) return hr;
    outBytes = std::move(encoded);
    return S_OK;
}
