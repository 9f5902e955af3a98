// Private to the imaging layer: a picture's metadata as a block tree, read
// through the metadata library, and the library's containers gathered back
// from a tree to be written.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Exiv2Native.h"
#include "MetadataBlock.h"
#include "PhotoshopResources.h"
#include "PictureFormat.h"

// The item of an XMP block that holds the packet as it was stored.
constexpr const char* kXmpPacketItem = "/{str=Packet}";
// The items of a JPEG's Photoshop block that hold its other resources as
// stored ("/{8bim=1005}"...).
constexpr const char* kPhotoshopResourceItem = "/{8bim=";

// The tree of a picture the library has read; `jpegHeader` holds a JPEG's
// segments up to its first scan (the tables and the Photoshop block are read
// from it). `digest` tells how the picture's IPTC digest stood.
std::shared_ptr<MetadataBlock> BuildMetadataTree(Exiv2::Image& image, PictureFormat format,
                                                 std::string_view jpegHeader, IptcDigestState& digest);

// The library's containers gathered from a block tree.
struct TreeCollector {
    // Items the picture already had keep their place in the list, so that the
    // library can rewrite the EXIF data in place (maker notes stay intact);
    // new items follow them.
    std::vector<std::pair<size_t, Exiv2::Exifdatum>> ExifItems;
    Exiv2::ExifData Exif;
    Exiv2::IptcData Iptc;
    Exiv2::XmpData Xmp;
    std::string XmpPacket;  // as the source stored it, when it had XMP
    std::string Comment;
    bool HasComment = false;
    bool HasIrb = false;
    std::string PhotoshopResources;  // JPEG: the block's resources other than IPTC, as stored

    void Walk(const MetadataBlock& block);
    void FinishExif();

private:
    void AddExif(ContainerFormat format, const std::string& name, const MetadataValue& value);
    void AddIptc(const std::string& name, const MetadataValue& value, bool utf8);
    void AddXmp(const std::string& name, const MetadataValue& value);
    std::vector<const MetadataBlock*> walked_;  // a block nested at two places is gathered once
    const MetadataBlock* iptcSource_ = nullptr;  // the first IPTC block met wins
};

// The picture's IPTC record as stored: a JPEG's from its header's Photoshop
// block, a TIFF's from IFD0.
std::string StoredIptc(const Exiv2::Image& image, std::string_view jpegHeader);
// Gives the date and time datasets of `iptc` the bytes `stored` holds for
// them: the library would otherwise write them in its own form (a time
// without a zone gets "+00:00", as if it were UTC).
void KeepStoredDates(Exiv2::IptcData& iptc, const std::string& stored);

// Whether two lists hold the same items with the same values, in order.
bool SameExif(const Exiv2::ExifData& a, const Exiv2::ExifData& b);
bool SameIptc(const Exiv2::IptcData& a, const Exiv2::IptcData& b);
bool SameXmp(const Exiv2::XmpData& a, const Exiv2::XmpData& b);
// Whether an XMP packet holds exactly these properties.
bool PacketHolds(const std::string& packet, const Exiv2::XmpData& xmp);
