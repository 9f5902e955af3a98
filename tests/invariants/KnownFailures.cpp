#include "KnownFailures.h"

#include <fnmatch.h>

#include <sstream>

namespace invariants {

namespace {

// Every edit that writes a GPS block: its own changes, and the stamps, which
// write the record's.
#define GPS_EDITS                                                                                                  \
    "set-latitude set-longitude set-altitude set-direction set-precision set-datum set-gps-date set-gps-time "     \
    "clear-latitude clear-longitude clear-altitude clear-direction clear-precision clear-datum clear-gps-date "    \
    "clear-gps-time set-value-it-has stamp-gps-* stamp-title-* stamp-address-*"
#define STAMPS "stamp-gps-* stamp-title-* stamp-address-*"

const char* const kGpsBlock =
    "issue 8 item 3: an edit rewrites the whole GPS block: values it did not change lose their stored form and "
    "precision (degrees and decimal minutes truncated, 6.45599999 s to 6.455 s, 14:27:07.24 to 14:27:07), and "
    "GPSAltitudeRef, GPSImgDirectionRef, GPSDest*, GPSProcessingMethod, GPSAreaInformation are dropped";
const char* const kAltitudePrecision =
    "issue 8 item 3: a value the user sets loses the precision given (--alt 8848.86 is stored as 8848.8)";
const char* const kMirrorCascade =
    "issue 8 item 3: the XMP mirror follows the truncated coordinate, so a second edit rewrites it again";
const char* const kSignedRationals =
    "issue 8 item 4: coordinates stored as signed rationals (a phone) are not read: not cleared, not geocoded";
const char* const kLocationStructures =
    "issue 8 item 12 (XMP half): clear all keeps Iptc4xmpExt LocationCreated/LocationShown city and coordinates";
const char* const kUnparsedXmp =
    "issue 8 item 12 (XMP half): the XMP mirror cannot reach a packet exiv2 cannot parse; its exif:DateTimeOriginal "
    "and exif:GPSVersionID stay through set, clear date and clear all, and nothing says so";
const char* const kLocale =
    "issue 8 item 8: stamping runs under the user's locale and the XMP mirror writes \"43,28...\" under de_DE/fr_FR";
const char* const kOrphanReferences =
    "found by this suite (GPS encoder): clearing the altitude or the image direction leaves GPSAltitudeRef or "
    "GPSImgDirectionRef written without its value";
const char* const kStampWithoutCoordinates =
    "issue 8 item 6: stamp gps/address on a picture without coordinates draws an empty band and says saved";
const char* const kStampDrawnAgain =
    "issue 8 item 5: in overwrite mode a queued stamp is drawn again at every later save of the picture";

const char* const kMakerNoteRelayout =
    "a re-encoded picture's EXIF block is written anew by exiv2, which lays its maker note out again: Nikon's "
    "NikonScan IFD offset and Canon's and Nikon's sub-directories with offsets of their own are left pointing at "
    "other bytes (metadata-only saves patch the original block instead and keep them)";

const char* const kEmptyXmpProperty =
    "exiv2 does not write an XMP property without text (an empty dc:title) when it serialises XMP whose "
    "properties changed";
const char* const kRepairedPointer =
    "a re-encoded picture's EXIF block is written anew by exiv2: IFD0's EXIF pointer, stored there as text, "
    "becomes a real one and the dates it could not reach become readable";

}  // namespace

const std::vector<KnownFailure>& KnownFailures()
{
    static const std::vector<KnownFailure> table = {
        {GPS_EDITS, "*", 2, "GPS:GPS", kGpsBlock},
        {GPS_EDITS, "*", 5, "Exif.GPSInfo.", kGpsBlock},
        {"set-altitude", "*", 1, "GPS:GPSAltitude reads 8848.8,", kAltitudePrecision},
        {"set-altitude", "*", 4, "applied again", kAltitudePrecision},
        {"clear-latitude clear-longitude", "made/*", 4, "applied again", kMirrorCascade},
        {"clear-altitude", "made/arbitro-iptc-gps.tif", 4, "applied again", kMirrorCascade},
        {"clear-latitude clear-longitude", "cameras/HMD_Nokia_8.3_5G.jpg", 1, "is still there", kSignedRationals},
        {"geocode", "cameras/HMD_Nokia_8.3_5G.jpg", 1, "reads nothing", kSignedRationals},
        {"clear-all", "made/kodak-keywords-xmp.jpg", 1, "XMP-iptcExt:Location", kLocationStructures},
        {"set-date clear-date clear-all", "broken/32-lens_data.jpeg", 1, "XMP-exif:", kUnparsedXmp},
        {STAMPS, "made/*", 7, "differs from the one saved under C", kLocale},
        {"clear-altitude clear-direction", "gps/DSCN*", 1, "Ref is still there", kOrphanReferences},
        {"stamp-gps-* stamp-address-*", "*", 0, "has no coordinates", kStampWithoutCoordinates},
        {"stamp-then-save-twice", "*", 3, "second save changed the image data", kStampDrawnAgain},
    };
    return table;
}

const std::vector<KnownFailure>& LibraryLimits()
{
    static const std::vector<KnownFailure> table = {
        {STAMPS, "*", 2, " Canon:", kMakerNoteRelayout},
        {STAMPS, "*", 2, " Nikon:", kMakerNoteRelayout},
        {STAMPS, "*", 2, " NikonCustom:", kMakerNoteRelayout},
        {STAMPS, "*", 2, " Panasonic:", kMakerNoteRelayout},
        {STAMPS, "*", 6, "Bad NikonScanIFD directory", kMakerNoteRelayout},
        {STAMPS, "*", 6, "Invalid CanonAFInfo data", kMakerNoteRelayout},
        {STAMPS, "*", 6, "Adjusted MakerNotes base", kMakerNoteRelayout},
        {"*", "*", 2, "lost XMP-dc:Title: $", kEmptyXmpProperty},
        {STAMPS, "broken/30-type_error.jpg", 2, "added ExifIFD:", kRepairedPointer},
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
