// The metadata of a hostile picture is read, decoded into a record, and written
// back as a save of an unchanged record does; what the writer reports as
// written must read again, and an edit of every kind of field is written over it.
#include <memory>
#include <string>

#include "FuzzEntries.h"
#include "FuzzSupport.h"
#include "GeoTagFile.h"
#include "MetadataTransferEngine.h"
#include "PictureMetadata.h"

namespace {

bool IsPicture(const CPictureMetadata& picture)
{
    return picture.Format() == PictureFormatJpeg || picture.Format() == PictureFormatTiff;
}

// The metadata-only save of SaveGeoTag, without the file.
bool CommitRecord(CPictureMetadata& picture, const CGPSMetadataInfo& record)
{
    const PictureFormat format = picture.Format();
    auto target = std::make_shared<MetadataBlock>(format == PictureFormatJpeg ? ContainerFormat::JpegRoot
                                                                              : ContainerFormat::TiffRoot);
    if (FAILED(TransferMetadata(picture.Root(), target, format, format, &record, TransferPolicy::KeepAll)))
        return false;
    std::string error;
    return SUCCEEDED(picture.Commit(*target, &error));
}

// What a user's edit touches: a new position, altitude, direction, date and place.
void Edit(CGPSMetadataInfo& record)
{
    CGPSMetadataInfo::DecimalToCoordinate(record.Latitude, -33.856785, 'N', 'S');
    CGPSMetadataInfo::DecimalToCoordinate(record.Longitude, 151.215297, 'E', 'W');
    record.SetSignedAltitude(-12.5);
    SetField(record.ImgDirection, 271.25);
    SetField(record.ImgDirectionRef, 'T');
    SetField(record.GPSDate, GPSDateValue{2024, 2, 29});
    SetField(record.GPSTime, GPSTimeValue{23, 59, 58});
    SetField(record.City, std::wstring(L"S\u00e3o Paulo"));
    ClearField(record.CountryCode);
}

}  // namespace

int FuzzPictureMetadata(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    auto picture = CPictureMetadata::OpenBytes(std::string(reinterpret_cast<const char*>(data), size), &error);
    if (!picture || !IsPicture(*picture)) return 0;
    std::unique_ptr<CGPSMetadataInfo> record = DecodeGeoTag(*picture);
    if (!CommitRecord(*picture, *record)) return 0;

    auto written = CPictureMetadata::OpenBytes(std::string(picture->Bytes()), &error);
    FuzzCheck(written && written->Format() == picture->Format(), "a committed picture reads back as the same kind");
    std::unique_ptr<CGPSMetadataInfo> reread = DecodeGeoTag(*written);
    Edit(*reread);
    CommitRecord(*written, *reread);
    return 0;
}
