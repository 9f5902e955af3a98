#include "PictureCodec.h"

#include "JpegCodec.h"
#include "TiffCodec.h"

HRESULT DecodePicture(std::string_view bytes, PictureFormat format, CBitmap& bitmap, std::string* error)
{
    if (format == PictureFormatJpeg) return DecodeJpeg(bytes, bitmap, error);
    if (format == PictureFormatTiff) return DecodeTiff(bytes, bitmap, error);
    if (error) *error = "not a JPEG or TIFF picture";
    return E_INVALIDARG;
}

HRESULT ReencodePicture(std::string_view sourceBytes, PictureFormat format,
                        const std::function<HRESULT(CBitmap&)>& draw, std::string& outBytes, std::string* error)
{
    CBitmap canvas;
    HRESULT hr = DecodePicture(sourceBytes, format, canvas, error);
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
