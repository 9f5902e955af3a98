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
    return DecodeGeoTag(*picture);
}

namespace {

std::unique_ptr<CPictureMetadata> OpenPictureBytes(std::string bytes, std::string* error)
{
    auto picture = CPictureMetadata::OpenBytes(std::move(bytes), error);
    if (picture && picture->Format() != PictureFormatJpeg && picture->Format() != PictureFormatTiff) {
        if (error) *error = kNotAPicture;
        return nullptr;
    }
    return picture;
}

}  // namespace

std::unique_ptr<CPictureMetadata> OpenPictureForEdit(const std::string& path, std::string* error)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error)) return nullptr;
    return OpenPictureBytes(std::move(bytes), error);
}

std::unique_ptr<CPictureMetadata> OpenPictureForEdit(const CLockedSource& source, std::string* error)
{
    std::string bytes;
    if (!source.ReadAll(bytes, error)) return nullptr;
    return OpenPictureBytes(std::move(bytes), error);
}

std::unique_ptr<CGPSMetadataInfo> DecodeGeoTag(const CPictureMetadata& picture)
{
    auto record = std::make_unique<CGPSMetadataInfo>();
    CGeoTagMetadataDecoder(picture.Root(), picture.Format()).Decode(*record);
    return record;
}

HRESULT SaveGeoTag(CPictureMetadata& picture, const std::string& target, const CGPSMetadataInfo& record,
                   std::string* error, CAtomicFileBatch* batch, std::vector<std::string>* warnings,
                   std::shared_ptr<const CLockedSource> source)
{
    const PictureFormat format = picture.Format();
    auto targetRoot = std::make_shared<MetadataBlock>(format == PictureFormatJpeg ? ContainerFormat::JpegRoot
                                                                                  : ContainerFormat::TiffRoot);
    TransferReport report;
    HRESULT hr =
        TransferMetadata(picture.Root(), targetRoot, format, format, &record, TransferPolicy::KeepAll, &report);
    if (FAILED(hr)) {
        if (error)
            *error = report.Refusal.empty() ? "write failed: the metadata could not be carried over"
                                            : "not saved: " + report.Refusal;
        return hr;
    }
    if (warnings) warnings->insert(warnings->end(), report.Warnings.begin(), report.Warnings.end());
    hr = picture.Commit(*targetRoot, error);
    if (FAILED(hr)) return hr;
    return batch ? batch->Stage(target, picture.Bytes(), error, std::move(source))
                 : WriteFileAtomically(target, picture.Bytes(), error, source.get());
}

HRESULT SaveGeoTag(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                   std::string* error, std::vector<std::string>* warnings)
{
    std::unique_ptr<CLockedSource> locked;
    const HRESULT hr = CLockedSource::Open(source, LockWait::Yes, locked, error);
    if (FAILED(hr)) return hr;
    auto picture = OpenPictureForEdit(*locked, error);
    if (!picture) return E_FAIL;
    return SaveGeoTag(*picture, target, record, error, nullptr, warnings, std::move(locked));
}
