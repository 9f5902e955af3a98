// A block of picture metadata (an IFD, the GPS IFD, the IPTC records, the XMP
// packet, a JPEG segment...): an ordered list of named items, each a value or
// a nested block. Items are addressed by query paths: "/app1/ifd/gps" names a
// nested block, "/{ushort=2}" a tag within it, and the two join as
// "/app1/ifd/gps/{ushort=2}". A block read from a picture serves as a query
// reader; a fresh block serves as a writer that is filled and then nested.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "HResult.h"
#include "MetadataValue.h"

enum class ContainerFormat {
    Unknown,
    JpegRoot,
    TiffRoot,
    App0,
    App1,
    App13,
    Ifd,
    Exif,
    Gps,
    Interop,
    Thumbnail,
    Iptc,
    Irb,
    PhotoshopIptc,  // the IPTC resource of the Photoshop block
    Xmp,
    Comment,
    Luminance,
    Chrominance,
    MakerNote,
    SubIfd,          // other IFDs of a TIFF (sub-images, second pages)
};

const char* ContainerFormatName(ContainerFormat format);

class MetadataBlock {
public:
    using Item = std::pair<std::string, MetadataValue>;

    explicit MetadataBlock(ContainerFormat format) : format_(format) {}

    ContainerFormat Format() const { return format_; }
    const std::vector<Item>& Items() const { return items_; }
    size_t Size() const { return items_.size(); }

    // Reads the value at a path (one or more segments). S_OK, or E_FAIL when
    // a segment is missing or names a value where a block is needed.
    HRESULT GetMetadataByName(const std::string& path, MetadataValue& value) const;
    // The nested block at a path, or null.
    std::shared_ptr<MetadataBlock> GetBlock(const std::string& path) const;
    // Sets the value at a path; every segment before the last must name an
    // existing nested block. An existing item of that name is replaced in place.
    HRESULT SetMetadataByName(const std::string& path, const MetadataValue& value);
    // Removes the item at a path; S_FALSE when there was none.
    HRESULT RemoveMetadataByName(const std::string& path);

    void Append(std::string name, MetadataValue value) { items_.emplace_back(std::move(name), std::move(value)); }
    bool Empty() const { return items_.empty(); }
    void Clear() { items_.clear(); }

private:
    const Item* Find(const std::string& name) const;
    Item* Find(const std::string& name);
    // Splits "/a/{str=x/y}/b" after the first segment, keeping braces whole.
    static size_t FirstSegmentEnd(const std::string& path);

    ContainerFormat format_;
    std::vector<Item> items_;
};

// Tag paths of the form "/{ushort=N}".
std::string TagPath(unsigned tag);
// The decimal tag number inside an item name ("/{ushort=36867}" gives 36867), or -1.
long TagNumberOf(const std::string& name);
