#include "TiffIo.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// No single allocation of libtiff may exceed this; it bounds what a hostile
// strip or tag count can make the library reserve.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{1} << 30;
// A file that would grow past this while being written is refused.
constexpr std::uint64_t kMaxOutputSize = std::uint64_t{4} << 30;

}  // namespace

struct CTiffHandle::Stream {
    std::string_view Input;  // reading
    std::string Output;      // writing
    bool Writing = false;
    std::uint64_t Position = 0;

    std::uint64_t Size() const { return Writing ? Output.size() : Input.size(); }
    const char* Data() const { return Writing ? Output.data() : Input.data(); }
};

namespace {

using Stream = CTiffHandle::Stream;

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* s = static_cast<Stream*>(handle);
    if (size < 0 || s->Position >= s->Size()) return 0;
    const std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), s->Size() - s->Position);
    std::memcpy(buffer, s->Data() + s->Position, count);
    s->Position += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* s = static_cast<Stream*>(handle);
    if (!s->Writing || size < 0) return -1;
    const std::uint64_t end = s->Position + static_cast<std::uint64_t>(size);
    if (end > kMaxOutputSize) return -1;
    if (end > s->Output.size()) s->Output.resize(end);
    std::memcpy(&s->Output[s->Position], buffer, static_cast<size_t>(size));
    s->Position = end;
    return size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* s = static_cast<Stream*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) base = s->Position;
    if (whence == SEEK_END) base = s->Size();
    const std::uint64_t target = base + offset;
    if (target > kMaxOutputSize) return static_cast<toff_t>(-1);
    s->Position = target;
    return target;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return static_cast<Stream*>(handle)->Size(); }

int MapProc(thandle_t handle, void** base, toff_t* size)
{
    auto* s = static_cast<Stream*>(handle);
    if (s->Writing) return 0;
    *base = const_cast<char*>(s->Input.data());
    *size = s->Input.size();
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

int OnTiffError(TIFF*, void* userData, const char* module, const char* format, va_list args)
{
    auto* error = static_cast<std::string*>(userData);
    if (error->empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        *error = std::string(module ? module : "TIFF") + ": " + text;
    }
    return 1;  // handled: nothing reaches the process-wide handler
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

CTiffHandle::CTiffHandle() : stream_(new Stream) {}

CTiffHandle::~CTiffHandle()
{
    if (tiff_) TIFFClose(tiff_);
}

std::unique_ptr<CTiffHandle> CTiffHandle::Open(std::unique_ptr<CTiffHandle> handle, const char* mode,
                                               std::string* error)
{
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    if (!options) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnTiffError, &handle->error_);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnTiffWarning, nullptr);
    handle->tiff_ = TIFFClientOpenExt("memory", mode, handle->stream_.get(), ReadProc, WriteProc, SeekProc, CloseProc,
                                      SizeProc, MapProc, UnmapProc, options.get());
    if (!handle->tiff_) {
        if (error) *error = handle->Error("not a readable TIFF");
        return nullptr;
    }
    return handle;
}

std::unique_ptr<CTiffHandle> CTiffHandle::OpenRead(std::string_view bytes, std::string* error)
{
    std::unique_ptr<CTiffHandle> handle(new CTiffHandle);
    handle->stream_->Input = bytes;
    return Open(std::move(handle), "r", error);
}

std::unique_ptr<CTiffHandle> CTiffHandle::OpenWrite(TIFF* like, std::string* error)
{
    std::unique_ptr<CTiffHandle> handle(new CTiffHandle);
    handle->stream_->Writing = true;
    std::string mode = "w";
    mode += TIFFIsBigEndian(like) ? 'b' : 'l';
    if (TIFFIsBigTIFF(like)) mode += '8';
    return Open(std::move(handle), mode.c_str(), error);
}

std::string CTiffHandle::Error(const char* fallback) const
{
    return error_.empty() ? std::string(fallback) : error_;
}

