#include "Thumbnailer.h"

#include <algorithm>
#include <cstring>

#include "AtomicFileWriter.h"
#include "BoxReducer.h"
#include "Exiv2Native.h"
#include "JpegCodec.h"
#include "TiffCodec.h"

namespace {

// The JPEG decoder's own memory for a thumbnail: a picture coded in several
// scans holds all its coefficients (some 3 bytes a pixel for 4:2:0 colour),
// so this admits progressive pictures up to about 170 megapixels.
constexpr long kMaxThumbnailDecoderMemory = 512L << 20;

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

// Decodes reduced: JPEGs at a DCT scale, TIFFs a band of rows at a time, so
// that a picture far larger than memory allows still gets its thumbnail.
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
        options.MaxLibraryMemory = kMaxThumbnailDecoderMemory;
        return DecodeJpeg(bytes, bitmap, error, options);
    }
    if (bytes.size() >= 4 && (bytes.compare(0, 2, "II") == 0 || bytes.compare(0, 2, "MM") == 0))
        return DecodeTiffReduced(bytes, ThumbnailSide, bitmap, error);
    if (error) *error = "not a JPEG or TIFF picture";
    return E_INVALIDARG;
}

}  // namespace

HRESULT FitBitmap(const CBitmap& source, int side, CBitmap& out, std::string* error)
{
    if (source.Empty() || side < 1) return E_INVALIDARG;
    CBoxReducer reducer;
    HRESULT hr = reducer.Start(static_cast<std::uint32_t>(source.Width()), static_cast<std::uint32_t>(source.Height()),
                               side, error);
    if (FAILED(hr)) return hr;
    for (int y = 0; y < source.Height(); ++y) reducer.AddRow(static_cast<std::uint32_t>(y), source.Row(y));
    return reducer.Finish(out, error);
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
