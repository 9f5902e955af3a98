#include "OfflinePlaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include <zlib.h>

#include "StringUtil.h"

namespace {

const char kMagic[8] = {'C', 'V', 'P', 'L', 'A', 'C', 'E', 'S'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderSize = 64;
constexpr std::size_t kRecordSize = 24;
constexpr std::uint32_t kBands = 1800;           // 0.1 degree of latitude each
constexpr std::int32_t kBandWidth = 10000;       // in 1e-5 degrees
constexpr std::int32_t kQuarterTurn = 9000000;   // 90 degrees in 1e-5 degrees
constexpr std::int32_t kHalfTurn = 18000000;
constexpr std::uint16_t kNoDivision = 0xFFFF;
constexpr double kEarthRadiusKm = 6371.0088;
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;
// A name search looks at no more matches than this (a one-letter query).
constexpr std::size_t kMaxNameCandidates = 200000;

std::uint32_t ReadU32(const char* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);  // the format and the machines we build for are little-endian
    return v;
}

std::uint32_t Crc32(const char* data, std::size_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {  // zlib takes the length as a 32-bit count
        const uInt chunk = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), chunk);
        data += chunk;
        size -= chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

std::uint32_t BandOf(std::int32_t latE5)
{
    const std::int32_t band = (latE5 + kQuarterTurn) / kBandWidth;
    return static_cast<std::uint32_t>(std::min<std::int32_t>(band, kBands - 1));
}

}  // namespace

struct COfflinePlaces::Record {
    std::int32_t Lat;
    std::int32_t Lng;
    std::uint32_t Name;
    std::uint32_t Key;
    std::uint32_t Population;
    std::uint16_t Division;
    char Country[2];
};

COfflinePlaces::COfflinePlaces() = default;
COfflinePlaces::~COfflinePlaces() = default;

void COfflinePlaces::Clear()
{
    data_.clear();
    data_.shrink_to_fit();
    count_ = 0;
    divisions_ = 0;
}

std::error_code COfflinePlaces::Load(const std::string& path)
{
    Clear();
    std::error_code status;
    if (!std::filesystem::is_regular_file(path, status)) return OstrelErrc::IndexMissing;
    std::ifstream in(path, std::ios::binary);
    if (!in) return OstrelErrc::IndexMissing;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    // The index is a few megabytes; anything near 4 GiB is not one.
    if (size < 0 || size > static_cast<std::streamoff>(std::numeric_limits<std::uint32_t>::max()))
        return OstrelErrc::IndexDamaged;
    std::vector<char> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(bytes.data(), size)) return OstrelErrc::IndexMissing;
    return LoadFromBytes(std::move(bytes));
}

std::error_code COfflinePlaces::LoadFromBytes(std::vector<char> bytes)
{
    Clear();
    data_ = std::move(bytes);
    if (const std::error_code error = Check()) {
        Clear();
        return error;
    }
    return {};
}

std::error_code COfflinePlaces::Check()
{
    const std::error_code damaged = OstrelErrc::IndexDamaged;
    if (data_.size() < kHeaderSize || std::memcmp(data_.data(), kMagic, sizeof kMagic) != 0) return damaged;
    const char* h = data_.data();
    if (ReadU32(h + 8) != kVersion) return damaged;
    const std::uint32_t count = ReadU32(h + 12);
    divisions_ = ReadU32(h + 16);
    const std::uint32_t bands = ReadU32(h + 20);
    stringBytes_ = ReadU32(h + 24);
    placesOffset_ = ReadU32(h + 28);
    bandsOffset_ = ReadU32(h + 32);
    orderOffset_ = ReadU32(h + 36);
    divisionsOffset_ = ReadU32(h + 40);
    stringsOffset_ = ReadU32(h + 44);
    const std::uint32_t fileSize = ReadU32(h + 48);
    const std::uint32_t crc = ReadU32(h + 52);

    // The sections follow each other in a fixed order with no gaps; in 64
    // bits so that no count can wrap an offset round.
    const std::uint64_t places = kHeaderSize;
    const std::uint64_t bandTable = places + std::uint64_t{count} * kRecordSize;
    const std::uint64_t order = bandTable + (std::uint64_t{bands} + 1) * 4;
    const std::uint64_t divisions = order + std::uint64_t{count} * 4;
    const std::uint64_t strings = divisions + std::uint64_t{divisions_} * 4;
    if (count == 0 || bands != kBands || divisions_ > kNoDivision || fileSize != data_.size() ||
        placesOffset_ != places || bandsOffset_ != bandTable || orderOffset_ != order ||
        divisionsOffset_ != divisions || stringsOffset_ != strings || strings + stringBytes_ != fileSize)
        return damaged;
    if (Crc32(h + kHeaderSize, data_.size() - kHeaderSize) != crc) return damaged;
    count_ = count;
    if (const std::error_code error = CheckPlaces()) return error;
    return CheckNameOrder();
}

