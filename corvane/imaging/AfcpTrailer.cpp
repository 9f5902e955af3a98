#include "AfcpTrailer.h"

#include "IptcRecords.h"

#include <cstring>

namespace {

constexpr size_t kRecordSize = 12;

bool IsLocation(std::uint8_t record, std::uint8_t number)
{
    for (std::uint8_t n : {kIptcContentLocationCode, kIptcContentLocationName, kIptcCity, kIptcSubLocation,
                           kIptcProvinceState, kIptcCountryCode, kIptcCountryName})
        if (record == 2 && number == n) return true;
    return false;
}

}  // namespace

bool RemoveIptcDatasets(const std::string& iptc, const std::set<std::uint8_t>& remove, std::string& out)
{
    std::string kept;
    const bool ok = WalkIptcDatasets(iptc, [&](std::uint8_t record, std::uint8_t number, size_t at, size_t size, size_t) {
        if (record != 2 || !remove.count(number)) kept.append(iptc, at, size);
    });
    if (ok) out = kept;
    return ok;
}

std::uint32_t CAfcpTrailer::Read32(size_t at) const
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes_.data() + at);
    return bigEndian_ ? (std::uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3])
                      : (std::uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0]);
}

void CAfcpTrailer::Write32(std::string& s, size_t at, std::uint32_t v) const
{
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian_ ? 24 - 8 * i : 8 * i;
        s[at + i] = static_cast<char>(v >> shift & 0xFF);
    }
}

bool CAfcpTrailer::Parse(std::string_view tail, std::uint64_t fileSize, std::uint64_t earliest)
{
    *this = CAfcpTrailer();
    if (tail.size() < 2 * kRecordSize || tail.size() > fileSize) return false;
    const std::string end(tail.substr(tail.size() - kRecordSize));
    if (end.compare(0, 3, "AXS") != 0 || (end[3] != '!' && end[3] != '*')) return false;
    bigEndian_ = end[3] == '!';
    bytes_ = end;
    const std::uint64_t start = Read32(4);
    const std::uint64_t tailStart = fileSize - tail.size();
    if (start < earliest || start < tailStart || start + 2 * kRecordSize > fileSize) return (bytes_.clear(), false);
    bytes_.assign(tail.substr(static_cast<size_t>(start - tailStart)));
    offset_ = start;
    const std::uint16_t count = static_cast<std::uint16_t>(
        bigEndian_ ? (static_cast<std::uint8_t>(bytes_[6]) << 8 | static_cast<std::uint8_t>(bytes_[7]))
                   : (static_cast<std::uint8_t>(bytes_[7]) << 8 | static_cast<std::uint8_t>(bytes_[6])));
    if (bytes_.compare(0, 4, end, 0, 4) != 0 || kRecordSize * (2 + size_t{count}) > bytes_.size())
        return (bytes_.clear(), false);
    const std::uint64_t valuesEnd = fileSize - kRecordSize;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = kRecordSize * (1 + i);
        Entry e{bytes_.substr(at, 4), Read32(at + 4), Read32(at + 8)};
        if (e.Offset < start || std::uint64_t{e.Offset} + e.Size > valuesEnd) return (bytes_.clear(), false);
        entries_.push_back(e);
    }
    return true;
}

std::string CAfcpTrailer::ValueOf(const Entry& e) const
{
    return bytes_.substr(static_cast<size_t>(e.Offset - offset_), e.Size);
}

std::map<std::uint8_t, std::string> CAfcpTrailer::LocationDatasets() const
{
    std::map<std::uint8_t, std::string> found;
    for (const Entry& e : entries_) {
        if (e.Tag != "IPTC") continue;
        const std::string iptc = ValueOf(e);
        WalkIptcDatasets(iptc, [&](std::uint8_t record, std::uint8_t number, size_t at, size_t size, size_t header) {
            if (IsLocation(record, number) && !found.count(number)) found[number] = iptc.substr(at + header, size - header);
        });
    }
    return found;
}

bool CAfcpTrailer::Rewrite(std::uint64_t newOffset, const std::set<std::uint8_t>& remove, std::string& out,
                           std::string* error) const
{
    if (newOffset + bytes_.size() > 0xFFFFFFFFu) {
        if (error) *error = "refused: the picture is too large for its AFCP trailer's offsets";
        return false;
    }
    const std::int64_t shift = static_cast<std::int64_t>(newOffset) - static_cast<std::int64_t>(offset_);
    bool removing = false;
    for (const auto& kv : LocationDatasets()) removing = removing || remove.count(kv.first);
    if (!removing) {
        // The same records where they were: every offset moves with the trailer.
        out = bytes_;
        for (size_t i = 0; i < entries_.size(); ++i)
            Write32(out, kRecordSize * (1 + i) + 8, static_cast<std::uint32_t>(entries_[i].Offset + shift));
        Write32(out, out.size() - kRecordSize + 4, static_cast<std::uint32_t>(newOffset));
        return true;
    }
    // The records laid out anew, the IPTC one without the datasets removed.
    std::string directory, values;
    const size_t valuesStart = kRecordSize * (1 + entries_.size());
    for (const Entry& e : entries_) {
        std::string value = ValueOf(e);
        if (e.Tag == "IPTC" && !RemoveIptcDatasets(value, remove, value)) {
            if (error) *error = "refused: the IPTC record after the image cannot be read to remove its location";
            return false;
        }
        std::string record = e.Tag + std::string(8, '\0');
        Write32(record, 4, static_cast<std::uint32_t>(value.size()));
        Write32(record, 8, static_cast<std::uint32_t>(newOffset + valuesStart + values.size()));
        directory += record;
        values += value;
    }
    out = bytes_.substr(0, 8) + std::string(4, '\0') + directory + values + bytes_.substr(bytes_.size() - kRecordSize);
    Write32(out, out.size() - kRecordSize + 4, static_cast<std::uint32_t>(newOffset));
    return true;
}
