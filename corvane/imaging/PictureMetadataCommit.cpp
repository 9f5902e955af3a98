// Committing a new block tree into a picture: the library writes the
// metadata, and nothing is produced unless the image data is kept byte for
// byte and the new file reads back as written.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "ExifGeotagPatch.h"
#include "ImageDataCheck.h"
#include "JpegHeaderSplice.h"
#include "JpegSegments.h"
#include "PictureMetadataImpl.h"

namespace {

const char kEndOfImage[] = "\xFF\xD9";

// Makes a Photoshop block's digest the MD5 of its own IPTC resource.
bool RefreshDigestInPlace(std::string& block)
{
    IptcDigestState state = InspectIptcDigest(block);
    std::string iptc;
    if (!state.HasDigest || !FindPhotoshopResource(block, kPhotoshopIptcResource, iptc)) return false;
    const Md5Digest md5 = ComputeMd5(iptc);
    block.replace(state.DigestOffset, 16, reinterpret_cast<const char*>(md5.data()), 16);
    return true;
}

// A JPEG's APP13 digest is patched in the written header: it has a fixed
// size, so nothing else moves.
void RefreshJpegDigest(std::string& header)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(header.data());
    JpegPhotoshopBlock irb = FindJpegPhotoshopBlock(data, header.size());
    std::string block = irb.Data;
    if (!RefreshDigestInPlace(block)) return;
    size_t consumed = 0;
    for (const auto& piece : irb.Pieces) {
        std::memcpy(&header[piece.first], block.data() + consumed, piece.second);
        consumed += piece.second;
    }
}

// A TIFF keeps its Photoshop block as an IFD0 item: the digest is set there
// to the MD5 of the IPTC that will be written into it.
void RefreshTiffDigest(Exiv2::ExifData& exif, const Exiv2::IptcData& iptc)
{
    auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.ImageResources"));
    if (it == exif.end()) return;
    std::string block(static_cast<size_t>(it->size()), '\0');
    if (block.empty()) return;
    it->copy(reinterpret_cast<Exiv2::byte*>(&block[0]), Exiv2::littleEndian);
    const IptcDigestState state = InspectIptcDigest(block);
    if (!state.HasDigest) return;
    const Exiv2::DataBuf encoded = Exiv2::IptcParser::encode(iptc);
    const Md5Digest md5 =
        ComputeMd5(std::string(reinterpret_cast<const char*>(encoded.pData_), static_cast<size_t>(encoded.size_)));
    block.replace(state.DigestOffset, 16, reinterpret_cast<const char*>(md5.data()), 16);
    Exiv2::DataValue value(it->typeId());
    value.read(reinterpret_cast<const Exiv2::byte*>(block.data()), static_cast<long>(block.size()), Exiv2::littleEndian);
    it->setValue(&value);
}

// XMP whose properties are the source's is written as the packet it came
// in, byte for byte (even one the library cannot fully parse); the library
// serialises properties only when they changed.
bool XmpVerbatim(const TreeCollector& c)
{
    return PacketHolds(c.XmpPacket, c.Xmp);
}

bool XmpChanged(const TreeCollector& c, const Exiv2::Image& image)
{
    return XmpVerbatim(c) ? c.XmpPacket != image.xmpPacket() : !SameXmp(c.Xmp, image.xmpData());
}

void Store(Exiv2::Image& image, const TreeCollector& c, const Exiv2::ExifData& exif, bool isJpeg)
{
    image.setExifData(exif);
    image.setIptcData(c.Iptc);
    if (XmpVerbatim(c)) {
        try {
            image.setXmpPacket(c.XmpPacket);
        } catch (const Exiv2::AnyError&) {
            // The library keeps a packet it cannot parse and writes it as it is.
        }
        image.writeXmpFromPacket(true);
        // The TIFF writer takes the packet from the property list.
        image.xmpData().setPacket(c.XmpPacket);
        image.xmpData().usePacket(true);
    } else {
        image.setXmpData(c.Xmp);
        image.writeXmpFromPacket(false);
    }
    if (isJpeg) {
        if (c.HasComment)
            image.setComment(c.Comment);
        else
            image.clearComment();
    }
    image.writeMetadata();
}

