#include "PhotoshopResources.h"

#include <openssl/evp.h>

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

bool FindPhotoshopResource(const std::string& block, std::uint16_t id, std::string& data, size_t* dataOffset)
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
        if (rid == id) {
            data.assign(block, at, length);
            if (dataOffset) *dataOffset = at;
            return true;
        }
        pos = at + length + (length % 2);
    }
    return false;
}

IptcDigestState InspectIptcDigest(const std::string& block)
{
    IptcDigestState state;
    std::string digest;
    if (!FindPhotoshopResource(block, kPhotoshopIptcDigest, digest, &state.DigestOffset) || digest.size() != 16)
        return state;
    state.HasDigest = true;
    std::string iptc;
    if (FindPhotoshopResource(block, kPhotoshopIptcResource, iptc)) {
        const Md5Digest md5 = ComputeMd5(iptc);
        state.Matches = std::memcmp(md5.data(), digest.data(), 16) == 0;
    }
    return state;
}
