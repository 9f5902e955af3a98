// Saving a picture that has stamps pending: its pixels are decoded, every
// pending stamp draws on them in order, the same container and pixel format
// is encoded (a JPEG only in the blocks the stamps reach: the others are
// copied as they were coded), and the metadata of the source is carried
// over with the picture's current record (allow-list policy, as the pixels
// are new). The
// target is replaced in one step; the source is never touched unless it is
// the target, and then only by that final rename.
#pragma once

#include <string>
#include <vector>

#include "AtomicFileWriter.h"
#include "GPSMetadataInfo.h"
#include "HResult.h"
#include "Bitmap.h"
#include "GeoTagMetadataDecoder.h"
#include "ImageOperation.h"
#include "PictureCodec.h"
#include "StampCanvas.h"

// One pending operation of a picture with the text it was queued with (the
// title of a title stamp; empty for the others).
struct PendingStamp {
    CImageOperation* Operation = nullptr;
    std::wstring Text;
};

struct StampedSaveOptions {
    // Pictures larger than this (the setting "MaxStampMegapixels") are
    // refused from their header, before their pixels are decoded.
    int MaxStampMegapixels = DefaultMaxStampMegapixels;
};

// Draws the stamps among `operations` (oldest first) onto `source`, turned
// the way its EXIF orientation says it is shown, stamps at one edge next to
// each other, and writes
// the result to `target`, or stages it in `batch` when one is given. The
// stamps read the geotag from the metadata the new file gets, so what they
// state is `record`, the record being saved. Stamps
// that fail to initialise or draw are left out, as are operations of other
// kinds; every operation is uninitialised after its turn. Fails, with
// `error` set and the target untouched, when the source cannot be read or
// decoded, is over the pixel budget, or the new file cannot be encoded or
// written, or the record holds a changed value the picture cannot store.
// `warnings` receives what was stored other than the record says (IPTC texts
// cut to their limits).
HRESULT SaveStampedPicture(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                           const std::vector<PendingStamp>& operations, std::string* error,
                           CAtomicFileBatch* batch = nullptr, const StampedSaveOptions& options = {},
                           std::vector<std::string>* warnings = nullptr);

struct PendingOperation;
// The same for the document's pending operations of one picture.
HRESULT SaveStampedPicture(const std::string& source, const std::string& target, const CGPSMetadataInfo& record,
                           const std::vector<PendingOperation*>& operations, std::string* error,
                           CAtomicFileBatch* batch = nullptr, const StampedSaveOptions& options = {},
                           std::vector<std::string>* warnings = nullptr);

// The drawing step alone: applies `operations` to `canvas` as a save does,
// with `decoder` reading the geotag the stamps state.
void DrawPendingStamps(CStampCanvas& canvas, CGeoTagMetadataDecoder& decoder, const CGPSMetadataInfo& record,
                       const std::vector<PendingStamp>& operations);
