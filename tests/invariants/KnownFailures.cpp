#include "KnownFailures.h"

#include <fnmatch.h>

#include <sstream>

namespace invariants {

namespace {

#define STAMPS "stamp-gps-* stamp-title-* stamp-address-*"
#define TIFFS "*.tif*"

const char* const kUnparsedXmp =
    "issue 8 item 12 (XMP half): the XMP mirror cannot reach a packet exiv2 cannot parse; its exif:DateTimeOriginal "
    "and exif:GPSVersionID stay through set, clear date and clear all, and nothing says so";
const char* const kOrphanReferences =
    "found by this suite (GPS encoder): clearing the altitude or the image direction leaves GPSAltitudeRef or "
    "GPSImgDirectionRef written without its value";

const char* const kMakerNoteRelayout =
    "a stamped TIFF is encoded anew and its EXIF written anew by exiv2, which lays its maker note out again: "
    "Nikon's NikonScan IFD offset and Canon's and Nikon's sub-directories with offsets of their own are left "
    "pointing at other bytes (metadata saves and stamped JPEGs keep the original block and patch it)";

const char* const kEmptyXmpProperty =
    "exiv2 does not write an XMP property without text (an empty dc:title) when it serialises XMP whose "
    "properties changed";

}  // namespace

const std::vector<KnownFailure>& KnownFailures()
{
    static const std::vector<KnownFailure> table = {
        {"set-date clear-date clear-all", "broken/32-lens_data.jpeg", 1, "XMP-exif:", kUnparsedXmp},
        {"clear-altitude clear-direction", "gps/DSCN*", 1, "Ref is still there", kOrphanReferences},
    };
    return table;
}

const std::vector<KnownFailure>& LibraryLimits()
{
    static const std::vector<KnownFailure> table = {
        {STAMPS, TIFFS, 2, " Canon:", kMakerNoteRelayout},
        {STAMPS, TIFFS, 2, " Nikon:", kMakerNoteRelayout},
        {STAMPS, TIFFS, 2, " NikonCustom:", kMakerNoteRelayout},
        {STAMPS, TIFFS, 2, " Panasonic:", kMakerNoteRelayout},
        {STAMPS, TIFFS, 6, "Bad NikonScanIFD directory", kMakerNoteRelayout},
        {STAMPS, TIFFS, 6, "Invalid CanonAFInfo data", kMakerNoteRelayout},
        {STAMPS, TIFFS, 6, "Adjusted MakerNotes base", kMakerNoteRelayout},
        {"*", "*", 2, "lost XMP-dc:Title: $", kEmptyXmpProperty},
    };
    return table;
}

bool CoversEdit(const KnownFailure& k, const std::string& edit)
{
    std::istringstream globs(k.Edits);
    for (std::string glob; globs >> glob;)
        if (fnmatch(glob.c_str(), edit.c_str(), 0) == 0) return true;
    return false;
}

namespace {

// A substring of the finding; a final '$' anchors it at the finding's end.
bool MessageMatches(const std::string& pattern, const std::string& message)
{
    if (pattern.empty() || pattern.back() != '$') return message.find(pattern) != std::string::npos;
    const std::string tail = pattern.substr(0, pattern.size() - 1);
    return message.size() >= tail.size() && message.compare(message.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

const KnownFailure* FindKnown(const std::vector<KnownFailure>& table, const std::string& edit,
                              const std::string& picture, int invariant, const std::string& message)
{
    for (const KnownFailure& k : table)
        if (k.Invariant == invariant && CoversEdit(k, edit) && fnmatch(k.Picture, picture.c_str(), 0) == 0 &&
            MessageMatches(k.Message, message))
            return &k;
    return nullptr;
}

}  // namespace invariants
