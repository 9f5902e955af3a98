#include "MetadataTransferEngine.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

#include "GeoTagMetadataDecoder.h"
#include "GeoTagMetadataEncoder.h"
#include "XmpGeoTagMirror.h"

namespace {

// Tags that travel with a re-encoded picture.
const long kIfdAllowList[] = {256, 257, 259, 270, 271, 272, 274, 282, 283, 296,
                              301, 305, 306, 315, 318, 319, 529, 532, 33432};
const long kExifAllowList[] = {33434, 33437, 34850, 34852, 34855, 34856, 34864, 34865, 34866, 34867, 34868, 34869,
                               36864, 36867, 36868, 37121, 37377, 37378, 37379, 37380, 37381, 37382, 37383, 37384,
                               37385, 37386, 37500, 37510, 37521, 37522, 40960, 40961, 40964, 41483, 41484, 41486,
                               41487, 41488, 41493, 41495, 41728, 41729, 41730, 41987, 41988, 41989, 41990, 41991,
                               41992, 41993, 41994, 41995, 41996, 42016, 42032, 42033, 42034, 42035, 42036, 42037};

bool SameDate(const AutomationDate* a, const AutomationDate* b)
{
    if (!a || !b) return a == b;
    if (a->IsValid() != b->IsValid()) return false;
    return !a->IsValid() || std::fabs(a->Value - b->Value) < 0.5 / 86400.0;
}

template <typename T>
bool SameField(const T* a, const T* b)
{
    if (!a || !b) return a == b;
    return *a == *b;
}

// A value read from a zero denominator (NaN) is the same as itself.
bool SameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

bool SameField(const double* a, const double* b)
{
    if (!a || !b) return a == b;
    return SameNumber(*a, *b);
}

bool SameField(const GPSCoordinate* a, const GPSCoordinate* b)
{
    if (!a || !b) return a == b;
    return SameNumber(a->Degrees, b->Degrees) && SameNumber(a->Minutes, b->Minutes) &&
           SameNumber(a->Seconds, b->Seconds) && a->Ref == b->Ref;
}

// Whether two records hold the same GPS block fields.
bool SameGps(const CGPSMetadataInfo& a, const CGPSMetadataInfo& b)
{
    return SameField(a.GPSVersion, b.GPSVersion) && SameField(a.Latitude, b.Latitude) &&
           SameField(a.Longitude, b.Longitude) && SameField(a.AltitudeRef, b.AltitudeRef) &&
           SameField(a.Altitude, b.Altitude) && SameField(a.GPSTime, b.GPSTime) &&
           SameField(a.Satellites, b.Satellites) && SameField(a.Status, b.Status) &&
           SameField(a.MeasureMode, b.MeasureMode) && SameField(a.DOP, b.DOP) && SameField(a.SpeedRef, b.SpeedRef) &&
           SameField(a.Speed, b.Speed) && SameField(a.TrackRef, b.TrackRef) && SameField(a.Track, b.Track) &&
           SameField(a.ImgDirectionRef, b.ImgDirectionRef) && SameField(a.ImgDirection, b.ImgDirection) &&
           SameField(a.MapDatum, b.MapDatum) && SameField(a.GPSDate, b.GPSDate) &&
           SameField(a.Differential, b.Differential) && SameField(a.HPositioningError, b.HPositioningError);
}

}  // namespace

bool CMetadataTransferEngine::IfdTagAllowed(long tag)
{
    return std::find(std::begin(kIfdAllowList), std::end(kIfdAllowList), tag) != std::end(kIfdAllowList);
}

bool CMetadataTransferEngine::ExifTagAllowed(long tag)
{
    return std::find(std::begin(kExifAllowList), std::end(kExifAllowList), tag) != std::end(kExifAllowList);
}

CMetadataTransferEngine::CMetadataTransferEngine(std::shared_ptr<const MetadataBlock> sourceRoot,
                                                 std::shared_ptr<MetadataBlock> targetRoot,
                                                 const CGPSMetadataInfo* record, PictureFormat sourceFormat,
                                                 TransferPolicy policy)
    : source_(std::move(sourceRoot)), target_(std::move(targetRoot)), record_(record), sourceFormat_(sourceFormat),
      policy_(policy)
{
    AddWriter("/xmp", ContainerFormat::Xmp);
    AddWriter("/ifd", ContainerFormat::Ifd);
    AddWriter("/irb", ContainerFormat::Irb);
    AddWriter("/iptc", ContainerFormat::Iptc);
    AddWriter("/exif", ContainerFormat::Exif);
    AddWriter("/gps", ContainerFormat::Gps);
    AddWriter("/thumb", ContainerFormat::Thumbnail);
    AddWriter("/interop", ContainerFormat::Interop);
    AddWriter("/8bimiptc", ContainerFormat::PhotoshopIptc);
    if (policy_ == TransferPolicy::KeepAll && record_ && source_) {
        // The record was read from this source; what it did not change stays as the source wrote it.
        CGPSMetadataInfo original;
        CGeoTagMetadataDecoder(source_, sourceFormat_).Decode(original);
        rewriteDates_ = !SameDate(original.DateTaken, record_->DateTaken);
        rewriteGps_ = !SameGps(original, *record_);
    }
}

