#include "GeoTagFile.h"

#include "AtomicFileWriter.h"
#include "GeoTagMetadataDecoder.h"
#include "MetadataTransferEngine.h"
#include "PictureMetadata.h"

namespace {

const char* const kNotAPicture = "not a JPEG or TIFF picture";

}  // namespace

std::unique_ptr<CGPSMetadataInfo> ReadGeoTag(const std::string& path, PictureFormat* format, std::string* error)
{
    auto picture = CPictureMetadata::OpenFile(path, error);
    if (!picture) return nullptr;
    if (format) *format = picture->Format();
    if (picture->Format() != PictureFormatJpeg && picture->Format() != PictureFormatTiff) {
        if (error) *error = kNotAPicture;
        return nullptr;
    }
    auto record = std::make_unique<CGPSMetadataInfo>();
    CGeoTagMetadataDecoder(picture->Root(), picture->Format()).Decode(*record);
    return record;
}

HRESULT SaveGeoTag(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                   std::string* error)
{
    std::string bytes;
    if (!ReadWholeFile(source, bytes, error)) return E_FAIL;
    auto picture = CPictureMetadata::OpenBytes(std::move(bytes), error);
    if (!picture) return E_FAIL;
    const PictureFormat format = picture->Format();
    if (format != PictureFormatJpeg && format != PictureFormatTiff) {
        if (error) *error = kNotAPicture;
        return E_FAIL;
    }
    auto targetRoot = std::make_shared<MetadataBlock>(format == PictureFormatJpeg ? ContainerFormat::JpegRoot
                                                                                  : ContainerFormat::TiffRoot);
    HRESULT hr = TransferMetadata(picture->Root(), targetRoot, format, format, &record, TransferPolicy::KeepAll);
    if (FAILED(hr)) {
        if (error) *error = "write failed: the metadata could not be carried over";
        return hr;
    }
    hr = picture->Commit(*targetRoot, error);
    if (FAILED(hr)) return hr;
    return WriteFileAtomically(target, picture->Bytes(), error);
}
