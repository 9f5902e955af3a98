#include "Checks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

namespace invariants {

namespace {

// The tags that travel with a re-encoded picture; any other tag of IFD0 and
// of the EXIF IFD may be left out.
const long kIfdAllowList[] = {256, 257, 259, 270, 271, 272, 274, 282, 283, 296,
                              301, 305, 306, 315, 318, 319, 529, 532, 33432};
const long kExifAllowList[] = {33434, 33437, 34850, 34852, 34855, 34856, 34864, 34865, 34866, 34867, 34868, 34869,
                               36864, 36867, 36868, 37121, 37377, 37378, 37379, 37380, 37381, 37382, 37383, 37384,
                               37385, 37386, 37500, 37510, 37521, 37522, 40960, 40961, 40964, 41483, 41484, 41486,
                               41487, 41488, 41493, 41495, 41728, 41729, 41730, 41987, 41988, 41989, 41990, 41991,
                               41992, 41993, 41994, 41995, 41996, 42016, 42032, 42033, 42034, 42035, 42036, 42037};
// How a TIFF page's pixels are stored: a new encoding writes its own.
const long kTiffLayoutTags[] = {254, 256, 257, 258, 259, 262, 266, 273, 277, 278, 279, 284, 317, 320,
                                322, 323, 324, 325, 338, 339, 347, 530, 531, 532};

template <size_t N>
bool Listed(const long (&list)[N], const std::string& id)
{
    char* end = nullptr;
    const long tag = std::strtol(id.c_str(), &end, 10);
    return end && *end == '\0' && !id.empty() && std::find(list, list + N, tag) != list + N;
}

std::string BaseKey(const std::string& key)
{
    return key.substr(0, key.find('#'));
}

std::string NameOf(const std::string& key)
{
    const std::string base = BaseKey(key);
    return base.substr(base.find(':') + 1);
}

bool Matches(const std::string& pattern, const std::string& key)
{
    if (!pattern.empty() && pattern.back() == '*') return key.rfind(pattern.substr(0, pattern.size() - 1), 0) == 0;
    return key == pattern;
}

bool Touched(const Edit& edit, const std::string& key, bool stored)
{
    const std::string base = BaseKey(key);
    for (const std::string& name : edit.Touches)
        if (const Field* f = FindField(name))
            for (const std::string& pattern : stored ? f->Stored : f->Keys)
                if (Matches(pattern, base)) return true;
    return false;
}

bool IsGeotagStored(const std::string& key)
{
    for (const Field& f : Fields())
        for (const std::string& pattern : f.Stored)
            if (Matches(pattern, key)) return true;
    return false;
}

// Positions move when metadata grows; what they point at is compared elsewhere.
bool IsOffset(const std::string& key)
{
    const std::string name = NameOf(key);
    for (const char* end : {"Offset", "Offsets", "Start"})
        if (name.size() >= std::string(end).size() && name.compare(name.size() - std::string(end).size(), std::string::npos, end) == 0)
            return true;
    return false;
}

bool Ignored(const std::string& key)
{
    const std::string group = key.substr(0, key.find(':'));
    return group == "System" || group == "Composite" || group == "ExifTool" || IsOffset(key);
}

bool TouchesAny(const Edit& edit, const char* prefix)
{
    for (const std::string& name : edit.Touches)
        if (const Field* f = FindField(name))
            for (const std::string& key : f->Keys)
                if (key.rfind(prefix, 0) == 0) return true;
    return false;
}

bool HasGroup(const Listing& listing, const std::string& group)
{
    for (const auto& [key, value] : listing.ByKey)
        if (key.rfind(group + ":", 0) == 0) return true;
    return false;
}

// What a save may change besides the edit's own tags.
bool MayChange(const Edit& edit, const std::string& key, const Reading& before, const Tag* tag, bool isTiff)
{
    if (Touched(edit, key, false)) return true;
    if (IsIptcBookkeeping(BaseKey(key)) && (TouchesAny(edit, "IPTC:") || edit.Reencodes)) return true;
    if (IsXmpBookkeeping(BaseKey(key)) && TouchesAny(edit, "XMP-")) return true;
    // A GPS block made anew for the picture starts with its version; EXIF made
    // anew states its byte order.
    if (BaseKey(key) == "GPS:GPSVersionID" && !HasGroup(before.ExifTool, "GPS") && TouchesAny(edit, "GPS:"))
        return true;
    if (BaseKey(key) == "File:ExifByteOrder" && !before.ExifTool.Has(key)) return true;
    if (!edit.Reencodes) return false;
    if (tag && (isTiff ? DroppedByAllowList(*tag) : NotCarriedByStampedJpeg(*tag))) return true;
    // A re-encoded TIFF's EXIF dates are written from the record: both of them.
    if (isTiff && BaseKey(key) == "ExifIFD:CreateDate" && !before.ExifTool.Has(key))
        return true;
    // An address read from after the image travels into the picture's own IPTC.
    const std::string trailerKey = "IPTC2:" + NameOf(key);
    return key.rfind("IPTC:", 0) == 0 && !before.ExifTool.Has(key) && before.ExifTool.Has(trailerKey);
}

const Tag* TagOf(const Listing& listing, const std::string& key)
{
    return listing.Find(BaseKey(key));
}

bool NumberNear(const std::string& text, double expected, double tolerance)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::fabs(v - expected) <= tolerance;
}

}  // namespace

bool HasCoordinates(const Listing& listing)
{
    return listing.Has("GPS:GPSLatitude") && listing.Has("GPS:GPSLongitude");
}

bool HasAddress(const Listing& listing)
{
    for (const char* name : {"location", "city", "state", "country"})
        for (const std::string& key : FindField(name)->Keys)
            if (listing.Has(key)) return true;
    return false;
}

