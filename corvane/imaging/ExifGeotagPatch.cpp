#include "ExifGeotagPatch.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr std::uint16_t kGpsPointer = 34853;
constexpr std::uint16_t kExifPointer = 34665;
constexpr std::uint16_t kDateTimeOriginal = 36867;
constexpr std::uint16_t kDateTimeDigitized = 36868;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::uint16_t kTypeIfd = 13;
constexpr size_t kEntrySize = 12;
constexpr size_t kMaxEntries = 1000;  // a directory with more is not one we patch

bool IsGeotag(const Exiv2::Exifdatum& d)
{
    const std::string group = d.groupName();
    return group == "GPSInfo" || (group == "Image" && d.tag() == kGpsPointer) ||
           (group == "Photo" && (d.tag() == kDateTimeOriginal || d.tag() == kDateTimeDigitized));
}

// The items of one kind, as comparable text: directory, tag, type, count, value.
std::vector<std::string> Items(const Exiv2::ExifData& list, bool geotag, const char* group = nullptr)
{
    std::vector<std::string> out;
    for (const auto& d : list) {
        if (IsGeotag(d) != geotag || (group && d.groupName() != group)) continue;
        if (geotag && d.groupName() == "Image") continue;  // the pointer is ours to set
        out.push_back(std::to_string(d.ifdId()) + "/" + std::to_string(d.tag()) + "/" + std::to_string(d.typeId()) +
                      "/" + std::to_string(d.count()) + "/" + d.toString());
    }
    return out;
}

// A directory entry: one read from the block (its 4-byte value field kept as
// it is, offsets included) or a new one with its value bytes.
struct Entry {
    std::uint16_t Tag = 0;
    std::uint16_t Type = 0;
    std::uint32_t Count = 0;
    std::string Field;  // read: the 4-byte value field
    std::string Value;  // new: the value's bytes
    bool Fresh = false;
};

struct Directory {
    size_t Offset = 0;
    std::vector<Entry> Entries;
    std::uint32_t Next = 0;
    const Entry* Find(std::uint16_t tag) const
    {
        for (const Entry& e : Entries)
            if (e.Tag == tag) return &e;
        return nullptr;
    }
};

size_t TypeSize(std::uint16_t type)
{
    static const size_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4};
    return type < sizeof sizes / sizeof sizes[0] ? sizes[type] : 0;
}

// The TIFF structure, every access bounds-checked.
class Block {
public:
    explicit Block(std::string& bytes) : b_(bytes)
    {
        ok_ = b_.size() >= 8 && ((b_.compare(0, 4, "II*\0", 4) == 0) || (b_.compare(0, 4, "MM\0*", 4) == 0));
        big_ = ok_ && b_[0] == 'M';
    }
    bool Ok() const { return ok_; }
    Exiv2::ByteOrder Order() const { return big_ ? Exiv2::bigEndian : Exiv2::littleEndian; }
    std::uint32_t Get(size_t at, size_t width)
    {
        if (at + width > b_.size() || at + width < at) return ok_ = false, 0;
        std::uint32_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(b_[at + i])) << (8 * (big_ ? width - 1 - i : i));
        return v;
    }
    std::string Put(std::uint32_t v, size_t width) const
    {
        std::string out(width, '\0');
        for (size_t i = 0; i < width; ++i) out[i] = static_cast<char>(v >> (8 * (big_ ? width - 1 - i : i)) & 0xFF);
        return out;
    }
    void Set(size_t at, std::uint32_t v, size_t width) { b_.replace(at, width, Put(v, width)); }
    void Zero(size_t at, size_t length)
    {
        if (at < b_.size()) b_.replace(at, std::min(length, b_.size() - at), std::min(length, b_.size() - at), '\0');
    }
    // The value field of an entry read from the block, as a number (an offset for values over 4 bytes).
    std::uint32_t Field(const Entry& e) const
    {
        std::uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(e.Field[i])) << (8 * (big_ ? 3 - i : i));
        return v;
    }

    size_t Size() const { return b_.size(); }
    void Truncate(size_t size) { b_.resize(std::min(size, b_.size())); }
    bool Read(size_t offset, Directory& d);
    size_t Write(std::vector<Entry> entries, std::uint32_t next);
    void Erase(const Directory& d, bool values);

private:
    std::string& b_;
    bool ok_ = false;
    bool big_ = false;
};

bool Block::Read(size_t offset, Directory& d)
{
    d = Directory();
    d.Offset = offset;
    const size_t count = Get(offset, 2);
    if (!ok_ || count > kMaxEntries) return false;
    for (size_t i = 0; i < count; ++i) {
        const size_t at = offset + 2 + i * kEntrySize;
        Entry e;
        e.Tag = static_cast<std::uint16_t>(Get(at, 2));
        e.Type = static_cast<std::uint16_t>(Get(at + 2, 2));
        e.Count = Get(at + 4, 4);
        Get(at + 8, 4);
        if (!ok_) return false;
        e.Field = b_.substr(at + 8, 4);
        d.Entries.push_back(e);
    }
    d.Next = Get(offset + 2 + count * kEntrySize, 4);
    return ok_;
}

