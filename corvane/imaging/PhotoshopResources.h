// The IPTC digest resource (0x0425) of a Photoshop resource block: an MD5 of
// the IPTC records (resource 0x0404) that other programs use to tell whether
// the IPTC was edited by software unaware of the digest.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Md5Digest = std::array<std::uint8_t, 16>;

Md5Digest ComputeMd5(const std::string& bytes);

struct IptcDigestState {
    bool HasDigest = false;
    bool Matches = false;      // the digest is the MD5 of the block's IPTC resource
    size_t DigestOffset = 0;   // of the 16 digest bytes within the block
};

// Looks at a Photoshop resource block (a sequence of "8BIM" resources).
IptcDigestState InspectIptcDigest(const std::string& block);
// The data of resource `id`, or false when absent or malformed.
bool FindPhotoshopResource(const std::string& block, std::uint16_t id, std::string& data, size_t* dataOffset = nullptr);

constexpr std::uint16_t kPhotoshopIptcResource = 0x0404;
constexpr std::uint16_t kPhotoshopIptcDigest = 0x0425;

// One resource of a block, as stored: "8BIM", id, name, size, data, padding.
struct PhotoshopResourceRecord {
    std::uint16_t Id = 0;
    std::string Bytes;
};
// Every well-formed resource of a block, in order, up to the first fault.
std::vector<PhotoshopResourceRecord> PhotoshopResourceRecords(const std::string& block);
