// The metadata of one picture file as a block tree (the query reader of its
// first frame), and the commit of a new tree into the picture's bytes. The
// byte-level work (JPEG segments, TIFF IFDs, maker notes, IPTC in the
// Photoshop block, XMP) is done by exiv2; this class maps it to blocks.
//
// JPEG tree:  /app0, /app1/ifd (/exif (/interop, /{makernote=37500}), /gps), /app1/thumb,
//             /app13/irb/8bimiptc/iptc, /com, /luminance, /chrominance, /xmp
// TIFF tree:  /ifd (/exif, /gps, /iptc, /xmp, /irb/8bimiptc/iptc, other IFDs)
//
// A commit never puts the image data at risk: a JPEG's new file is its new
// header followed by the original scan data, copied file to file; a TIFF's
// new file is checked page by page to carry the original strips or tiles.
// Metadata blocks that did not change keep their original bytes. A picture
// whose image data cannot be located, or whose new file would not read back
// as written, is refused and nothing is produced.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
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
    // Opens a file to commit new metadata into it: a JPEG's header only (its
    // scan data is copied from the file when the new file is written), a
    // TIFF whole. The file must not change until WriteTo has run.
    static std::unique_ptr<CPictureMetadata> OpenForEdit(const std::string& path, std::string* error);
    // Reads from bytes held in memory.
    static std::unique_ptr<CPictureMetadata> OpenBytes(std::string bytes, std::string* error);

    PictureFormat Format() const { return format_; }
    std::shared_ptr<const MetadataBlock> Root() const { return root_; }

    // The location datasets of an IPTC record that a JPEG carries after its
    // image (an AFCP trailer): IIM record 2 dataset number -> value bytes.
    std::map<std::uint8_t, std::string> TrailerLocation() const;
    // The datasets of that record the next commit removes; the trailer is
    // otherwise carried over unchanged (moved with the image).
    void SetTrailerRemovals(std::set<std::uint8_t> datasets) { trailerRemovals_ = std::move(datasets); }

    // Makes `root` (a tree in the layout above) the picture's metadata:
    // EXIF, IPTC, XMP and comment become exactly the tree's. Where the source
    // carried an IPTC digest that matched its IPTC, the digest is made to
    // match the IPTC written. Fails ("refused: ...") when the image data
    // cannot be kept byte for byte or the result does not read back.
    HRESULT Commit(const MetadataBlock& root, std::string* error);

    // After a commit: the size of the new file, and the new file written to `fd`.
    std::uint64_t WrittenSize() const;
    bool WriteTo(int fd, std::string* error) const;
    // The new file after a commit, or the bytes given before one: for
    // pictures opened with OpenBytes only.
    std::string_view Bytes() const;

private:
    struct Impl;
    CPictureMetadata();
    void Load(std::string_view jpegHeader);
    HRESULT CommitJpeg(struct TreeCollector& c, bool refreshDigest, std::string* error);
    HRESULT CommitTiff(struct TreeCollector& c, bool refreshDigest, std::string* error);

    PictureFormat format_ = PictureFormatOther;
    std::shared_ptr<MetadataBlock> root_;
    std::string bytes_;    // OpenBytes: the picture; TIFF for editing: the file
    // OpenBytes or TIFF: the new file after a commit (of a JPEG held in
    // memory, made from its pieces when first asked for).
    mutable std::string written_;
    std::set<std::uint8_t> trailerRemovals_;
    std::unique_ptr<Impl> impl_;
};
