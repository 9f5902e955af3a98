// An AFCP trailer (AXS File Concatenation Protocol): records some archiving
// software appends after a JPEG's image, among them an IPTC record that may
// hold a location. Its directory holds absolute file offsets, so it must be
// moved along when the metadata before the image changes size.
//
// Layout: header "AXS!" (big-endian) or "AXS*" (little-endian), version (2),
// entry count (2), checksum (4); entries of tag (4), size (4), offset (4);
// the values; a 12-byte end record "AXS!"/"AXS*", start offset (4), zero (4).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CAfcpTrailer {
public:
    // Recognises a trailer from the file's last bytes: `tail` holds the last
    // `tail.size()` bytes of a file of `fileSize` bytes, and the trailer must
    // start at or after `earliest`. False when there is none, or when it does
    // not fit in `tail` or is not consistent.
    bool Parse(std::string_view tail, std::uint64_t fileSize, std::uint64_t earliest);

    bool Found() const { return !bytes_.empty(); }
    std::uint64_t Offset() const { return offset_; }
    std::uint64_t Size() const { return bytes_.size(); }

    // The location datasets its IPTC record holds: IIM record 2 dataset
    // number -> the value's bytes (the first when repeated).
    std::map<std::uint8_t, std::string> LocationDatasets() const;
    // The trailer as it must be written to start at `newOffset`, its IPTC
    // record without the record-2 datasets numbered in `remove`. False
    // (with `error`) when its IPTC record cannot be read to remove them.
    bool Rewrite(std::uint64_t newOffset, const std::set<std::uint8_t>& remove, std::string& out,
                 std::string* error) const;

private:
    struct Entry {
        std::string Tag;
        std::uint32_t Size = 0;
        std::uint32_t Offset = 0;  // in the file
    };
    std::uint32_t Read32(size_t at) const;
    void Write32(std::string& s, size_t at, std::uint32_t value) const;
    std::string ValueOf(const Entry& e) const;

    std::string bytes_;
    std::uint64_t offset_ = 0;
    bool bigEndian_ = true;
    std::vector<Entry> entries_;
};

// IIM record 2 datasets that hold a place.
constexpr std::uint8_t kIptcContentLocationCode = 26;
constexpr std::uint8_t kIptcContentLocationName = 27;
constexpr std::uint8_t kIptcCity = 90;
constexpr std::uint8_t kIptcSubLocation = 92;
constexpr std::uint8_t kIptcProvinceState = 95;
constexpr std::uint8_t kIptcCountryCode = 100;
constexpr std::uint8_t kIptcCountryName = 101;

// The IPTC record without its record-2 datasets numbered in `remove`. False
// when the record is malformed.
bool RemoveIptcDatasets(const std::string& iptc, const std::set<std::uint8_t>& remove, std::string& out);
