// The edits the invariant suite makes to every picture, as data: what each
// runs, which geotag fields it may change, and what an independent reader
// must find afterwards.
#pragma once

#include <string>
#include <vector>

namespace invariants {

// A geotag field as exiftool names its tags (mirrors included) and as exiv2
// names the items whose stored form it owns.
struct Field {
    std::string Name;
    std::vector<std::string> Keys;    // "Group:Name"
    std::vector<std::string> Stored;  // exiv2 keys; a trailing '*' matches any suffix
};
const std::vector<Field>& Fields();
const Field* FindField(const std::string& name);

enum class Check { Equals, Near, Absent };

// One thing exiftool must read after the edit.
struct Intent {
    std::string Key;  // "Group:Name"
    Check How = Check::Equals;
    std::string Text;
    double Number = 0;
    double Tolerance = 0;
    bool IfPresentBefore = false;  // a mirror: only where the picture carried it
};

enum class EditKind {
    Cli,                 // one corvane-cli run over the folder of pictures
    CliEachPicture,      // one run per picture, its arguments made from the picture
    DocumentStampTwice,  // the document API: stamp, save, change, save again
};

struct Edit {
    std::string Name;
    EditKind Kind = EditKind::Cli;
    std::string Arguments;              // the verb and its options, before the pictures
    std::vector<std::string> Touches;   // fields whose tags may change
    std::vector<Intent> Intents;
    bool Reencodes = false;             // stamps: the pixels are encoded anew
    bool NeedsCoordinates = false;      // a picture without coordinates must be left as it was
    bool AddressWillDo = false;         // ... unless it has an address to state instead
    bool OverOriginal = true;           // settings: overwrite the original, or save into "Modified"
    bool WipesAll = false;              // no copy of the location may remain anywhere in the file
    bool Geocodes = false;              // needs the local address service
    bool Idempotent() const { return !Reencodes && Kind != EditKind::DocumentStampTwice; }
};

const std::vector<Edit>& AllEdits();

// The address the local service answers with, as the record stores it.
struct GeocodedAddress {
    static constexpr const char* SubLocation = "Piazza Grande";
    static constexpr const char* City = "Arezzo";
    static constexpr const char* State = "Toscana";
    static constexpr const char* Country = "Italia";
    static constexpr const char* CountryCode = "IT";
};

// Tags a save may change whenever it touches the fields of that kind.
bool IsIptcBookkeeping(const std::string& key);
bool IsXmpBookkeeping(const std::string& key);
// Tags that hold a location (or the date taken) in any group.
bool IsLocationTag(const std::string& key);

}  // namespace invariants
