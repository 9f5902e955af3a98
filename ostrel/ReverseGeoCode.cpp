#include "ReverseGeoCode.h"

#include <algorithm>
#include <locale>
#include <mutex>
#include <sstream>

#include "GPSMetadataInfo.h"

namespace {

std::mutex settingsLock;
CGeoNamesService configured;

// Step 4 of the extraction: a field, once it holds text, is never changed.
void FillIfEmpty(std::wstring* field, const std::wstring& value)
{
    if (field->empty())
        *field = value;
}

}  // namespace

void CReverseGeoCode::SetServiceAddress(const std::wstring& address)
{
    std::lock_guard<std::mutex> hold(settingsLock);
    configured.address = address;
}

void CReverseGeoCode::SetUserName(const std::wstring& user)
{
    std::lock_guard<std::mutex> hold(settingsLock);
    configured.user = user;
}

void CReverseGeoCode::SetTimeout(int seconds)
{
    std::lock_guard<std::mutex> hold(settingsLock);
    configured.timeoutSeconds = std::max(1, seconds);
}

std::wstring CReverseGeoCode::GetServiceAddress()
{
    std::lock_guard<std::mutex> hold(settingsLock);
    return configured.address;
}

std::wstring CReverseGeoCode::GetUserName()
{
    std::lock_guard<std::mutex> hold(settingsLock);
    return configured.user;
}

int CReverseGeoCode::GetTimeout()
{
    std::lock_guard<std::mutex> hold(settingsLock);
    return configured.timeoutSeconds;
}

CGeoNamesService CReverseGeoCode::GetService()
{
    std::lock_guard<std::mutex> hold(settingsLock);
    return configured;
}

std::string CReverseGeoCode::FormatCoordinate(double value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text.precision(14);
    text << value;
    return text.str();
}

bool CReverseGeoCode::GetGeoNamesInfo(CGeoNames* names, CGPSMetadataInfo* info)
{
    if (!names || names->locations.empty() || !info)
        return false;
    std::wstring** fields[] = {&info->SubLocation, &info->City, &info->ProvinceState, &info->CountryName,
                               &info->CountryCode};
    for (std::wstring** field : fields)
        if (!*field)
            *field = new std::wstring();

    // The first place sets the fields outright, also with empty texts.
    const CGeoNameLocation& first = *names->locations.front();
    if (first.fcl == L"P")
        *info->City = first.name;
    else if (first.fcl == L"A")
        *info->ProvinceState = first.name;
    else
        *info->SubLocation = first.name;
    *info->ProvinceState = first.adminName1;
    *info->CountryName = first.countryName;
    *info->CountryCode = first.countryCode;

    for (const CGeoNameLocation* place : names->locations) {
        const wchar_t kind = place->fcl.empty() ? L'\0' : place->fcl[0];
        if (kind == L'A') {
            FillIfEmpty(info->ProvinceState, place->name);
        } else if (kind == L'P') {
            FillIfEmpty(info->City, place->name);
        } else {
            FillIfEmpty(info->SubLocation, place->name);
            FillIfEmpty(info->ProvinceState, place->adminName1);
            FillIfEmpty(info->CountryName, place->countryName);
            FillIfEmpty(info->CountryCode, place->countryCode);
        }
    }

    const bool found = !info->SubLocation->empty() || !info->City->empty() || !info->ProvinceState->empty() ||
                       !info->CountryName->empty();
    for (std::wstring** field : fields)
        if ((*field)->empty())
            ClearField(*field);
    return found;
}