std::string WrittenBytes(Exiv2::Image& image)
{
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0 || io.size() <= 0) return {};
    const Exiv2::DataBuf buf = io.read(static_cast<long>(io.size()));
    io.close();
    return std::string(reinterpret_cast<const char*>(buf.pData_), static_cast<size_t>(buf.size_));
}

// The geotag's EXIF items: the GPS block and the two dates.
std::vector<std::tuple<std::string, int, std::string>> GeotagExif(const Exiv2::ExifData& exif)
{
    std::vector<std::tuple<std::string, int, std::string>> items;
    for (const auto& d : exif)
        if (d.groupName() == "GPSInfo" || (d.groupName() == "Photo" && (d.tag() == 36867 || d.tag() == 36868)))
            items.emplace_back(d.key(), d.typeId(), d.toString());
    std::sort(items.begin(), items.end());
    return items;
}

// An XMP property with no text (an empty dc:title, say) is one the library
// does not write: it counts as absent.
bool HoldsNothing(const Exiv2::Xmpdatum& d)
{
    std::string text = d.toString();
    while (text.rfind("lang=\"", 0) == 0) {
        const size_t end = text.find("\" ", 6);
        if (end == std::string::npos) break;
        text.erase(0, end + 2);
    }
    return text.find_first_not_of(' ') == std::string::npos;
}

bool HoldsNothing(const Exiv2::Iptcdatum&) { return false; }

template <typename List>
std::vector<std::pair<std::string, std::string>> Sorted(const List& list)
{
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& d : list)
        if (!HoldsNothing(d)) items.emplace_back(d.key(), d.toString());
    std::sort(items.begin(), items.end());
    return items;
}

// Pointers to directories: where those stand is the writer's business.
bool IsPointer(const Exiv2::Exifdatum& d)
{
    const std::uint16_t tag = d.tag();
    return (d.groupName() == "Image" && (tag == 34665 || tag == 34853)) || (d.groupName() == "Photo" && tag == 40965);
}

std::vector<std::tuple<std::string, int, std::string>> AllExif(const Exiv2::ExifData& exif)
{
    std::vector<std::tuple<std::string, int, std::string>> items;
    for (const auto& d : exif)
        if (!IsPointer(d)) items.emplace_back(d.key() + "@" + std::to_string(d.ifdId()), d.typeId(), d.toString());
    std::sort(items.begin(), items.end());
    return items;
}

// The new file's metadata, read again, must be what was meant to be written:
// the geotag, and with `wholeExif` every other EXIF item too.
bool ReadsBack(std::string_view bytes, const TreeCollector& c, bool wholeExif, std::string* error)
{
    std::string ignored;
    std::unique_ptr<Exiv2::Image> image;
    try {
        Exiv2::BasicIo::AutoPtr io(new Exiv2::MemIo(reinterpret_cast<const Exiv2::byte*>(bytes.data()),
                                                    static_cast<long>(bytes.size())));
        Exiv2::Image::AutoPtr opened = Exiv2::ImageFactory::open(io);
        if (opened.get()) {
            opened->readMetadata();
            image.reset(opened.release());
        }
    } catch (const Exiv2::AnyError&) {
    } catch (const std::exception&) {
    }
    Exiv2::IptcData iptc;
    if (image) {
        iptc = image->iptcData();
        KeepStoredDates(iptc, StoredIptc(*image, JpegHeaderOf(bytes)));
    }
    if (!image || GeotagExif(image->exifData()) != GeotagExif(c.Exif) || Sorted(iptc) != Sorted(c.Iptc) ||
        Sorted(image->xmpData()) != Sorted(c.Xmp) || (wholeExif && AllExif(image->exifData()) != AllExif(c.Exif))) {
        if (error) *error = "refused: the new file would not read back as written; the picture is left as it was";
        return false;
    }
    return true;
}

