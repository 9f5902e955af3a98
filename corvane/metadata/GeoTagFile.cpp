#include "GeoTagFile.h"

#include "AfcpTrailer.h"
#include "AtomicFileWriter.h"
#include "GeoTagMetadataDecoder.h"
#include "MetadataTransferEngine.h"
#include "PictureMetadata.h"
#include "StringUtil.h"

namespace {

const char* const kNotAPicture = "not a JPEG or TIFF picture";

// The address fields and the IPTC datasets that hold them.
struct AddressDataset {
    std::uint8_t Number;
    std::wstring* CGPSMetadataInfo::*Field;
};
const AddressDataset kAddressDatasets[] = {{kIptcSubLocation, &CGPSMetadataInfo::SubLocation},
                                           {kIptcCity, &CGPSMetadataInfo::City},
                                           {kIptcProvinceState, &CGPSMetadataInfo::ProvinceState},
                                           {kIptcCountryName, &CGPSMetadataInfo::CountryName},
                                           {kIptcCountryCode, &CGPSMetadataInfo::CountryCode}};

bool HoldsAddress(const CGPSMetadataInfo& r)
{
    for (const AddressDataset& d : kAddressDatasets)
        if (r.*d.Field) return true;
    return false;
}

// Some archiving programs keep the address in an IPTC record after the image
// (an AFCP trailer). A field the picture's own IPTC lacks is read from there,
// so that the table shows it and a wipe can reach it. Writing keeps the
// trailer's copy where the record still holds that value, and removes it
// where the record cleared or changed it; the record's copy of a value that
// only the trailer held is not added to the picture's own IPTC.
std::set<std::uint8_t> ReconcileTrailer(const CPictureMetadata& picture, const CGPSMetadataInfo& record,
                                        CGPSMetadataInfo& toWrite)
{
    std::set<std::uint8_t> removals;
    const auto trailer = picture.TrailerLocation();
    if (trailer.empty()) return removals;
    CGPSMetadataInfo own;
    CGeoTagMetadataDecoder(picture.Root(), picture.Format()).Decode(own);
    for (const AddressDataset& d : kAddressDatasets) {
        const auto it = trailer.find(d.Number);
        if (it == trailer.end()) continue;
        const std::wstring* value = record.*d.Field;
        if (!value || *value != Utf8OrLatin1ToWide(it->second))
            removals.insert(d.Number);
        else if (!(own.*d.Field))
            ClearField(toWrite.*d.Field);
    }
    if (!HoldsAddress(record)) removals.insert({kIptcContentLocationCode, kIptcContentLocationName});
    return removals;
}

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

std::unique_ptr<CPictureMetadata> OpenPictureForEdit(const std::string& path, std::string* error)
{
    auto picture = CPictureMetadata::OpenForEdit(path, error);
    if (picture && picture->Format() != PictureFormatJpeg && picture->Format() != PictureFormatTiff) {
        if (error) *error = kNotAPicture;
        return nullptr;
    }
    return picture;
}

// The locked file is read by its path: the lock keeps other Corvane
// processes out, and the replacement checks that nothing else wrote it.
std::unique_ptr<CPictureMetadata> OpenPictureForEdit(const CLockedSource& source, std::string* error)
{
    return OpenPictureForEdit(source.Path(), error);
}

std::unique_ptr<CGPSMetadataInfo> DecodeGeoTag(const CPictureMetadata& picture)
{
    auto record = std::make_unique<CGPSMetadataInfo>();
    CGeoTagMetadataDecoder(picture.Root(), picture.Format()).Decode(*record);
    const auto trailer = picture.TrailerLocation();
    for (const AddressDataset& d : kAddressDatasets) {
        const auto it = trailer.find(d.Number);
        if (it != trailer.end() && !((*record).*d.Field)) SetField((*record).*d.Field, Utf8OrLatin1ToWide(it->second));
    }
    return record;
}

HRESULT SaveGeoTag(CPictureMetadata& picture, const std::string& target, const CGPSMetadataInfo& record,
                   std::string* error, CAtomicFileBatch* batch, std::vector<std::string>* warnings,
                   std::shared_ptr<const CLockedSource> source)
{
    const PictureFormat format = picture.Format();
    auto targetRoot = std::make_shared<MetadataBlock>(format == PictureFormatJpeg ? ContainerFormat::JpegRoot
                                                                                  : ContainerFormat::TiffRoot);
    std::unique_ptr<CGPSMetadataInfo> toWrite(record.Clone());
    picture.SetTrailerRemovals(ReconcileTrailer(picture, record, *toWrite));
    TransferReport report;
    HRESULT hr =
        TransferMetadata(picture.Root(), targetRoot, format, format, toWrite.get(), TransferPolicy::KeepAll, &report);
    if (FAILED(hr)) {
        if (error)
            *error = report.Refusal.empty() ? "write failed: the metadata could not be carried over"
                                            : "not saved: " + report.Refusal;
        return hr;
    }
    if (warnings) warnings->insert(warnings->end(), report.Warnings.begin(), report.Warnings.end());
    hr = picture.Commit(*targetRoot, error);
    if (FAILED(hr)) return hr;
    const ContentWriter write = [&picture](int fd, std::string* e) { return picture.WriteTo(fd, e); };
    return batch ? batch->Stage(target, write, picture.WrittenSize(), error, std::move(source))
                 : WriteFileAtomically(target, write, error, source.get());
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
