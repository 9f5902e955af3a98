// The address settings ("GeoNamesServer", "GeoNamesUser", "GeoNamesTimeout",
// "AddressSource") as the geocoding code takes them.
#pragma once

#include "GeocodingConfig.h"
#include "SettingsStore.h"

// The placeholder account of older settings counts as none; the deadline is
// kept between 1 and 300 seconds.
GeocodingConfig ReadGeocodingConfig(const ISettingsStore& settings);
