// The drawn world map shown where no tile is: land and country borders
// (Natural Earth, public domain) at two levels of detail, read from the
// compact file the build makes (data/worldmap). The file is checked before
// use: a file that is short, long, altered or holds coordinates off the
// globe is refused as a whole.
//
// File layout (little-endian):
//   "CVWMAP", u16 version 1, u32 layer count (1 to 16)
//   per layer: u8 kind (1 land, 2 borders), u8 first zoom, u8 last zoom,
//              u8 0, u32 rings, u32 points, u32 bytes of ring data
//   ring data of each layer in turn: per ring a varint point count, then
//     per point the zigzag varint steps of longitude and latitude in
//     units of 1e-5 degree from the ring's previous point (the first from 0)
//   u32 FNV-1a of every byte before it
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MapViewport.h"
#include "WebMercator.h"

struct WorldMapRing {
    std::vector<WebMercator::WorldPoint> Points;
    WorldRect Box;
};

struct WorldMapLayer {
    enum Kind : int { Land = 1, Borders = 2 };
    int LayerKind = Land;
    int FirstZoom = 0;
    int LastZoom = WebMercator::MaxZoom;
    std::vector<WorldMapRing> Rings;
};

// A layer as the file stores it: rings of (longitude, latitude) in 1e-5 degree.
struct WorldMapSourceLayer {
    int LayerKind = WorldMapLayer::Land;
    int FirstZoom = 0;
    int LastZoom = WebMercator::MaxZoom;
    std::vector<std::vector<std::pair<std::int32_t, std::int32_t>>> Rings;
};

class CWorldMap {
public:
    static constexpr int Scale = 100000;  // file units per degree
    static constexpr std::uint32_t MaxLayers = 16;
    static constexpr std::uint32_t MaxRings = 1000000;
    static constexpr std::uint32_t MaxPoints = 10000000;

    // False with a reason when the file cannot be read or is refused.
    bool Load(const std::string& path, std::string* error);
    bool Parse(const std::string& bytes, std::string* error);
    // The file for these layers (the converter's format; used by the tests).
    static std::string Encode(const std::vector<WorldMapSourceLayer>& layers);

    bool Empty() const { return layers_.empty(); }
    const std::vector<WorldMapLayer>& Layers() const { return layers_; }
    // The layers of a kind drawn at `zoom`.
    std::vector<const WorldMapLayer*> LayersAt(int kind, int zoom) const;
    // Whether the point lies on land, by the most detailed land layer.
    bool IsLand(const WebMercator::GeoPoint& point) const;

private:
    std::vector<WorldMapLayer> layers_;
};