bool DroppedByAllowList(const Tag& tag)
{
    if (tag.Group == "IFD0") return !Listed(kIfdAllowList, tag.Id) || Listed(kTiffLayoutTags, tag.Id);
    if (tag.Group == "ExifIFD") return !Listed(kExifAllowList, tag.Id);
    // A re-encoded TIFF carries no thumbnail.
    if (tag.Group == "IFD1") return true;
    // Blocks a re-encoded picture does not carry: the ICC profile, IFD0's
    // PrintIM (and a JPEG's APP segments and data after the image, should a
    // TIFF name them).
    for (const char* group : {"ICC_Profile", "ICC-header", "ICC-view", "ICC-meas", "MPF0", "Adobe", "PrintIM", "AFCP",
                              "IPTC2", "FlashPix", "Ducky"})
        if (tag.Group == group) return true;
    if (tag.Group.rfind("MPImage", 0) == 0) return true;
    // The EXIF block is laid out anew, in the writer's byte order.
    return tag.Group == "File" && tag.Name == "ExifByteOrder";
}

bool NotCarriedByStampedJpeg(const Tag& tag)
{
    // A stamped JPEG keeps its coding and every metadata segment; what it
    // leaves out is what lay after the image (data appended to the file, and
    // the further pictures a multi-picture index points at, with the index).
    for (const char* group : {"MPF0", "AFCP", "IPTC2"})
        if (tag.Group == group) return true;
    return tag.Group.rfind("MPImage", 0) == 0;
}

std::vector<Finding> CheckIntents(const Edit& edit, const Listing& before, const Listing& after)
{
    std::vector<Finding> findings;
    for (const Intent& intent : edit.Intents) {
        if (intent.IfPresentBefore && !before.Has(intent.Key)) continue;
        const auto it = after.ByKey.find(intent.Key);
        const bool present = it != after.ByKey.end();
        switch (intent.How) {
        case Check::Absent:
            if (present) findings.push_back({IntendedValues, intent.Key + " is still there: " + it->second});
            break;
        case Check::Equals:
            if (!present || it->second != intent.Text)
                findings.push_back({IntendedValues, intent.Key + " reads " + (present ? "\"" + it->second + "\"" : "nothing") +
                                                        ", not \"" + intent.Text + "\""});
            break;
        case Check::Near:
            if (!present || !NumberNear(it->second, intent.Number, intent.Tolerance))
                findings.push_back({IntendedValues, intent.Key + " reads " + (present ? it->second : "nothing") +
                                                        ", not " + std::to_string(intent.Number)});
            break;
        }
    }
    if (edit.WipesAll)
        for (const auto& [key, value] : after.ByKey)
            if (IsLocationTag(key)) findings.push_back({IntendedValues, "the wipe left " + key + ": " + value});
    return findings;
}

namespace {

void CompareTags(const Edit& edit, const Reading& before, const Reading& after, bool isTiff,
                 std::vector<Finding>& findings)
{
    std::set<std::string> keys;
    for (const auto& kv : before.ExifTool.ByKey) keys.insert(kv.first);
    for (const auto& kv : after.ExifTool.ByKey) keys.insert(kv.first);
    for (const std::string& key : keys) {
        if (Ignored(key)) continue;
        const auto b = before.ExifTool.ByKey.find(key);
        const auto a = after.ExifTool.ByKey.find(key);
        const Tag* tag = TagOf(b != before.ExifTool.ByKey.end() ? before.ExifTool : after.ExifTool, key);
        if (MayChange(edit, key, before, tag, isTiff)) continue;
        if (a == after.ExifTool.ByKey.end())
            findings.push_back({OthersUnchanged, "lost " + key + ": " + b->second});
        else if (b == before.ExifTool.ByKey.end())
            findings.push_back({OthersUnchanged, "added " + key + ": " + a->second});
        else if (a->second != b->second)
            findings.push_back({OthersUnchanged, "changed " + key + ": " + b->second + " -> " + a->second});
    }
}

void CompareStoredForms(const Edit& edit, const Reading& before, const Reading& after, std::vector<Finding>& findings)
{
    std::set<std::string> keys;
    for (const auto& kv : before.Stored) keys.insert(kv.first);
    for (const std::string& key : keys) {
        if (!IsGeotagStored(key) || Touched(edit, key, true)) continue;
        std::vector<std::string> was, is;
        for (auto r = before.Stored.equal_range(key); r.first != r.second; ++r.first) was.push_back(r.first->second);
        for (auto r = after.Stored.equal_range(key); r.first != r.second; ++r.first) is.push_back(r.first->second);
        if (was == is) continue;
        std::string now;
        for (const auto& v : is) now += (now.empty() ? "" : " | ") + v;
        std::string then;
        for (const auto& v : was) then += (then.empty() ? "" : " | ") + v;
        findings.push_back({FormsKept, key + " stored as \"" + then + "\" became \"" + now + "\""});
    }
}

}  // namespace

std::vector<Finding> CompareReadings(const Edit& edit, const Reading& before, const Reading& after, bool isTiff)
{
    std::vector<Finding> findings = CheckIntents(edit, before.ExifTool, after.ExifTool);
    CompareTags(edit, before, after, isTiff, findings);
    CompareStoredForms(edit, before, after, findings);
    for (const std::string& w : after.ExifTool.Warnings)
        if (std::find(before.ExifTool.Warnings.begin(), before.ExifTool.Warnings.end(), w) ==
            before.ExifTool.Warnings.end())
            findings.push_back({NoNewWarnings, "exiftool now warns \"" + w + "\""});
    return findings;
}

}  // namespace invariants
