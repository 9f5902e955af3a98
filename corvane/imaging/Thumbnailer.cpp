#include "Thumbnailer.h"

#include <algorithm>
#include <cstring>

#include "AtomicFileWriter.h"
#include "Exiv2Native.h"
#include "JpegCodec.h"
#include "TiffCodec.h"

namespace {

struct ExifPreview {
    std::string Jpeg;     // the embedded thumbnail, when there is one
    int Orientation = 1;  // of the main picture, which the thumbnail shares
};

// Reads only the picture's metadata; a picture exiv2 cannot read simply has
// no embedded thumbnail.
ExifPreview ReadExifPreview(const std::string& path)
{
    ExifPreview preview;
    InitializeExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (orientation != exif.end() && orientation->count() > 0)
            preview.Orientation = static_cast<int>(orientation->toLong());
        Exiv2::ExifThumbC thumb(exif);
        if (std::string(thumb.mimeType()) == "image/jpeg") {
            Exiv2::DataBuf data = thumb.copy();
            preview.Jpeg.assign(reinterpret_cast<const char*>(data.pData_), data.size_);
        }
    } catch (const std::exception&) {
        // No metadata: the picture is decoded instead.
    }
    return preview;
}

// The DCT scale n/8 whose result is the smallest still covering `side` on the longer edge.
int ScaleForSide(int width, int height, int side)
{
    const long longer = std::max(width, height);
    for (int n = 1; n < 8; ++n)
        if ((longer * n + 7) / 8 >= side) return n;
    return 8;
}

HRESULT DecodeForThumbnail(const std::string& path, CBitmap& bitmap, std::string* error)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error)) return E_FAIL;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xD8) {
        int width = 0, height = 0;
        HRESULT hr = ReadJpegSize(bytes, width, height, error);
        if (FAILED(hr)) return hr;
        JpegDecodeOptions options;
        options.ScaleEighths = ScaleForSide(width, height, ThumbnailSide);
        options.Strict = false;  // a damaged picture still shows what it holds
        return DecodeJpeg(bytes, bitmap, error, options);
    }
    if (bytes.size() >= 4 && (bytes.compare(0, 2, "II") == 0 || bytes.compare(0, 2, "MM") == 0))
        return DecodeTiff(bytes, bitmap, error);
    if (error) *error = "not a JPEG or TIFF picture";
    return E_INVALIDARG;
}

}  // namespace

HRESULT FitBitmap(const CBitmap& source, int side, CBitmap& out, std::string* error)
{
    if (source.Empty() || side < 1) return E_INVALIDARG;
    const int w = source.Width(), h = source.Height();
    const double scale = std::min(1.0, std::min(double(side) / w, double(side) / h));
    const int ow = std::max(1, static_cast<int>(w * scale + 0.5)), oh = std::max(1, static_cast<int>(h * scale + 0.5));
    CBitmap fitted;
    HRESULT hr = fitted.Allocate(ow, oh, error);
    if (FAILED(hr)) return hr;
    for (int oy = 0; oy < oh; ++oy) {
        const int y0 = static_cast<int>(std::int64_t{oy} * h / oh), y1 = std::max<int>(y0 + 1, std::int64_t{oy + 1} * h / oh);
        std::uint8_t* dst = fitted.Row(oy);
        for (int ox = 0; ox < ow; ++ox, dst += 4) {
            const int x0 = static_cast<int>(std::int64_t{ox} * w / ow), x1 = std::max<int>(x0 + 1, std::int64_t{ox + 1} * w / ow);
            unsigned sum[4] = {0, 0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* p = source.Row(y) + x0 * 4;
                for (int x = x0; x < x1; ++x, p += 4)
                    for (int c = 0; c < 4; ++c) sum[c] += p[c];
            }
            const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
            for (int c = 0; c < 4; ++c) dst[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
        }
    }
    out = std::move(fitted);
    return S_OK;
}

HRESULT MakeThumbnail(const std::string& path, CBitmap& thumb, std::string* error)
{
    const ExifPreview preview = ReadExifPreview(path);
    CBitmap decoded;
    JpegDecodeOptions tolerant;
    tolerant.Strict = false;
    HRESULT hr = E_FAIL;
    // An embedded thumbnail smaller than ours would show blurred; the picture itself is decoded then.
    if (!preview.Jpeg.empty() && SUCCEEDED(hr = DecodeJpeg(preview.Jpeg, decoded, nullptr, tolerant)) &&
        std::max(decoded.Width(), decoded.Height()) < ThumbnailSide)
        hr = E_FAIL;
    if (FAILED(hr) && FAILED(hr = DecodeForThumbnail(path, decoded, error))) return hr;
    CBitmap fitted;
    if (FAILED(hr = FitBitmap(decoded, ThumbnailSide, fitted, error))) return hr;
    return ApplyExifOrientation(fitted, preview.Orientation, thumb, error);
}