// A new directory at the end, its entries in tag order, new values after it.
size_t Block::Write(std::vector<Entry> entries, std::uint32_t next)
{
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.Tag < b.Tag; });
    if (b_.size() % 2) b_ += '\0';  // TIFF offsets are word aligned
    const size_t at = b_.size();
    const size_t tableSize = 2 + entries.size() * kEntrySize + 4;
    std::string table = Put(static_cast<std::uint32_t>(entries.size()), 2), values;
    for (const Entry& e : entries) {
        std::string field = e.Field;
        if (e.Fresh) {
            field = e.Value.size() <= 4 ? e.Value + std::string(4 - e.Value.size(), '\0')
                                        : Put(static_cast<std::uint32_t>(at + tableSize + values.size()), 4);
            if (e.Value.size() > 4) values += e.Value + std::string(e.Value.size() % 2, '\0');
        }
        table += Put(e.Tag, 2) + Put(e.Type, 2) + Put(e.Count, 4) + field;
    }
    b_ += table + Put(next, 4) + values;
    return at;
}

// Zeroes a directory that nothing points at any more, and with `values` the
// values it kept out of line.
void Block::Erase(const Directory& d, bool values)
{
    if (values)
        for (const Entry& e : d.Entries) {
            const std::uint64_t size = std::uint64_t{TypeSize(e.Type)} * e.Count;
            if (size > 4 && !e.Fresh) Zero(Field(e), static_cast<size_t>(std::min<std::uint64_t>(size, b_.size())));
        }
    Zero(d.Offset, 2 + d.Entries.size() * kEntrySize + 4);
}

}  // namespace

