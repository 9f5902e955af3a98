// Geotagged pictures as GPX waypoints, written through Velloc: one waypoint
// per picture with coordinates, in the order the pictures were taken, named
// after the file, with the capture time and the altitude as elevation.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CaptureTime.h"
#include "GPSMetadataInfo.h"
#include "GPXModel.h"

struct WaypointPicture {
    std::wstring Name;                         // the file name
    const CGPSMetadataInfo* Record = nullptr;  // its current geotag
    CaptureStamp Stamp;                        // what the file says about the capture time
};

struct WaypointTree {
    std::unique_ptr<GPXRoot> Root;
    int Waypoints = 0;
    int WithoutCoordinates = 0;  // pictures left out
};

// A picture without a date taken gets the time of its GPS time stamp, or
// none; pictures without a time come last, by name.
WaypointTree BuildWaypoints(const std::vector<WaypointPicture>& pictures, const CameraClock& clock);

// Writes the tree as a GPX file (replaced in one step); false with `error`.
bool WriteWaypointFile(const std::string& path, const GPXRoot& root, std::string& error);
