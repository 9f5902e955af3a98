#include "MetadataRowSorter.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <variant>

#include "CorvaneDoc.h"

namespace {

// The value a column sorts by: a number or a text, absent when missing.
using SortKey = std::optional<std::variant<double, std::wstring>>;

SortKey Number(const double* value)
{
    if (!value) return std::nullopt;
    return *value;
}

SortKey Text(const std::wstring* value)
{
    if (!value) return std::nullopt;
    return *value;
}

SortKey KeyOf(const CGPSMetadataInfo* r, int column)
{
    if (!r) return std::nullopt;
    switch (column) {
    case DateTakenField:
        if (!r->DateTaken || !r->DateTaken->IsValid()) return std::nullopt;
        return r->DateTaken->Value;
    case LatitudeField:
        if (!r->Latitude) return std::nullopt;
        return CGPSMetadataInfo::CoordinateToDecimal(*r->Latitude);
    case LongitudeField:
        if (!r->Longitude) return std::nullopt;
        return CGPSMetadataInfo::CoordinateToDecimal(*r->Longitude);
    case AltitudeField:
        if (!r->Altitude) return std::nullopt;
        return (r->AltitudeRef && *r->AltitudeRef != 0) ? -std::abs(*r->Altitude) : std::abs(*r->Altitude);
    case ImageDirectionField: return Number(r->ImgDirection);
    case MeasurementPrecisionField: return Number(r->DOP);
    case MapDatumField: return Text(r->MapDatum);
    case GPSDateField:
        if (!r->GPSDate) return std::nullopt;
        return double((*r->GPSDate)[0]) * 10000 + (*r->GPSDate)[1] * 100 + (*r->GPSDate)[2];
    case GPSTimeField:
        if (!r->GPSTime) return std::nullopt;
        return double((*r->GPSTime)[0]) * 3600 + (*r->GPSTime)[1] * 60.0 + (*r->GPSTime)[2];
    case LocationField: return Text(r->SubLocation);
    case CityField: return Text(r->City);
    case StateField: return Text(r->ProvinceState);
    case CountryField: return Text(r->CountryName);
    default: return std::nullopt;
    }
}

}  // namespace

void MetadataRowSorter::SortRows(CCorvaneDoc& doc, int column, bool ascending)
{
    if (column < PictureName || column > CountryField) return;
    std::vector<int>& order = doc.RowOrder();
    std::vector<SortKey> keys(static_cast<size_t>(doc.Count()));
    for (int i = 0; i < doc.Count(); ++i)
        keys[static_cast<size_t>(i)] =
            column == PictureName ? SortKey(doc.Item(i).Name) : KeyOf(doc.Item(i).Current(), column);
    // Absent keys compare below every present one; std::optional already orders them so.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const SortKey& ka = keys[static_cast<size_t>(a)];
        const SortKey& kb = keys[static_cast<size_t>(b)];
        return ascending ? ka < kb : kb < ka;
    });
}
