#include "WorldMap.h"

#include <algorithm>
#include <fstream>

using namespace WebMercator;

namespace {

constexpr char kMagic[6] = {'C', 'V', 'W', 'M', 'A', 'P'};
constexpr std::uint16_t kVersion = 1;
constexpr size_t kFileHeader = 6 + 2 + 4;
constexpr size_t kLayerHeader = 4 + 4 + 4 + 4;
// Nothing we ship comes near this; a larger file is not ours.
constexpr size_t kMaxFileBytes = 64u << 20;

std::uint32_t Fnv1a(const char* data, size_t size)
{
    std::uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(data[i]);
        hash *= 16777619u;
    }
    return hash;
}

class Reader {
public:
    Reader(const std::string& bytes, size_t begin, size_t end) : bytes_(bytes), at_(begin), end_(end) {}
    bool U8(std::uint32_t& v)
    {
        if (at_ >= end_) return false;
        v = static_cast<unsigned char>(bytes_[at_++]);
        return true;
    }
    bool U16(std::uint32_t& v) { return Fixed(2, v); }
    bool U32(std::uint32_t& v) { return Fixed(4, v); }
    // LEB128, at most five bytes for 32 bits.
    bool Varint(std::uint32_t& v)
    {
        v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            std::uint32_t byte;
            if (!U8(byte)) return false;
            if (shift == 28 && (byte & 0x70)) return false;  // more than 32 bits
            v |= (byte & 0x7f) << shift;
            if (!(byte & 0x80)) return true;
        }
        return false;
    }
    size_t At() const { return at_; }
    size_t Remaining() const { return end_ - at_; }

private:
    bool Fixed(int n, std::uint32_t& v)
    {
        if (end_ - at_ < static_cast<size_t>(n)) return false;
        v = 0;
        for (int i = 0; i < n; ++i) v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at_ + i])) << (8 * i);
        at_ += static_cast<size_t>(n);
        return true;
    }
    const std::string& bytes_;
    size_t at_;
    size_t end_;
};

std::int32_t Unzigzag(std::uint32_t v) { return static_cast<std::int32_t>((v >> 1) ^ (~(v & 1) + 1)); }
std::uint32_t Zigzag(std::int32_t v)
{
    return (static_cast<std::uint32_t>(v) << 1) ^ static_cast<std::uint32_t>(v >> 31);
}

void PutFixed(std::string& out, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void PutVarint(std::string& out, std::uint32_t v)
{
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7f) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
}

bool Fail(std::string* error, const std::string& why)
{
    if (error) *error = why;
    return false;
}

struct LayerHeader {
    std::uint32_t Kind, First, Last, Rings, Points, Bytes;
};

bool ReadRing(Reader& in, std::uint32_t& pointsLeft, WorldMapRing& ring, std::string* error)
{
    std::uint32_t count;
    if (!in.Varint(count)) return Fail(error, "a ring is cut short");
    if (count > pointsLeft) return Fail(error, "a ring holds more points than its layer");
    if (count > in.Remaining() / 2) return Fail(error, "a ring is cut short");  // two bytes a point at least
    pointsLeft -= count;
    ring.Points.reserve(count);
    std::int64_t lon = 0, lat = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t dx, dy;
        if (!in.Varint(dx) || !in.Varint(dy)) return Fail(error, "a ring is cut short");
        lon += Unzigzag(dx);
        lat += Unzigzag(dy);
        if (lon < -180LL * CWorldMap::Scale || lon > 180LL * CWorldMap::Scale || lat < -90LL * CWorldMap::Scale ||
            lat > 90LL * CWorldMap::Scale)
            return Fail(error, "a point lies off the globe");
        // 180 E stays the east edge of the world instead of wrapping to its west edge.
        const double longitude = static_cast<double>(lon) / CWorldMap::Scale;
        WorldPoint p = Project({static_cast<double>(lat) / CWorldMap::Scale, longitude});
        if (longitude >= 180.0) p.X = 1.0;
        if (i == 0) ring.Box = {p.X, p.Y, p.X, p.Y};
        ring.Box.Left = std::min(ring.Box.Left, p.X);
        ring.Box.Right = std::max(ring.Box.Right, p.X);
        ring.Box.Top = std::min(ring.Box.Top, p.Y);
        ring.Box.Bottom = std::max(ring.Box.Bottom, p.Y);
        ring.Points.push_back(p);
    }
    return true;
}

}  // namespace

bool CWorldMap::Load(const std::string& path, std::string* error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) return Fail(error, "cannot open " + path);
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0 || static_cast<size_t>(size) > kMaxFileBytes) return Fail(error, "the file is too large");
    file.seekg(0);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!file.read(bytes.data(), size)) return Fail(error, "cannot read " + path);
    return Parse(bytes, error);
}

