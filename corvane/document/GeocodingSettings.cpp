#include "GeocodingSettings.h"

#include <algorithm>

GeocodingConfig ReadGeocodingConfig(const ISettingsStore& settings)
{
    GeocodingConfig config;
    config.Service.address = ReadStringSetting(settings, "GeoNamesServer");
    config.Service.user = EffectiveAccount(ReadStringSetting(settings, "GeoNamesUser"));
    config.Service.timeoutSeconds = std::clamp(ReadIntSetting(settings, "GeoNamesTimeout"), 1, 300);
    config.Source = AddressSourceFromSetting(ReadStringSetting(settings, "AddressSource"));
    return config;
}
