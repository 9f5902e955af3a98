#include "TiffCodec.h"

#include <vector>

#include "BoxReducer.h"
#include "TiffFrame.h"
#include "TiffIo.h"

namespace {

// A chain of more pages than this is taken as damage (or a loop).
constexpr tdir_t kMaxPages = 10000;

HRESULT Fail(const CTiffHandle& handle, const char* fallback, std::string* error)
{
    if (error) *error = handle.Error(fallback);
    return E_FAIL;
}

// Every page after the first, copied with its tags and compressed data.
HRESULT CopyOtherPages(CTiffHandle& in, CTiffHandle& out, std::uint64_t inputSize, std::string* error)
{
    const tdir_t pages = TIFFNumberOfDirectories(in.Get());
    if (pages > kMaxPages) {
        if (error) *error = "too many TIFF pages";
        return E_FAIL;
    }
    for (tdir_t page = 1; page < pages; ++page) {
        if (!TIFFSetDirectory(in.Get(), page)) return Fail(in, "a TIFF page cannot be read", error);
        if (FAILED(CopyDirectoryTags(in.Get(), out.Get(), false)))
            return Fail(out, "the tags of a TIFF page cannot be copied", error);
        HRESULT hr = CopyRawImageData(in.Get(), out.Get(), inputSize, error);
        if (FAILED(hr)) return hr;
        if (!TIFFWriteDirectory(out.Get())) return Fail(out, "a TIFF page cannot be written", error);
    }
    return S_OK;
}

}  // namespace

HRESULT DecodeTiff(std::string_view bytes, CBitmap& bitmap, std::string* error)
{
    std::unique_ptr<CTiffHandle> in = CTiffHandle::OpenRead(bytes, error);
    if (!in) return E_FAIL;
    CTiffFrame frame;
    HRESULT hr = frame.Read(in->Get(), error);
    if (FAILED(hr)) return hr;
    return frame.ToBitmap(bitmap, error);
}

HRESULT ReadTiffSize(std::string_view bytes, std::uint32_t& width, std::uint32_t& height, std::string* error)
{
    std::unique_ptr<CTiffHandle> in = CTiffHandle::OpenRead(bytes, error);
    if (!in) return E_FAIL;
    if (!TIFFGetField(in->Get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(in->Get(), TIFFTAG_IMAGELENGTH, &height))
        return Fail(*in, "the TIFF does not state its size", error);
    return S_OK;
}

HRESULT DecodeTiffReduced(std::string_view bytes, int side, CBitmap& bitmap, std::string* error)
{
    std::unique_ptr<CTiffHandle> in = CTiffHandle::OpenRead(bytes, error);
    if (!in) return E_FAIL;
    CBoxReducer reducer;
    std::vector<std::uint8_t> samples;
    CTiffFrame frame;
    // Only the pixels the reducer samples are converted.
    const HRESULT hr = frame.ReadRows(
        in->Get(),
        [&](std::uint32_t width, std::uint32_t height) {
            const HRESULT started = reducer.Start(width, height, side, error);
            samples.resize(reducer.Columns().size() * 4);
            return started;
        },
        [&](std::uint32_t y, const CTiffFrame& rows) {
            if (!reducer.UsesRow(y)) return;
            for (size_t i = 0; i < reducer.Columns().size(); ++i) rows.PixelToBgra(reducer.Columns()[i], y, &samples[i * 4]);
            reducer.AddSamples(samples.data());
        },
        error);
    if (FAILED(hr)) return hr;
    return reducer.Finish(bitmap, error);
}

HRESULT EncodeTiffLike(std::string_view sourceBytes, const CBitmap& decoded, const CBitmap& drawn, std::string& out,
                       std::string* error)
{
    std::unique_ptr<CTiffHandle> in = CTiffHandle::OpenRead(sourceBytes, error);
    if (!in) return E_FAIL;
    CTiffFrame frame;
    HRESULT hr = frame.Read(in->Get(), error);
    if (FAILED(hr)) return hr;
    if (drawn.Width() != decoded.Width() || drawn.Height() != decoded.Height()) {
        if (error) *error = "the canvas does not have the size of the source TIFF";
        return E_INVALIDARG;
    }
    frame.Patch(decoded, drawn);

    std::unique_ptr<CTiffHandle> writer = CTiffHandle::OpenWrite(in->Get(), error);
    if (!writer) return E_FAIL;
    if (FAILED(CopyDirectoryTags(in->Get(), writer->Get(), true)))
        return Fail(*writer, "the layout of the TIFF cannot be copied", error);
    std::uint16_t photometric = 0, compression = 0;
    TIFFGetField(in->Get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(in->Get(), TIFFTAG_COMPRESSION, &compression);
    if (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG)
        TIFFSetField(writer->Get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    hr = frame.Write(writer->Get(), error);
    if (FAILED(hr)) return hr;
    if (!TIFFWriteDirectory(writer->Get())) return Fail(*writer, "the TIFF page cannot be written", error);
    hr = CopyOtherPages(*in, *writer, sourceBytes.size(), error);
    if (FAILED(hr)) return hr;
    hr = writer->Finish(error);
    if (FAILED(hr)) return hr;
    out = std::move(writer->Bytes());
    return S_OK;
}