HRESULT CTiffHandle::Finish(std::string* error)
{
    TIFF* tiff = tiff_;
    tiff_ = nullptr;
    TIFFFlush(tiff);
    TIFFClose(tiff);
    // A failed write shows only as a recorded error: TIFFClose has no status.
    if (!error_.empty()) {
        if (error) *error = error_;
        return E_FAIL;
    }
    return S_OK;
}

std::string& CTiffHandle::Bytes() { return stream_->Output; }

namespace {

enum class TagKind { U16, U32, Float, String, U16Pair, Blob, ExtraSamples, Colormap, ReferenceBW };

struct TagCopy {
    ttag_t Tag;
    TagKind Kind;
    // Describes the pixels, so copied also when the metadata is carried
    // separately; the colour profile counts, as it gives the samples their colours.
    bool Pixel;
};

// Compression comes first: the codec it selects owns the codec tags after it.
const TagCopy kTagCopies[] = {
    {TIFFTAG_COMPRESSION, TagKind::U16, true},        {TIFFTAG_SUBFILETYPE, TagKind::U32, true},
    {TIFFTAG_IMAGEWIDTH, TagKind::U32, true},         {TIFFTAG_IMAGELENGTH, TagKind::U32, true},
    {TIFFTAG_BITSPERSAMPLE, TagKind::U16, true},      {TIFFTAG_SAMPLESPERPIXEL, TagKind::U16, true},
    {TIFFTAG_PHOTOMETRIC, TagKind::U16, true},        {TIFFTAG_PLANARCONFIG, TagKind::U16, true},
    {TIFFTAG_FILLORDER, TagKind::U16, true},          {TIFFTAG_ORIENTATION, TagKind::U16, true},
    {TIFFTAG_ROWSPERSTRIP, TagKind::U32, true},       {TIFFTAG_TILEWIDTH, TagKind::U32, true},
    {TIFFTAG_TILELENGTH, TagKind::U32, true},         {TIFFTAG_SAMPLEFORMAT, TagKind::U16, true},
    {TIFFTAG_EXTRASAMPLES, TagKind::ExtraSamples, true}, {TIFFTAG_COLORMAP, TagKind::Colormap, true},
    {TIFFTAG_INKSET, TagKind::U16, true},             {TIFFTAG_MINSAMPLEVALUE, TagKind::U16, true},
    {TIFFTAG_MAXSAMPLEVALUE, TagKind::U16, true},     {TIFFTAG_PREDICTOR, TagKind::U16, true},
    {TIFFTAG_GROUP3OPTIONS, TagKind::U32, true},      {TIFFTAG_GROUP4OPTIONS, TagKind::U32, true},
    {TIFFTAG_YCBCRSUBSAMPLING, TagKind::U16Pair, true}, {TIFFTAG_YCBCRPOSITIONING, TagKind::U16, true},
    {TIFFTAG_REFERENCEBLACKWHITE, TagKind::ReferenceBW, true}, {TIFFTAG_XRESOLUTION, TagKind::Float, true},
    {TIFFTAG_YRESOLUTION, TagKind::Float, true},      {TIFFTAG_RESOLUTIONUNIT, TagKind::U16, true},
    {TIFFTAG_XPOSITION, TagKind::Float, false},       {TIFFTAG_YPOSITION, TagKind::Float, false},
    {TIFFTAG_PAGENUMBER, TagKind::U16Pair, false},    {TIFFTAG_PAGENAME, TagKind::String, false},
    {TIFFTAG_DOCUMENTNAME, TagKind::String, false},   {TIFFTAG_IMAGEDESCRIPTION, TagKind::String, false},
    {TIFFTAG_MAKE, TagKind::String, false},           {TIFFTAG_MODEL, TagKind::String, false},
    {TIFFTAG_SOFTWARE, TagKind::String, false},       {TIFFTAG_DATETIME, TagKind::String, false},
    {TIFFTAG_ARTIST, TagKind::String, false},         {TIFFTAG_HOSTCOMPUTER, TagKind::String, false},
    {TIFFTAG_COPYRIGHT, TagKind::String, false},      {TIFFTAG_ICCPROFILE, TagKind::Blob, true},
    {TIFFTAG_XMLPACKET, TagKind::Blob, false},        {TIFFTAG_PHOTOSHOP, TagKind::Blob, false},
    {TIFFTAG_RICHTIFFIPTC, TagKind::Blob, false},     {TIFFTAG_JPEGTABLES, TagKind::Blob, false},
};

// Copies one tag when the source directory has it; false when setting it failed.
bool CopyTag(TIFF* in, TIFF* out, const TagCopy& copy)
{
    switch (copy.Kind) {
    case TagKind::U16: {
        std::uint16_t v = 0;
        return !TIFFGetField(in, copy.Tag, &v) || TIFFSetField(out, copy.Tag, v);
    }
    case TagKind::U32: {
        std::uint32_t v = 0;
        return !TIFFGetField(in, copy.Tag, &v) || TIFFSetField(out, copy.Tag, v);
    }
    case TagKind::Float: {
        float v = 0;
        return !TIFFGetField(in, copy.Tag, &v) || TIFFSetField(out, copy.Tag, static_cast<double>(v));
    }
    case TagKind::String: {
        char* v = nullptr;
        return !TIFFGetField(in, copy.Tag, &v) || !v || TIFFSetField(out, copy.Tag, v);
    }
    case TagKind::U16Pair: {
        std::uint16_t a = 0, b = 0;
        return !TIFFGetField(in, copy.Tag, &a, &b) || TIFFSetField(out, copy.Tag, a, b);
    }
    case TagKind::Blob: {
        std::uint32_t count = 0;
        void* data = nullptr;
        return !TIFFGetField(in, copy.Tag, &count, &data) || !data || TIFFSetField(out, copy.Tag, count, data);
    }
    case TagKind::ExtraSamples: {
        std::uint16_t count = 0;
        std::uint16_t* types = nullptr;
        return !TIFFGetField(in, copy.Tag, &count, &types) || TIFFSetField(out, copy.Tag, count, types);
    }
    case TagKind::Colormap: {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        return !TIFFGetField(in, copy.Tag, &r, &g, &b) || TIFFSetField(out, copy.Tag, r, g, b);
    }
    case TagKind::ReferenceBW: {
        float* v = nullptr;
        return !TIFFGetField(in, copy.Tag, &v) || TIFFSetField(out, copy.Tag, v);
    }
    }
    return false;
}

}  // namespace