// The header's EXIF segment with only its geotag rewritten in place, when the
// header has exactly one and the change allows it.
bool PatchedExifSegment(std::string_view header, const Exiv2::ExifData& before, const Exiv2::ExifData& after,
                        std::string& segment)
{
    static const size_t kSignature = 6;  // "Exif\0\0"
    std::vector<JpegSegment> segments;
    const auto* data = reinterpret_cast<const std::uint8_t*>(header.data());
    ScanJpegSegments(data, header.size(), segments);
    const JpegSegment* exif = nullptr;
    for (const JpegSegment& s : segments)
        if (BlockOf(data, s) == JpegBlock::Exif) {
            if (exif) return false;
            exif = &s;
        }
    if (!exif) return false;
    std::string tiff(header.substr(exif->PayloadOffset + kSignature, exif->PayloadSize - kSignature));
    if (!PatchExifGeotag(tiff, before, after)) return false;
    const size_t length = 2 + kSignature + tiff.size();
    if (length > 0xFFFF) return false;  // it no longer fits one segment: the library lays it out anew
    segment = std::string("\xFF\xE1") + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) +
              std::string(header.substr(exif->PayloadOffset, kSignature)) + tiff;
    return true;
}

// A header that has no Photoshop block yet (a picture encoded anew) with one
// holding the resources carried over, for the library to add the IPTC to.
// False when it has one already or there is nothing to carry.
bool AddPhotoshopBlock(std::string& header, const TreeCollector& c)
{
    static const char kSignature[] = "Photoshop 3.0";  // and its NUL
    std::vector<JpegSegment> segments;
    const auto* data = reinterpret_cast<const std::uint8_t*>(header.data());
    ScanJpegSegments(data, header.size(), segments);
    size_t insertAt = 2;
    for (const JpegSegment& s : segments) {
        const JpegBlock block = BlockOf(data, s);
        if (block == JpegBlock::Photoshop) return false;
        if (s.Offset == insertAt && (s.Marker == kJpegApp0 || block == JpegBlock::Exif)) insertAt = s.End();
    }
    const size_t length = 2 + sizeof kSignature + c.PhotoshopResources.size();
    if (c.PhotoshopResources.empty() || length > 0xFFFF) return false;
    header.insert(insertAt, std::string("\xFF\xED") + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) +
                                std::string(kSignature, sizeof kSignature) + c.PhotoshopResources);
    return true;
}

void ReplaceExifSegment(std::string& header, const std::string& segment)
{
    std::vector<JpegSegment> segments;
    const auto* data = reinterpret_cast<const std::uint8_t*>(header.data());
    ScanJpegSegments(data, header.size(), segments);
    for (const JpegSegment& s : segments)
        if (BlockOf(data, s) == JpegBlock::Exif) {
            header.replace(s.Offset, s.End() - s.Offset, segment);
            return;
        }
}

}  // namespace

HRESULT CPictureMetadata::Commit(const MetadataBlock& root, std::string* error)
{
    if (!impl_->Editable || !(format_ == PictureFormatJpeg || format_ == PictureFormatTiff)) {
        if (error) *error = "write failed: the picture was not opened for writing";
        return E_FAIL;
    }
    try {
        TreeCollector c;
        c.Walk(root);
        c.FinishExif();
        const bool refreshDigest = c.HasIrb && impl_->SourceDigest.HasDigest && impl_->SourceDigest.Matches;
        return format_ == PictureFormatJpeg ? CommitJpeg(c, refreshDigest, error) : CommitTiff(c, refreshDigest, error);
    } catch (const Exiv2::AnyError& e) {
        if (error) *error = std::string("write failed: ") + e.what();
    } catch (const std::exception& e) {
        if (error) *error = std::string("write failed: ") + e.what();
    }
    return E_FAIL;
}

