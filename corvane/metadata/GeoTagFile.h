// A picture file's geotag as a whole: read it into a record, or write a
// record as the geotag of a file without touching its image data.
#pragma once

#include <memory>
#include <string>

#include "GPSMetadataInfo.h"
#include "HResult.h"
#include "PictureFormat.h"

// Reads the geotag of a JPEG or TIFF file. Null with `error` set ("unreadable:
// ...", "not a JPEG or TIFF picture") when the file cannot give one.
std::unique_ptr<CGPSMetadataInfo> ReadGeoTag(const std::string& path, PictureFormat* format, std::string* error);

// Writes `record` as the geotag of the picture `source` into `target` (which
// may be `source` itself): every other metadata item and the image data stay
// byte for byte; the geotag becomes exactly the record's. The target is
// replaced in one step; on failure it is left as it was.
HRESULT SaveGeoTag(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                   std::string* error);
