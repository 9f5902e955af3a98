// libtiff over memory: a TIFF handle reading from bytes or writing into a
// growing buffer, with the library's messages kept per handle (never printed)
// and its single allocations bounded. Also the copying of a directory's tags
// and raw image data, which keeps the pages we do not draw on unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <tiffio.h>

#include "HResult.h"

class CTiffHandle {
public:
    ~CTiffHandle();
    CTiffHandle(const CTiffHandle&) = delete;
    CTiffHandle& operator=(const CTiffHandle&) = delete;

    // Reads `bytes`, which must outlive the handle. Null with `error` set on failure.
    static std::unique_ptr<CTiffHandle> OpenRead(std::string_view bytes, std::string* error);
    // Writes a new TIFF with the byte order and classic/big form of `like`.
    static std::unique_ptr<CTiffHandle> OpenWrite(TIFF* like, std::string* error);

    TIFF* Get() const { return tiff_; }
    // The first error the library reported on this handle, or a fallback.
    std::string Error(const char* fallback) const;
    // Writes the last directory and closes the handle; the new file is then Bytes().
    HRESULT Finish(std::string* error);
    std::string& Bytes();

    struct Stream;

private:
    CTiffHandle();
    static std::unique_ptr<CTiffHandle> Open(std::unique_ptr<CTiffHandle> handle, const char* mode, std::string* error);

    TIFF* tiff_ = nullptr;
    std::unique_ptr<Stream> stream_;
    std::string error_;
};

// Copies the tags of the current directory of `in` to `out`. With
// `pixelTagsOnly` the descriptive tags (texts, XMP, IPTC) are left
// to the metadata transfer; otherwise every tag a page can carry is copied.
HRESULT CopyDirectoryTags(TIFF* in, TIFF* out, bool pixelTagsOnly);
// Copies the compressed strips or tiles of the current directory unchanged.
HRESULT CopyRawImageData(TIFF* in, TIFF* out, std::uint64_t inputSize, std::string* error);