HRESULT CopyDirectoryTags(TIFF* in, TIFF* out, bool pixelTagsOnly)
{
    for (const TagCopy& copy : kTagCopies) {
        if (pixelTagsOnly && !copy.Pixel) continue;
        if (!CopyTag(in, out, copy)) return E_FAIL;
    }
    return S_OK;
}

HRESULT CopyRawImageData(TIFF* in, TIFF* out, std::uint64_t inputSize, std::string* error)
{
    const bool tiled = TIFFIsTiled(in);
    const std::uint32_t count = tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
    std::vector<unsigned char> buffer;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t size = TIFFGetStrileByteCount(in, i);
        if (size > inputSize) {
            if (error) *error = "a strip or tile runs past the end of the file";
            return E_FAIL;
        }
        buffer.resize(static_cast<size_t>(size));
        const tmsize_t read = tiled ? TIFFReadRawTile(in, i, buffer.data(), static_cast<tmsize_t>(size))
                                    : TIFFReadRawStrip(in, i, buffer.data(), static_cast<tmsize_t>(size));
        if (read < 0 || static_cast<std::uint64_t>(read) != size) {
            if (error) *error = "a strip or tile of a page cannot be read";
            return E_FAIL;
        }
        const tmsize_t written = tiled ? TIFFWriteRawTile(out, i, buffer.data(), read)
                                       : TIFFWriteRawStrip(out, i, buffer.data(), read);
        if (written != read) {
            if (error) *error = "a strip or tile of a page cannot be written";
            return E_FAIL;
        }
    }
    return S_OK;
}
