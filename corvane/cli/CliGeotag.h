// The verbs of geotagging from tracks: geotag places pictures from GPX
// tracks, export-gpx writes geotagged pictures as GPX waypoints.
#pragma once

#include "CliOptions.h"

// Exit status 1, changing nothing, when a track or the clock synchronisation
// cannot be used.
int RunGeotag(const CliOptions& options);
// Exit status 2, changing nothing, when the last input is not a file the
// waypoints may replace.
int RunExportGpx(const CliOptions& options);