void CMetadataTransferEngine::AddWriter(const char* path, ContainerFormat format)
{
    writers_.emplace_back(path, std::make_shared<MetadataBlock>(format));
}

std::shared_ptr<MetadataBlock> CMetadataTransferEngine::Writer(const std::string& path) const
{
    for (const auto& w : writers_)
        if (w.first == path) return w.second;
    return nullptr;
}

HRESULT CMetadataTransferEngine::Put(const char* path, const std::string& name, const MetadataValue& value)
{
    const auto writer = Writer(path);
    if (!writer) return E_ABORT;
    if (value.IsEmpty() || name.empty()) return E_INVALIDARG;
    writer->Append(name, value);
    return S_OK;
}

HRESULT CMetadataTransferEngine::Nest(const std::shared_ptr<MetadataBlock>& parent, const char* path,
                                      const std::shared_ptr<MetadataBlock>& child)
{
    if (!parent || !child) return E_ABORT;
    return parent->SetMetadataByName(path, MetadataValue::FromBlock(child));
}

HRESULT CMetadataTransferEngine::Walk(const MetadataBlock& reader)
{
    const ContainerFormat format = reader.Format();
    for (const auto& item : reader.Items()) {
        const MetadataValue& value = item.second;
        // Maker notes and a TIFF's other IFDs travel whole, as one item of their parent.
        const bool opaque = value.IsBlock() && (value.Block()->Format() == ContainerFormat::MakerNote ||
                                                value.Block()->Format() == ContainerFormat::SubIfd);
        if (value.IsBlock() && !opaque)
            Walk(*value.Block());
        else
            Route(format, item.first, value);
    }
    return S_OK;
}

HRESULT CMetadataTransferEngine::RouteExif(const std::string& name, const MetadataValue& value)
{
    const bool keepAll = policy_ == TransferPolicy::KeepAll;
    if (!keepAll && !ExifTagAllowed(TagNumberOf(name))) return S_OK;
    const bool isDate = strcasecmp(name.c_str(), "/{ushort=36867}") == 0 || strcasecmp(name.c_str(), "/{ushort=36868}") == 0;
    if (record_ && isDate && rewriteDates_) {
        const AutomationDate* date = record_->DateTaken;
        if (!date || !date->IsValid()) {
            // Absent: the dates leave with it. Invalid: neither tag is written;
            // a save that keeps everything keeps the picture's own.
            if (keepAll && date) return Put("/exif", name, value);
            datesHandled_ = true;
            return S_OK;
        }
        const HRESULT hr =
            Put("/exif", name, MetadataValue::FromAscii(date->Format("%Y:%m:%d %H:%M:%S")));
        if (SUCCEEDED(hr)) datesHandled_ = true;
        return hr;
    }
    return Put("/exif", name, value);
}

HRESULT CMetadataTransferEngine::Route(ContainerFormat format, const std::string& name, const MetadataValue& value)
{
    const bool keepAll = policy_ == TransferPolicy::KeepAll;
    switch (format) {
    case ContainerFormat::Ifd:
        if (!keepAll && !IfdTagAllowed(TagNumberOf(name))) return S_OK;
        return Put("/ifd", name, value);
    case ContainerFormat::Xmp: return Put("/xmp", name, value);
    case ContainerFormat::Exif: return RouteExif(name, value);
    case ContainerFormat::Gps:
        if (record_ && rewriteGps_) return S_OK;  // rebuilt from the record
        return Put("/gps", name, value);
    case ContainerFormat::Iptc: return Put("/iptc", name, value);
    case ContainerFormat::Thumbnail: return Put("/thumb", name, value);
    case ContainerFormat::Interop: return Put("/interop", name, value);
    case ContainerFormat::Irb: return Put("/irb", name, value);
    case ContainerFormat::PhotoshopIptc: return Put("/8bimiptc", name, value);
    default: return S_OK;
    }
}

void CMetadataTransferEngine::ApplyRecord()
{
    if (!record_) return;
    CGeoTagMetadataEncoder encoder(rewriteGps_ ? Writer("/gps") : nullptr, Writer("/exif"), Writer("/iptc"),
                                   sourceFormat_);
    encoder.SetWriteDates(rewriteDates_);
    encoder.Encode(*record_);
    CXmpGeoTagMirror::Apply(*Writer("/xmp"), *record_, rewriteDates_);
}
