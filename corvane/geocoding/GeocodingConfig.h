// How addresses are found for one run: the GeoNames service with its
// account and deadline, the source the user chose, and where the address
// cache and the offline places index lie. Built from the settings by the
// document (ReadGeocodingConfig) so that this folder needs no settings store.
#pragma once

#include <QString>
#include <string>

#include "ReverseGeoCode.h"

enum class AddressSource {
    Online,   // the GeoNames service; the offline places when it cannot answer
    Offline,  // the offline places index only: nothing is sent
};

struct GeocodingConfig {
    CGeoNamesService Service;              // user empty: no account
    AddressSource Source = AddressSource::Online;
    QString CachePath;                     // empty: DefaultAddressCachePath()
    QString PlacesIndexPath;               // empty: the index installed with the program
};

// The account name the settings carried before users had to give their own:
// the service refuses it, so it counts as no account at all.
bool IsPlaceholderAccount(const std::wstring& user);
// The account to send: trimmed, empty for none or the placeholder.
std::wstring EffectiveAccount(const std::wstring& stored);

// The settings' words for the sources ("Online", "Offline"); anything else is Online.
AddressSource AddressSourceFromSetting(const std::wstring& value);
const wchar_t* AddressSourceSetting(AddressSource source);
