// The invariants a save must keep, checked on what the independent readers
// saw before and after one edit of one picture.
#pragma once

#include <string>
#include <vector>

#include "Edits.h"
#include "Listing.h"

namespace invariants {

// Invariant numbers as the suite reports them.
enum Invariant {
    Outcome = 0,          // saved, left alone or refused as the edit requires; no crash
    IntendedValues = 1,   // exiftool reads exactly what the edit meant
    OthersUnchanged = 2,  // every other tag is as it was (the allow list aside for re-encoded saves)
    ImageDataKept = 3,    // a metadata-only save keeps the image data byte for byte
    Idempotent = 4,       // the edit applied twice gives the file of the first time
    FormsKept = 5,        // a geotag value the edit did not touch keeps its stored form
    NoNewWarnings = 6,    // exiftool warns of nothing it did not warn of before
    LocaleInvariant = 7,  // C, de_DE.UTF-8 and fr_FR.UTF-8 give the same bytes
};

struct Finding {
    int Number;
    std::string Message;
};

// True when the picture carries coordinates exiftool can read.
bool HasCoordinates(const Listing& listing);
// Any part of an address a band could state (sub-location, city, state, country).
bool HasAddress(const Listing& listing);

// Invariants 1, 2, 5 and 6 between the picture before and after the edit.
std::vector<Finding> CompareReadings(const Edit& edit, const Reading& before, const Reading& after, bool isTiff);
// Invariant 1 alone (for a picture the edit left as it was).
std::vector<Finding> CheckIntents(const Edit& edit, const Listing& before, const Listing& after);

// Whether a stamped (re-encoded) TIFF may drop or replace this tag (the
// allow list of re-encoded saves, kept here as data).
bool DroppedByAllowList(const Tag& tag);
// The tags a stamped JPEG may lose: none but those of what follows its image.
bool NotCarriedByStampedJpeg(const Tag& tag);

}  // namespace invariants
