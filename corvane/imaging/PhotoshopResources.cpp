#include "PhotoshopResources.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <memory>

Md5Digest ComputeMd5(const std::string& bytes)
{
    Md5Digest out{};
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    unsigned int length = 0;
    if (ctx && EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) == 1 &&
        EVP_DigestUpdate(ctx.get(), bytes.data(), bytes.size()) == 1)
        EVP_DigestFinal_ex(ctx.get(), out.data(), &length);
    return out;
}

namespace {

// Walks the resources of a block; `visit(id, start, dataOffset, dataLength, end)`
// returns false to stop. False when the walk met a malformed resource.
template <typename Visit>
bool WalkResources(const std::string& block, Visit visit)
{
    // Each resource: "8BIM", id (2), Pascal name padded to even length, size (4), data padded to even length.
    size_t pos = 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(block.data());
    const size_t size = block.size();
    while (pos + 12 <= size) {
        if (std::memcmp(p + pos, "8BIM", 4) != 0) return false;
        const std::uint16_t rid = static_cast<std::uint16_t>(p[pos + 4] << 8 | p[pos + 5]);
        size_t nameLength = p[pos + 6] + 1;
        if (nameLength % 2) ++nameLength;
        size_t at = pos + 6 + nameLength;
        if (at + 4 > size) return false;
        const std::uint32_t length = static_cast<std::uint32_t>(p[at]) << 24 | p[at + 1] << 16 | p[at + 2] << 8 | p[at + 3];
        at += 4;
        if (length > size - at) return false;
        const size_t end = std::min(size, at + length + (length % 2));
        if (!visit(rid, pos, at, static_cast<size_t>(length), end)) return true;
        pos = end;
    }
    return true;
}

}  // namespace

bool FindPhotoshopResource(const std::string& block, std::uint16_t id, std::string& data, size_t* dataOffset)
{
    bool found = false;
    WalkResources(block, [&](std::uint16_t rid, size_t, size_t at, size_t length, size_t) {
        if (rid != id) return true;
        data.assign(block, at, length);
        if (dataOffset) *dataOffset = at;
        found = true;
        return false;
    });
    return found;
}

std::vector<PhotoshopResourceRecord> PhotoshopResourceRecords(const std::string& block)
{
    std::vector<PhotoshopResourceRecord> records;
    WalkResources(block, [&](std::uint16_t rid, size_t start, size_t, size_t, size_t end) {
        records.push_back({rid, block.substr(start, end - start)});
        return true;
    });
    return records;
}

IptcDigestState InspectIptcDigest(const std::string& block)
{
    IptcDigestState state;
    std::string digest;
    if (!FindPhotoshopResource(block, kPhotoshopIptcDigest, digest, &state.DigestOffset) || digest.size() != 16)
        return state;
    state.HasDigest = true;
    // No IPTC resource is the same as an empty one: a digest of nothing
    // still says the IPTC and the XMP agree.
    std::string iptc;
    FindPhotoshopResource(block, kPhotoshopIptcResource, iptc);
    const Md5Digest md5 = ComputeMd5(iptc);
    state.Matches = std::memcmp(md5.data(), digest.data(), 16) == 0;
    return state;
}
