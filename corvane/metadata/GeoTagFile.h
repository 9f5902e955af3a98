// A picture file's geotag as a whole: read it into a record, or write a
// record as the geotag of a file without touching its image data.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GPSMetadataInfo.h"
#include "HResult.h"
#include "PictureFormat.h"
#include "AtomicFileWriter.h"
#include "PictureMetadata.h"


// Opens a JPEG or TIFF file for editing (a JPEG's header only, a TIFF whole).
// Null with `error` set when it cannot be opened, is not a JPEG or TIFF, or
// its image data cannot be located ("refused: ...").
std::unique_ptr<CPictureMetadata> OpenPictureForEdit(const std::string& path, std::string* error);
// The same for a file opened and locked for the edit, read through `source`.
std::unique_ptr<CPictureMetadata> OpenPictureForEdit(const CLockedSource& source, std::string* error);
// The geotag of an open picture. An address field the picture's own IPTC
// lacks is read from an IPTC record kept after the image (an AFCP trailer).
std::unique_ptr<CGPSMetadataInfo> DecodeGeoTag(const CPictureMetadata& picture);
// Writes `record` as the geotag of an open picture into `target`, as
// SaveGeoTag below does; with a batch, the new file is staged in it and
// replaces the target when the batch commits. With the `source` the picture
// was read from, the target is replaced only if it is not that file or that
// file is unchanged since, and the source stays locked until then.
HRESULT SaveGeoTag(CPictureMetadata& picture, const std::string& target, const CGPSMetadataInfo& record,
                   std::string* error, CAtomicFileBatch* batch = nullptr,
                   std::vector<std::string>* warnings = nullptr,
                   std::shared_ptr<const CLockedSource> source = nullptr);

// Reads the geotag of a JPEG or TIFF file. Null with `error` set ("unreadable:
// ...", "not a JPEG or TIFF picture") when the file cannot give one.
std::unique_ptr<CGPSMetadataInfo> ReadGeoTag(const std::string& path, PictureFormat* format, std::string* error);

// Writes `record` as the geotag of the picture `source` into `target` (which
// may be `source` itself): every other metadata item and the image data stay
// byte for byte; the geotag becomes exactly the record's. The target is
// replaced in one step; on failure (a picture whose image data cannot be
// kept is refused, a value the picture cannot store fails the save: "not
// saved: the altitude ...") it is left as it was. `warnings` receives what
// was stored other than the record says (a city cut to IPTC's 32 bytes). The
// source is locked from the read to the replacement.
HRESULT SaveGeoTag(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                   std::string* error, std::vector<std::string>* warnings = nullptr);