// Strings lie inside the string section; places lie in their band, ordered
// by longitude, with a known division and a two-letter country code.
std::error_code COfflinePlaces::CheckPlaces() const
{
    const std::error_code damaged = OstrelErrc::IndexDamaged;
    auto stringFits = [&](std::uint32_t offset) {
        return offset < stringBytes_ &&
               std::uint64_t{offset} + 1 + static_cast<unsigned char>(data_[stringsOffset_ + offset]) <= stringBytes_;
    };
    for (std::uint32_t d = 0; d < divisions_; ++d)
        if (!stringFits(ReadU32(&data_[divisionsOffset_ + 4 * d]))) return damaged;
    std::uint32_t previousStart = 0;
    for (std::uint32_t b = 0; b <= kBands; ++b) {
        const std::uint32_t start = ReadU32(&data_[bandsOffset_ + 4 * b]);
        if (start < previousStart || start > count_ || (b == 0 && start != 0) || (b == kBands && start != count_))
            return damaged;
        for (std::uint32_t i = previousStart; b > 0 && i < start; ++i) {
            const Record r = RecordAt(i);
            if (r.Lat < -kQuarterTurn || r.Lat > kQuarterTurn || r.Lng < -kHalfTurn || r.Lng > kHalfTurn ||
                BandOf(r.Lat) != b - 1 || (i > previousStart && RecordAt(i - 1).Lng > r.Lng))
                return damaged;
            if (!stringFits(r.Name) || !stringFits(r.Key) || (r.Division != kNoDivision && r.Division >= divisions_))
                return damaged;
            if (r.Country[0] < 'A' || r.Country[0] > 'Z' || r.Country[1] < 'A' || r.Country[1] > 'Z') return damaged;
        }
        previousStart = start;
    }
    return {};
}

// The name order is a permutation of the places, sorted by key.
std::error_code COfflinePlaces::CheckNameOrder() const
{
    std::vector<bool> seen(count_, false);
    std::string_view previous;
    for (std::size_t i = 0; i < count_; ++i) {
        const std::uint32_t place = ReadU32(&data_[orderOffset_ + 4 * i]);
        if (place >= count_ || seen[place]) return OstrelErrc::IndexDamaged;
        seen[place] = true;
        const std::string_view key = KeyAt(RecordAt(place).Key);
        if (key < previous) return OstrelErrc::IndexDamaged;
        previous = key;
    }
    return {};
}

COfflinePlaces::Record COfflinePlaces::RecordAt(std::size_t index) const
{
    static_assert(sizeof(Record) == kRecordSize, "a place is 24 bytes in the file");
    Record r;
    std::memcpy(&r, &data_[placesOffset_ + kRecordSize * index], kRecordSize);
    return r;
}

std::string COfflinePlaces::StringAt(std::uint32_t offset) const
{
    return std::string(KeyAt(offset));
}

std::string_view COfflinePlaces::KeyAt(std::uint32_t offset) const
{
    const char* p = &data_[stringsOffset_ + offset];
    return std::string_view(p + 1, static_cast<unsigned char>(p[0]));
}

COfflinePlace COfflinePlaces::At(std::size_t index) const
{
    COfflinePlace place;
    if (index >= count_) return place;
    const Record r = RecordAt(index);
    place.name = Utf8OrLatin1ToWide(StringAt(r.Name));
    if (r.Division != kNoDivision)
        place.division = Utf8OrLatin1ToWide(StringAt(ReadU32(&data_[divisionsOffset_ + 4 * r.Division])));
    place.countryCode = {static_cast<wchar_t>(r.Country[0]), static_cast<wchar_t>(r.Country[1])};
    place.lat = r.Lat / 1e5;
    place.lng = r.Lng / 1e5;
    place.population = r.Population;
    return place;
}

double COfflinePlaces::DistanceKm(double lat1, double lng1, double lat2, double lng2)
{
    const double dLat = (lat2 - lat1) * kDegree;
    const double dLng = (lng2 - lng1) * kDegree;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * kDegree) * std::cos(lat2 * kDegree) * std::sin(dLng / 2) * std::sin(dLng / 2);
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