bool CWorldMap::Parse(const std::string& bytes, std::string* error)
{
    layers_.clear();
    if (bytes.size() < kFileHeader + 4 || bytes.compare(0, 6, kMagic, 6) != 0)
        return Fail(error, "not a world map file");
    const size_t body = bytes.size() - 4;
    Reader trailer(bytes, body, bytes.size());
    std::uint32_t stored = 0, version = 0, count = 0;
    trailer.U32(stored);
    if (stored != Fnv1a(bytes.data(), body)) return Fail(error, "the checksum does not match");
    Reader in(bytes, 6, body);
    in.U16(version);
    in.U32(count);
    if (version != kVersion) return Fail(error, "unknown version");
    if (count == 0 || count > MaxLayers) return Fail(error, "bad layer count");
    std::vector<LayerHeader> headers(count);
    size_t dataBytes = 0;
    for (LayerHeader& h : headers) {
        std::uint32_t reserved;
        if (!in.U8(h.Kind) || !in.U8(h.First) || !in.U8(h.Last) || !in.U8(reserved) || !in.U32(h.Rings) ||
            !in.U32(h.Points) || !in.U32(h.Bytes))
            return Fail(error, "the layer table is cut short");
        if ((h.Kind != WorldMapLayer::Land && h.Kind != WorldMapLayer::Borders) || h.First > h.Last ||
            h.Last > static_cast<std::uint32_t>(MaxZoom) || h.Rings > MaxRings || h.Points > MaxPoints ||
            h.Rings > h.Bytes)
            return Fail(error, "a layer header is out of range");
        dataBytes += h.Bytes;
    }
    if (in.At() + dataBytes != body) return Fail(error, "the file length does not match its layers");
    size_t at = in.At();
    for (const LayerHeader& h : headers) {
        Reader data(bytes, at, at + h.Bytes);
        WorldMapLayer layer;
        layer.LayerKind = static_cast<int>(h.Kind);
        layer.FirstZoom = static_cast<int>(h.First);
        layer.LastZoom = static_cast<int>(h.Last);
        layer.Rings.resize(h.Rings);
        std::uint32_t pointsLeft = h.Points;
        for (WorldMapRing& ring : layer.Rings)
            if (!ReadRing(data, pointsLeft, ring, error)) return layers_.clear(), false;
        if (pointsLeft != 0 || data.At() != at + h.Bytes) {
            layers_.clear();
            return Fail(error, "a layer's rings do not fill it");
        }
        at += h.Bytes;
        layers_.push_back(std::move(layer));
    }
    return true;
}

std::string CWorldMap::Encode(const std::vector<WorldMapSourceLayer>& layers)
{
    std::vector<std::string> data;
    for (const WorldMapSourceLayer& layer : layers) {
        std::string out;
        for (const auto& ring : layer.Rings) {
            PutVarint(out, static_cast<std::uint32_t>(ring.size()));
            std::int32_t lon = 0, lat = 0;
            for (const auto& [x, y] : ring) {
                PutVarint(out, Zigzag(x - lon));
                PutVarint(out, Zigzag(y - lat));
                lon = x;
                lat = y;
            }
        }
        data.push_back(std::move(out));
    }
    std::string file(kMagic, 6);
    PutFixed(file, kVersion, 2);
    PutFixed(file, static_cast<std::uint32_t>(layers.size()), 4);
    for (size_t i = 0; i < layers.size(); ++i) {
        size_t points = 0;
        for (const auto& ring : layers[i].Rings) points += ring.size();
        PutFixed(file, static_cast<std::uint32_t>(layers[i].LayerKind), 1);
        PutFixed(file, static_cast<std::uint32_t>(layers[i].FirstZoom), 1);
        PutFixed(file, static_cast<std::uint32_t>(layers[i].LastZoom), 1);
        PutFixed(file, 0, 1);
        PutFixed(file, static_cast<std::uint32_t>(layers[i].Rings.size()), 4);
        PutFixed(file, static_cast<std::uint32_t>(points), 4);
        PutFixed(file, static_cast<std::uint32_t>(data[i].size()), 4);
    }
    for (const std::string& d : data) file += d;
    PutFixed(file, Fnv1a(file.data(), file.size()), 4);
    return file;
}

std::vector<const WorldMapLayer*> CWorldMap::LayersAt(int kind, int zoom) const
{
    std::vector<const WorldMapLayer*> found;
    for (const WorldMapLayer& layer : layers_)
        if (layer.LayerKind == kind && zoom >= layer.FirstZoom && zoom <= layer.LastZoom) found.push_back(&layer);
    return found;
}

bool CWorldMap::IsLand(const GeoPoint& point) const
{
    const WorldMapLayer* best = nullptr;
    for (const WorldMapLayer& layer : layers_)
        if (layer.LayerKind == WorldMapLayer::Land && (!best || layer.LastZoom > best->LastZoom)) best = &layer;
    if (!best) return false;
    const WorldPoint p = Project(point);
    bool inside = false;  // even-odd over every ring: holes are rings inside rings
    for (const WorldMapRing& ring : best->Rings) {
        if (p.X < ring.Box.Left || p.X > ring.Box.Right || p.Y < ring.Box.Top || p.Y > ring.Box.Bottom) continue;
        const auto& pts = ring.Points;
        for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
            if ((pts[i].Y > p.Y) != (pts[j].Y > p.Y) &&
                p.X < (pts[j].X - pts[i].X) * (p.Y - pts[i].Y) / (pts[j].Y - pts[i].Y) + pts[i].X)
                inside = !inside;
        }
    }
    return inside;
}
