// What the independent readers see in a picture: exiftool's full listing
// (-a -G1 -n, with tag ids), exiv2's stored forms of the geotag items, and
// whether a decoder we did not write can open the image.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace invariants {

namespace fs = std::filesystem;

struct Tag {
    std::string Group;  // family-1 group: "GPS", "IFD0", "XMP-exif", "IPTC"...
    std::string Id;     // decimal tag id, "-" when the group has none
    std::string Name;
    std::string Value;
    std::string Key() const { return Group + ":" + Name; }
};

struct Listing {
    std::vector<Tag> Tags;
    // "Group:Name" -> value; a repeated key gets "#2", "#3"... in listing order.
    std::map<std::string, std::string> ByKey;
    std::vector<std::string> Warnings;  // exiftool's own warnings and errors
    bool Has(const std::string& key) const { return ByKey.count(key) != 0; }
    const Tag* Find(const std::string& key) const;
};

// One exiftool run over all `files`.
std::map<fs::path, Listing> ExifToolListings(const std::vector<fs::path>& files);
Listing ParseExifToolOutput(const std::string& text);

// exiv2's stored form ("54/1 5938/100 0/1") of every EXIF, IPTC and XMP item,
// keyed by the library's key; one exiv2 run over all `files`.
using StoredForms = std::multimap<std::string, std::string>;
std::map<fs::path, StoredForms> Exiv2StoredForms(const std::vector<fs::path>& files);

// True when djpeg (JPEG) or libtiff (every page, TIFF) decodes the picture without complaint.
bool DecodesCleanly(const fs::path& file);

// The same three for pictures that do not change between runs, kept in a
// cache folder keyed by the file's content.
struct Reading {
    Listing ExifTool;
    StoredForms Stored;
    bool Decodes = false;
};
std::map<fs::path, Reading> ReadCached(const std::vector<fs::path>& files, const fs::path& cacheFolder);
std::map<fs::path, Reading> ReadNow(const std::vector<fs::path>& files);

}  // namespace invariants