bool COfflinePlaces::FindNearest(double lat, double lng, double maxKm, COfflinePlace& place) const
{
    if (!IsLoaded() || !std::isfinite(lat) || !std::isfinite(lng) || !(maxKm >= 0) || std::fabs(lat) > 90 ||
        std::fabs(lng) > 180)
        return false;
    // The latitudes within reach; the longitudes within reach unless the
    // circle takes in a pole (then every longitude is).
    const double reach = maxKm / kEarthRadiusKm;  // radians
    const double dLat = reach / kDegree + 1e-6;
    const double lowLat = std::max(-90.0, lat - dLat), highLat = std::min(90.0, lat + dLat);
    double dLng = 180;
    if (lat + dLat < 90 && lat - dLat > -90 && reach < kPi / 2) {
        const double s = std::sin(reach) / std::cos(lat * kDegree);
        if (s < 1) dLng = std::asin(s) / kDegree + 1e-6;
    }
    // One or two longitude intervals in 1e-5 degrees, split at the antimeridian.
    std::vector<std::pair<std::int32_t, std::int32_t>> spans;
    const auto e5 = [](double degrees) { return static_cast<std::int32_t>(std::floor(degrees * 1e5)); };
    if (dLng >= 180) {
        spans.emplace_back(-kHalfTurn, kHalfTurn);
    } else {
        const double from = lng - dLng, to = lng + dLng;
        spans.emplace_back(e5(std::max(from, -180.0)), e5(std::min(to, 180.0)) + 1);
        if (from < -180) spans.emplace_back(e5(from + 360), kHalfTurn);
        if (to > 180) spans.emplace_back(-kHalfTurn, e5(to - 360) + 1);
    }

    double best = maxKm;
    std::size_t found = count_;
    const std::uint32_t firstBand = BandOf(e5(lowLat)), lastBand = BandOf(e5(highLat));
    for (std::uint32_t b = firstBand; b <= lastBand; ++b) {
        const std::uint32_t begin = ReadU32(&data_[bandsOffset_ + 4 * b]);
        const std::uint32_t end = ReadU32(&data_[bandsOffset_ + 4 * (b + 1)]);
        for (const auto& [low, high] : spans) {
            // Binary search for the first place of the band at or east of `low`.
            std::uint32_t lo = begin, hi = end;
            while (lo < hi) {
                const std::uint32_t mid = lo + (hi - lo) / 2;
                if (RecordAt(mid).Lng < low) lo = mid + 1; else hi = mid;
            }
            for (std::uint32_t i = lo; i < end && RecordAt(i).Lng <= high; ++i) {
                const Record r = RecordAt(i);
                const double d = DistanceKm(lat, lng, r.Lat / 1e5, r.Lng / 1e5);
                if (d <= best && (found == count_ || d < best || i < found)) {
                    best = d;
                    found = i;
                }
            }
        }
    }
    if (found == count_) return false;
    place = At(found);
    place.distanceKm = best;
    return true;
}

std::vector<COfflinePlace> COfflinePlaces::FindByName(const std::string& key, std::size_t maxRows) const
{
    std::vector<COfflinePlace> places;
    if (!IsLoaded() || key.empty() || maxRows == 0) return places;
    auto keyOf = [&](std::size_t position) { return KeyAt(RecordAt(ReadU32(&data_[orderOffset_ + 4 * position])).Key); };
    std::size_t lo = 0, hi = count_;
    while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (keyOf(mid) < key) lo = mid + 1; else hi = mid;
    }
    struct Candidate {
        bool Exact;
        std::uint32_t Population;
        std::uint32_t Place;
    };
    std::vector<Candidate> candidates;
    for (std::size_t p = lo; p < count_ && candidates.size() < kMaxNameCandidates; ++p) {
        const std::uint32_t place = ReadU32(&data_[orderOffset_ + 4 * p]);
        const std::string_view candidate = KeyAt(RecordAt(place).Key);
        if (candidate.compare(0, key.size(), key) != 0) break;
        candidates.push_back({candidate.size() == key.size(), RecordAt(place).Population, place});
    }
    const std::size_t rows = std::min(maxRows, candidates.size());
    std::partial_sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(rows), candidates.end(),
                      [](const Candidate& a, const Candidate& b) {
                          if (a.Exact != b.Exact) return a.Exact;
                          if (a.Population != b.Population) return a.Population > b.Population;
                          return a.Place < b.Place;
                      });
    for (std::size_t i = 0; i < rows; ++i) places.push_back(At(candidates[i].Place));
    return places;
}
