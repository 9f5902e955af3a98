// The IPTC Extension's location structures in XMP (Iptc4xmpExt:LocationCreated
// and LocationShown, bags of LocationDetails): copies of the place a picture
// was taken or shows, kept from contradicting the record or outliving a wipe.
#include <algorithm>
#include <string>
#include <vector>

#include "XmpGeoTagMirror.h"

namespace {

const char* const kCreated = "iptcExt:LocationCreated";
const char* const kShown = "iptcExt:LocationShown";

// Members that copy a record field, with the mirror property of that field.
struct Member {
    const char* Name;
    const char* Property;
};

const Member kMembers[] = {
    {"exif:GPSLatitude", "/exif:GPSLatitude"},      {"exif:GPSLongitude", "/exif:GPSLongitude"},
    {"exif:GPSAltitude", "/exif:GPSAltitude"},      {"exif:GPSAltitudeRef", "/exif:GPSAltitudeRef"},
    {"Iptc4xmpExt:Sublocation", "/iptc:Location"},  {"Iptc4xmpExt:City", "/photoshop:City"},
    {"Iptc4xmpExt:ProvinceState", "/photoshop:State"}, {"Iptc4xmpExt:CountryName", "/photoshop:Country"},
    {"Iptc4xmpExt:CountryCode", "/iptc:CountryCode"},
};

// An item name of the block ("/iptcExt:LocationCreated",
// "/iptcExt:LocationCreated[1]", "/{xmp=iptcExt:LocationCreated[1]/Iptc4xmpExt:City}")
// taken apart.
struct StructureItem {
    std::string Structure;  // "iptcExt:LocationCreated"
    std::string Entry;      // "iptcExt:LocationCreated[1]", empty for the bag itself
    std::string Member;     // "Iptc4xmpExt:City", empty for the bag and its entries
};

bool ParseStructureItem(const std::string& name, StructureItem& item)
{
    std::string inner;
    if (name.rfind("/{xmp=", 0) == 0 && name.back() == '}')
        inner = name.substr(6, name.size() - 7);
    else if (name.rfind('/', 0) == 0)
        inner = name.substr(1);
    else
        return false;
    const size_t bracket = inner.find('[');
    const size_t slash = inner.find('/');
    item.Structure = inner.substr(0, std::min(bracket, slash));
    if (item.Structure != kCreated && item.Structure != kShown) return false;
    item.Entry = bracket == std::string::npos ? std::string() : inner.substr(0, slash);
    item.Member = slash == std::string::npos ? std::string() : inner.substr(slash + 1);
    return true;
}

bool HasLocation(const CGPSMetadataInfo& r)
{
    return r.Latitude || r.Longitude || r.SubLocation || r.City || r.ProvinceState || r.CountryName || r.CountryCode;
}

// Whether a member has to go: its field was cleared, or (where the picture
// was taken) changed.
bool MemberOutdated(const StructureItem& item, const CGPSMetadataInfo& record, const CGPSMetadataInfo& stored)
{
    // A coordinate is a pair: where the taken place moved, neither half of
    // the old one is kept.
    const bool coordinate = item.Member == "exif:GPSLatitude" || item.Member == "exif:GPSLongitude";
    if (coordinate && item.Structure == kCreated) {
        for (const char* property : {"/exif:GPSLatitude", "/exif:GPSLongitude"})
            if (CXmpGeoTagMirror::PropertyText(property, record) != CXmpGeoTagMirror::PropertyText(property, stored))
                return true;
    }
    for (const Member& m : kMembers) {
        if (item.Member != m.Name) continue;
        const auto now = CXmpGeoTagMirror::PropertyText(m.Property, record);
        if (now == CXmpGeoTagMirror::PropertyText(m.Property, stored)) return false;
        return !now || item.Structure == kCreated;
    }
    return false;
}

// Entries left without members, then bags left without entries.
bool PruneEmpty(MetadataBlock& xmp)
{
    std::vector<std::string> entries, bags, empty;
    std::vector<StructureItem> members;
    for (const auto& i : xmp.Items()) {
        StructureItem item;
        if (!ParseStructureItem(i.first, item)) continue;
        if (!item.Member.empty())
            members.push_back(item);
        else if (!item.Entry.empty())
            entries.push_back(item.Entry);
        else
            bags.push_back(item.Structure);
    }
    for (const auto& entry : entries)
        if (std::none_of(members.begin(), members.end(), [&](const StructureItem& m) { return m.Entry == entry; }))
            empty.push_back("/" + entry);
    for (const auto& bag : bags) {
        const bool used =
            std::any_of(members.begin(), members.end(), [&](const StructureItem& m) { return m.Structure == bag; }) ||
            std::any_of(entries.begin(), entries.end(), [&](const std::string& e) {
                return e.rfind(bag, 0) == 0 && std::find(empty.begin(), empty.end(), "/" + e) == empty.end();
            });
        if (!used) empty.push_back("/" + bag);
    }
    bool changed = false;
    for (const auto& name : empty) changed |= xmp.RemoveMetadataByName(name) == S_OK;
    return changed;
}

}  // namespace

bool AgreeLocationDetails(MetadataBlock& xmp, const CGPSMetadataInfo& record, const CGPSMetadataInfo& stored)
{
    const bool wipe = HasLocation(stored) && !HasLocation(record);
    std::vector<std::string> doomed;
    for (const auto& i : xmp.Items()) {
        StructureItem item;
        if (!ParseStructureItem(i.first, item)) continue;
        if (wipe || (!item.Member.empty() && MemberOutdated(item, record, stored))) doomed.push_back(i.first);
    }
    if (doomed.empty()) return false;
    for (const auto& name : doomed) xmp.RemoveMetadataByName(name);
    PruneEmpty(xmp);
    return true;
}