namespace {

bool ToEntry(const Exiv2::Exifdatum& d, Exiv2::ByteOrder order, Entry& e)
{
    const size_t unit = TypeSize(static_cast<std::uint16_t>(d.typeId()));
    if (unit == 0 || d.size() <= 0 || d.size() % unit != 0) return false;
    e.Tag = d.tag();
    e.Type = static_cast<std::uint16_t>(d.typeId());
    e.Count = static_cast<std::uint32_t>(d.size() / static_cast<long>(unit));
    e.Value.assign(static_cast<size_t>(d.size()), '\0');
    d.copy(reinterpret_cast<Exiv2::byte*>(&e.Value[0]), order);
    e.Fresh = true;
    return true;
}

bool Entries(const Exiv2::ExifData& list, const char* group, Exiv2::ByteOrder order, std::vector<Entry>& out,
             bool datesOnly = false)
{
    for (const auto& d : list) {
        if (d.groupName() != group || (datesOnly && d.tag() != kDateTimeOriginal && d.tag() != kDateTimeDigitized))
            continue;
        Entry e;
        if (!ToEntry(d, order, e)) return false;
        out.push_back(e);
    }
    return true;
}

size_t Ifd0Offset(Block& b)
{
    return b.Get(4, 4);
}

// Points IFD0's entry `tag` at `offset`, adding the entry (in a new copy of
// IFD0) when the block has none.
bool PointIfd0At(Block& b, std::uint16_t tag, std::uint32_t offset)
{
    Directory ifd0;
    if (!b.Read(Ifd0Offset(b), ifd0)) return false;
    for (size_t i = 0; i < ifd0.Entries.size(); ++i)
        if (ifd0.Entries[i].Tag == tag) {
            const size_t at = ifd0.Offset + 2 + i * kEntrySize;
            b.Set(at + 2, kTypeLong, 2);
            b.Set(at + 4, 1, 4);
            b.Set(at + 8, offset, 4);
            return true;
        }
    Entry pointer;
    pointer.Tag = tag;
    pointer.Type = kTypeLong;
    pointer.Count = 1;
    pointer.Value = b.Put(offset, 4);
    pointer.Fresh = true;
    std::vector<Entry> entries = ifd0.Entries;
    entries.push_back(pointer);
    const size_t moved = b.Write(entries, ifd0.Next);
    b.Set(4, static_cast<std::uint32_t>(moved), 4);
    b.Erase(ifd0, false);
    return true;
}

// Removes IFD0's entry `tag` where it stands.
bool DropIfd0Entry(Block& b, std::uint16_t tag)
{
    Directory ifd0;
    if (!b.Read(Ifd0Offset(b), ifd0)) return false;
    std::vector<Entry> kept;
    for (const Entry& e : ifd0.Entries)
        if (e.Tag != tag) kept.push_back(e);
    if (kept.size() == ifd0.Entries.size()) return true;
    b.Erase(ifd0, false);
    std::string table = b.Put(static_cast<std::uint32_t>(kept.size()), 2);
    for (const Entry& e : kept) table += b.Put(e.Tag, 2) + b.Put(e.Type, 2) + b.Put(e.Count, 4) + e.Field;
    table += b.Put(ifd0.Next, 4);
    for (size_t i = 0; i < table.size(); ++i) b.Set(ifd0.Offset + i, static_cast<std::uint8_t>(table[i]), 1);
    return true;
}

bool OnlyGpsTags(const Directory& d)
{
    for (const Entry& e : d.Entries)
        if (e.Tag > 0xFF) return false;  // GPS tags are numbered from 0 to 31 (EXIF 2.32, 4.6.6)
    return true;
}

// Where a directory and the values it keeps out of line lie, when they form
// one run of bytes (a word-alignment byte apart at most).
bool Extent(Block& b, const Directory& d, size_t& start, size_t& end)
{
    std::vector<std::pair<size_t, size_t>> pieces{{d.Offset, d.Offset + 2 + d.Entries.size() * kEntrySize + 4}};
    for (const Entry& e : d.Entries) {
        const std::uint64_t size = std::uint64_t{TypeSize(e.Type)} * e.Count;
        if (size > 4) pieces.emplace_back(b.Field(e), b.Field(e) + static_cast<size_t>(size));
    }
    std::sort(pieces.begin(), pieces.end());
    start = pieces.front().first;
    end = pieces.front().second;
    for (const auto& p : pieces) {
        if (p.first > end + 1) return false;
        end = std::max(end, p.second);
    }
    return true;
}

bool PatchGps(Block& b, const Exiv2::ExifData& after)
{
    Directory ifd0, old;
    if (!b.Read(Ifd0Offset(b), ifd0)) return false;
    const Entry* pointer = ifd0.Find(kGpsPointer);
    // An empty pointer (no count, or into the header, as some writers leave
    // it) points at no directory; one that points at something other than
    // GPS tags is not ours to rewrite.
    const bool hadGps = pointer && pointer->Count != 0 && b.Field(*pointer) >= 8;
    if (hadGps && (pointer->Count != 1 || (pointer->Type != kTypeLong && pointer->Type != kTypeIfd) ||
                   !b.Read(b.Field(*pointer), old) || !OnlyGpsTags(old)))
        return false;
    std::vector<Entry> gps;
    if (!Entries(after, "GPSInfo", b.Order(), gps)) return false;
    if (hadGps) {
        b.Erase(old, true);  // no earlier position stays in the file
        // A GPS directory at the end (one written here before) makes room for the new one.
        size_t start = 0, end = 0;
        if (Extent(b, old, start, end) && end + 1 >= b.Size() && start > ifd0.Offset) b.Truncate(start);
    }
    if (gps.empty()) return DropIfd0Entry(b, kGpsPointer) && b.Ok();
    return PointIfd0At(b, kGpsPointer, static_cast<std::uint32_t>(b.Write(gps, 0))) && b.Ok();
}

bool PatchDates(Block& b, const Exiv2::ExifData& after)
{
    Directory ifd0, exif;
    if (!b.Read(Ifd0Offset(b), ifd0)) return false;
    const Entry* pointer = ifd0.Find(kExifPointer);
    if (!pointer || pointer->Count != 1 || (pointer->Type != kTypeLong && pointer->Type != kTypeIfd) ||
        b.Field(*pointer) < 8 || !b.Read(b.Field(*pointer), exif))
        return false;
    std::vector<Entry> entries, dates;
    for (const Entry& e : exif.Entries)
        if (e.Tag != kDateTimeOriginal && e.Tag != kDateTimeDigitized) entries.push_back(e);
    if (!Entries(after, "Photo", b.Order(), dates, true)) return false;
    entries.insert(entries.end(), dates.begin(), dates.end());
    const size_t moved = b.Write(entries, exif.Next);
    if (!PointIfd0At(b, kExifPointer, static_cast<std::uint32_t>(moved))) return false;
    Directory oldDates = exif;
    oldDates.Entries.erase(std::remove_if(oldDates.Entries.begin(), oldDates.Entries.end(),
                                          [](const Entry& e) {
                                              return e.Tag != kDateTimeOriginal && e.Tag != kDateTimeDigitized;
                                          }),
                           oldDates.Entries.end());
    b.Erase(exif, false);
    b.Erase(oldDates, true);  // the replaced dates' values
    return b.Ok();
}

}  // namespace

bool PatchExifGeotag(std::string& tiff, const Exiv2::ExifData& before, const Exiv2::ExifData& after)
{
    if (Items(before, false) != Items(after, false)) return false;
    std::string patched = tiff;
    Block b(patched);
    if (!b.Ok()) return false;
    const bool gpsChanged = Items(before, true, "GPSInfo") != Items(after, true, "GPSInfo");
    const bool datesChanged = Items(before, true, "Photo") != Items(after, true, "Photo");
    if ((gpsChanged && !PatchGps(b, after)) || (datesChanged && !PatchDates(b, after))) return false;
    tiff.swap(patched);
    return true;
}
