// The new header of a JPEG whose metadata was rewritten: the original
// header's segments in their own order and bytes, except the metadata blocks
// that changed, which come from the library's rewrite of the header. Blocks
// that did not change are never re-serialised (maker notes with absolute
// offsets, vendor IFDs and byte layouts other readers rely on stay intact).
#pragma once

#include <string>
#include <string_view>

struct ChangedJpegBlocks {
    bool Exif = false;
    bool Xmp = false;
    bool Photoshop = false;
    bool Comment = false;
};

// `original` and `rewritten` are JPEG headers (SOI up to and including the
// first SOS segment). On success `header` holds the new header, up to and
// including the original's SOS segment: the original scan data follows it
// unchanged. Fails, with
// `error` set, when the rewrite would alter anything but metadata (frame,
// tables, restart interval, scan header).
bool SpliceJpegHeader(std::string_view original, std::string_view rewritten, const ChangedJpegBlocks& changed,
                      std::string& header, std::string* error);
