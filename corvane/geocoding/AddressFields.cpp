#include "AddressFields.h"

#include "GPSMetadataInfo.h"

namespace {

std::optional<std::wstring> Take(const std::wstring* field)
{
    if (!field || field->empty()) return std::nullopt;
    return *field;
}

}  // namespace

bool AddressFields::operator==(const AddressFields& o) const
{
    return SubLocation == o.SubLocation && City == o.City && ProvinceState == o.ProvinceState &&
           CountryName == o.CountryName && CountryCode == o.CountryCode;
}

AddressFields AddressFields::FromRecord(const CGPSMetadataInfo& record)
{
    AddressFields fields;
    fields.SubLocation = Take(record.SubLocation);
    fields.City = Take(record.City);
    fields.ProvinceState = Take(record.ProvinceState);
    fields.CountryName = Take(record.CountryName);
    fields.CountryCode = Take(record.CountryCode);
    return fields;
}
