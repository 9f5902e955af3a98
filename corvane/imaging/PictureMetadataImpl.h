// Private to the imaging layer: what a CPictureMetadata holds besides its tree.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "AfcpTrailer.h"
#include "PictureFile.h"
#include "PictureMetadata.h"
#include "PictureMetadataTree.h"

struct CPictureMetadata::Impl {
    std::unique_ptr<Exiv2::Image> Image;
    bool Editable = false;
    IptcDigestState SourceDigest;
    // A JPEG: its header (up to and including the first SOS segment), the
    // trailer after its image, and the file its scan data is copied from
    // (none when the picture is held in memory).
    std::string Header;
    CAfcpTrailer Trailer;
    std::unique_ptr<CPictureFile> Source;
    // A JPEG after a commit: the file is NewHeader, the original bytes from
    // the end of Header to the trailer, NewTrailer.
    std::string NewHeader, NewTrailer;
    bool Committed = false;

    std::uint64_t SourceSize(std::string_view bytes) const { return Source ? Source->Size() : bytes.size(); }
    std::uint64_t TrailerStart(std::string_view bytes) const
    {
        return Trailer.Found() ? Trailer.Offset() : SourceSize(bytes);
    }
};