HRESULT CPictureMetadata::CommitJpeg(TreeCollector& c, bool refreshDigest, std::string* error)
{
    Impl& impl = *impl_;
    if (impl.Header.empty()) {
        if (error) *error = "refused: no image data found where a JPEG keeps it; the picture is left as it was";
        return E_FAIL;
    }
    // The library rewrites the header alone: the scan data never passes through it.
    std::string stub = impl.Header;
    const bool carried = AddPhotoshopBlock(stub, c);
    stub += kEndOfImage;
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(stub.data()),
                                                                   static_cast<long>(stub.size()))
                                            .release());
    if (!image) {
        if (error) *error = "write failed: the picture cannot be read again";
        return E_FAIL;
    }
    image->readMetadata();
    ChangedJpegBlocks changed;
    changed.Exif = !SameExif(c.Exif, image->exifData());
    Exiv2::IptcData iptc = image->iptcData();
    KeepStoredDates(iptc, StoredIptc(*image, impl.Header));
    changed.Photoshop = carried || !SameIptc(c.Iptc, iptc);
    changed.Xmp = XmpChanged(c, *image);
    changed.Comment = (c.HasComment ? c.Comment : std::string()) != image->comment();
    // The geotag is patched into the picture's own EXIF block where it can
    // be; the library lays the block out anew only where it cannot.
    std::string exifSegment;
    const bool patched = changed.Exif && PatchedExifSegment(impl.Header, image->exifData(), c.Exif, exifSegment);
    if (patched) changed.Exif = false;
    impl.NewHeader = impl.Header;
    if (changed.Exif || changed.Photoshop || changed.Xmp || changed.Comment) {
        Store(*image, c, patched ? Exiv2::ExifData() : c.Exif, true);
        std::string rewritten = WrittenBytes(*image);
        // A digest carried into a picture encoded anew is made to match too.
        if (refreshDigest || carried) RefreshJpegDigest(rewritten);
        if (!SpliceJpegHeader(impl.Header, JpegHeaderOf(rewritten), changed, impl.NewHeader, error)) return E_FAIL;
    }
    if (patched) ReplaceExifSegment(impl.NewHeader, exifSegment);
    if ((patched || changed.Exif || changed.Photoshop || changed.Xmp || changed.Comment) &&
        !ReadsBack(impl.NewHeader + kEndOfImage, c, patched, error))
        return E_FAIL;
    impl.NewTrailer.clear();
    if (impl.Trailer.Found()) {
        // Its offsets are absolute: they move with the image data.
        const std::uint64_t moved = impl.NewHeader.size() + (impl.Trailer.Offset() - impl.Header.size());
        if (!impl.Trailer.Rewrite(moved, trailerRemovals_, impl.NewTrailer, error)) return E_FAIL;
    }
    impl.Committed = true;
    written_.clear();  // made when asked for: WriteTo writes the pieces
    return S_OK;
}

HRESULT CPictureMetadata::CommitTiff(TreeCollector& c, bool refreshDigest, std::string* error)
{
    // The library writes a TIFF whole: the file is read now, once.
    if (impl_->Source && bytes_.empty() && !impl_->Source->ReadAll(bytes_, error)) return E_FAIL;
    if (refreshDigest) RefreshTiffDigest(c.Exif, c.Iptc);
    const Exiv2::Image& read = *impl_->Image;
    Exiv2::IptcData iptc = read.iptcData();
    KeepStoredDates(iptc, StoredIptc(read, {}));
    if (SameExif(c.Exif, read.exifData()) && SameIptc(c.Iptc, iptc) && !XmpChanged(c, read)) {
        written_ = bytes_;
        impl_->Committed = true;
        return S_OK;
    }
    // The library may patch values in place in the buffer it writes: it gets
    // a copy, and the original stays at hand for the check below.
    std::string work = bytes_;
    std::unique_ptr<Exiv2::Image> image(Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(work.data()),
                                                                   static_cast<long>(work.size()))
                                            .release());
    if (!image) {
        if (error) *error = "write failed: the picture cannot be read again";
        return E_FAIL;
    }
    image->readMetadata();
    Store(*image, c, c.Exif, false);
    written_ = WrittenBytes(*image);
    std::string why;
    if (!SameTiffImageData(bytes_, written_, &why)) {
        written_.clear();
        if (error) *error = "refused: " + why + "; the picture is left as it was";
        return E_FAIL;
    }
    if (!ReadsBack(written_, c, false, error)) {
        written_.clear();
        return E_FAIL;
    }
    impl_->Committed = true;
    return S_OK;
}
