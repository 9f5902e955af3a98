// The option values of geotag and export-gpx, read as strictly as the
// others: a zone the system does not know, an offset or a time that does not
// parse, a negative limit are usage errors.
#pragma once

#include <string>

#include "CliOptions.h"

bool ParseTrackOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error);
bool ParseZoneOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error);
bool ParseOffsetOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error);
bool ParseSyncOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error);
bool ParseLimitOption(const std::string& name, const std::string& value, CliOptions& o, std::string& error);
// What geotag needs besides its values: a track, and one way of correcting
// the camera clock.
bool CheckGeotagOptions(const CliOptions& o, std::string& error);
