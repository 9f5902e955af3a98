// Rewrites the geotag of an EXIF block without moving anything else in it.
//
// Maker notes keep offsets into the EXIF block (absolute, or relative to a
// base of their own) that a reader cannot re-derive; a library that lays the
// block out anew can leave them pointing at the wrong bytes (a Nikon
// NikonScan IFD, a Canon maker note with a moved base). Here the block's
// bytes stay where they are: a new GPS IFD, and where needed a new copy of
// IFD0 or of the EXIF IFD, are appended at its end and the pointers to them
// patched. The bytes the old GPS IFD and replaced dates occupied are zeroed,
// so that no earlier position or date is left behind in the file.
#pragma once

#include <string>

#include "Exiv2Native.h"

// `tiff` is the block's TIFF structure (what follows "Exif\0\0" in a JPEG's
// APP1); `before` the library's items as read from it, `after` as they must
// be. False, with `tiff` unchanged, when the items differ anywhere but in the
// GPS IFD and the two EXIF dates, or the structure cannot be followed: the
// caller then lets the library write the block.
bool PatchExifGeotag(std::string& tiff, const Exiv2::ExifData& before, const Exiv2::ExifData& after);
