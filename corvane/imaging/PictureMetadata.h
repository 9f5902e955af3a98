// The metadata of one picture file as a block tree (the query reader of its
// first frame), and the commit of a new tree into the picture's bytes. The
// byte-level work (JPEG segments, TIFF IFDs, maker notes, IPTC in the
// Photoshop block, XMP) is done by exiv2; this class maps it to blocks.
//
// JPEG tree:  /app0, /app1/ifd (/exif (/interop, /{makernote=37500}), /gps), /app1/thumb,
//             /app13/irb/8bimiptc/iptc, /com, /luminance, /chrominance, /xmp
// TIFF tree:  /ifd (/exif, /gps, /iptc, /xmp, /irb/8bimiptc/iptc, other IFDs)
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "HResult.h"
#include "MetadataBlock.h"
#include "PictureFormat.h"

class CPictureMetadata {
public:
    ~CPictureMetadata();
    CPictureMetadata(const CPictureMetadata&) = delete;
    CPictureMetadata& operator=(const CPictureMetadata&) = delete;

    // Reads a file's metadata without loading its image data. Null with
    // `error` set ("unreadable: ...", "not a JPEG or TIFF picture") on failure;
    // a PNG or other picture opens with format PictureFormatOther and an empty tree.
    static std::unique_ptr<CPictureMetadata> OpenFile(const std::string& path, std::string* error);
    // Reads from bytes held in memory; Commit works only on pictures opened so.
    static std::unique_ptr<CPictureMetadata> OpenBytes(std::string bytes, std::string* error);

    PictureFormat Format() const { return format_; }
    std::shared_ptr<const MetadataBlock> Root() const { return root_; }

    // Writes `root` (a tree in the layout above) as the picture's metadata:
    // EXIF, IPTC, XMP and comment become exactly the tree's. Where the source
    // carried an IPTC digest that matched its IPTC, the digest is made to
    // match the IPTC written. The new file is Bytes() afterwards (valid until
    // the next Commit or the end of this object).
    HRESULT Commit(const MetadataBlock& root, std::string* error);
    std::string_view Bytes() const { return written_.data() ? written_ : std::string_view(bytes_); }

private:
    struct Impl;
    CPictureMetadata();
    void Load();

    PictureFormat format_ = PictureFormatOther;
    std::shared_ptr<MetadataBlock> root_;
    std::string bytes_;
    std::string_view written_;  // inside the library's memory stream after a commit
    std::unique_ptr<Impl> impl_;
};
