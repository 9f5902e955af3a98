#include "PictureMetadata.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "AtomicFileWriter.h"
#include "Exiv2Native.h"
#include "IptcNames.h"
#include "JpegSegments.h"
#include "PhotoshopResources.h"

namespace {

constexpr std::uint16_t kTagImageResources = 34377;
constexpr std::uint16_t kTagIptcNaa = 33723;
constexpr std::uint16_t kTagXmlPacket = 700;

using BlockPtr = std::shared_ptr<MetadataBlock>;

BlockPtr NewBlock(ContainerFormat format)
{
    return std::make_shared<MetadataBlock>(format);
}

// The nested block `name` of `parent`, created and appended on first use.
BlockPtr Child(const BlockPtr& parent, const std::string& name, ContainerFormat format)
{
    if (BlockPtr existing = parent->GetBlock(name)) return existing;
    BlockPtr block = NewBlock(format);
    parent->Append(name, MetadataValue::FromBlock(block));
    return block;
}

bool IsMakerGroup(const std::string& group)
{
    return group == "MakerNote" || Exiv2::ExifTags::isMakerGroup(group);
}

}  // namespace

struct CPictureMetadata::Impl {
    std::unique_ptr<Exiv2::Image> Image;
    bool FromBytes = false;
    IptcDigestState SourceDigest;
};

CPictureMetadata::CPictureMetadata() : impl_(new Impl) {}
CPictureMetadata::~CPictureMetadata() = default;

namespace {

struct TreeBuilder {
    PictureFormat Format;
    BlockPtr Root;
    BlockPtr Ifd, Exif, Gps;

    void AddExif(const Exiv2::ExifData& data, const Exiv2::DataBuf* jpegHeader);
    void AddIptc(const Exiv2::IptcData& data);
    void AddXmp(const Exiv2::XmpData& data);
    void AddJpegSegments(const std::uint8_t* bytes, size_t size, const JpegPhotoshopBlock& irb);
    BlockPtr ExifHome(const std::string& group);
    BlockPtr IrbBlock();
};

BlockPtr TreeBuilder::ExifHome(const std::string& group)
{
    if (group == "Image") return Ifd;
    if (group == "Photo") return Exif;
    if (group == "GPSInfo") return Gps;
    if (group == "Iop") return Child(Exif, "/interop", ContainerFormat::Interop);
    if (IsMakerGroup(group))
        return Child(Child(Exif, "/{makernote=37500}", ContainerFormat::MakerNote), "/{str=" + group + "}",
                     ContainerFormat::MakerNote);
    if (group == "Thumbnail" && Format == PictureFormatJpeg)
        return Child(Child(Root, "/app1", ContainerFormat::App1), "/thumb", ContainerFormat::Thumbnail);
    return Child(Ifd, "/{str=" + group + "}", ContainerFormat::SubIfd);
}

BlockPtr TreeBuilder::IrbBlock()
{
    if (Format == PictureFormatJpeg) return Child(Child(Root, "/app13", ContainerFormat::App13), "/irb", ContainerFormat::Irb);
    return Child(Ifd, "/irb", ContainerFormat::Irb);
}

void TreeBuilder::AddExif(const Exiv2::ExifData& data, const Exiv2::DataBuf*)
{
    size_t order = 0;
    for (const auto& d : data) {
        const std::string group = d.groupName();
        const std::uint16_t tag = d.tag();
        ++order;
        if (group == "Image" && (tag == kTagIptcNaa || tag == kTagXmlPacket)) continue;  // carried as blocks
        MetadataValue value = TypedFromExifDatum(d, order);
        if (group == "Image" && tag == kTagImageResources && Format == PictureFormatTiff) {
            IrbBlock()->Append(TagPath(tag), value);
            continue;
        }
        ExifHome(group)->Append(TagPath(tag), std::move(value));
    }
}

void TreeBuilder::AddIptc(const Exiv2::IptcData& data)
{
    if (data.empty()) return;
    bool latin1 = false;
    auto cs = data.findKey(Exiv2::IptcKey(kIptcCharacterSet.Number, kIptcCharacterSet.Record));
    if (cs != data.end()) {
        const std::string marker = cs->toString();
        latin1 = marker == "\x1B.A" || marker == "\x1B-A";  // ISO 8859-1 designations
    }
    BlockPtr iptc = NewBlock(ContainerFormat::Iptc);
    for (const auto& d : data)
        iptc->Append(IptcItemName({d.record(), d.tag()}, d.recordName(), d.tagName()),
                     TypedFromExiv2(NativeValue::Iptc, d.key(), d.value(), latin1));
    BlockPtr irb = IrbBlock();
    BlockPtr psIptc = Child(irb, "/8bimiptc", ContainerFormat::PhotoshopIptc);
    if (Format == PictureFormatJpeg)
        psIptc->Append("/iptc", MetadataValue::FromBlock(iptc));
    else
        Ifd->Append("/iptc", MetadataValue::FromBlock(iptc));
}

void TreeBuilder::AddXmp(const Exiv2::XmpData& data)
{
    if (data.empty()) return;
    BlockPtr xmp = Child(Format == PictureFormatJpeg ? Root : Ifd, "/xmp", ContainerFormat::Xmp);
    for (const auto& d : data) {
        // Members of structures and arrays ("exif:Flash/exif:Fired") keep
        // their '/' inside braces, where a path does not split.
        std::string name = d.groupName() + ":" + d.tagName();
        name = name.find('/') == std::string::npos ? "/" + name : "/{xmp=" + name + "}";
        xmp->Append(name, TypedFromExiv2(NativeValue::Xmp, d.key(), d.value()));
    }
}

void TreeBuilder::AddJpegSegments(const std::uint8_t* bytes, size_t size, const JpegPhotoshopBlock& irb)
{
    std::vector<JpegSegment> segments;
    ScanJpegSegments(bytes, size, segments);
    int tables = 0;
    for (const auto& s : segments) {
        const std::string payload(reinterpret_cast<const char*>(bytes + s.PayloadOffset), s.PayloadSize);
        if (s.Marker == kJpegApp0 && !Root->GetBlock("/app0")) {
            Child(Root, "/app0", ContainerFormat::App0)->Append("/{str=Payload}", MetadataValue::FromBlob(payload));
        } else if (s.Marker == kJpegDqt) {
            // Table 0 quantises luminance and table 1 chrominance by convention.
            const char* name = tables++ == 0 ? "/luminance" : "/chrominance";
            if (!Root->GetBlock(name))
                Child(Root, name, tables == 1 ? ContainerFormat::Luminance : ContainerFormat::Chrominance)
                    ->Append("/{str=Table}", MetadataValue::FromBlob(payload));
        }
    }
    std::string digest;
    if (!irb.Data.empty() && FindPhotoshopResource(irb.Data, kPhotoshopIptcDigest, digest))
        IrbBlock()->Append(TagPath(kPhotoshopIptcDigest), MetadataValue::FromBlob(digest));
}

std::unique_ptr<Exiv2::Image> OpenImage(Exiv2::BasicIo::AutoPtr io, std::string* error)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(io);
        if (!image.get()) {
            if (error) *error = "unreadable: unknown file format";
            return nullptr;
        }
        image->readMetadata();
        return std::unique_ptr<Exiv2::Image>(image.release());
    } catch (const Exiv2::AnyError& e) {
        if (error) *error = std::string("unreadable: ") + e.what();
    } catch (const std::exception& e) {
        if (error) *error = std::string("unreadable: ") + e.what();
    }
    return nullptr;
}

PictureFormat FormatOfImage(int type)
{
    if (type == Exiv2::ImageType::jpeg) return PictureFormatJpeg;
    if (type == Exiv2::ImageType::tiff) return PictureFormatTiff;
    if (type == Exiv2::ImageType::png) return PictureFormatPng;
    if (type == Exiv2::ImageType::bmp) return PictureFormatBmp;
    if (type == Exiv2::ImageType::gif) return PictureFormatGif;
    return PictureFormatOther;
}

}  // namespace

namespace {

// The marker segments of a JPEG up to its first scan, read in growing
// pieces rather than mapped: the scan data is never needed here.
std::string ReadJpegHeader(Exiv2::BasicIo& io)
{
    std::string header;
    if (io.open() != 0) return header;
    const size_t size = static_cast<size_t>(io.size());
    size_t want = std::min<size_t>(size, 64 * 1024);
    std::vector<JpegSegment> segments;
    for (;;) {
        header.resize(want);
        io.seek(0, Exiv2::BasicIo::beg);
        const long got = io.read(reinterpret_cast<Exiv2::byte*>(&header[0]), static_cast<long>(want));
        header.resize(got > 0 ? static_cast<size_t>(got) : 0);
        ScanJpegSegments(reinterpret_cast<const std::uint8_t*>(header.data()), header.size(), segments);
        const bool reachedScan = !segments.empty() && segments.back().Marker == 0xDA;
        if (reachedScan || header.size() < want || want >= size) break;
        want = std::min(size, want * 4);
    }
    io.close();
    return header;
}

// The Photoshop resource block a TIFF keeps in its IFD0.
std::string TiffPhotoshopBlock(const Exiv2::ExifData& exif)
{
    auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.ImageResources"));
    if (it == exif.end()) return {};
    std::string bytes(static_cast<size_t>(it->size()), '\0');
    if (!bytes.empty()) it->copy(reinterpret_cast<Exiv2::byte*>(&bytes[0]), Exiv2::littleEndian);
    return bytes;
}

BlockPtr BuildTree(Exiv2::Image& image, PictureFormat format, IptcDigestState& digest)
{
    TreeBuilder b;
    b.Format = format;
    if (format == PictureFormatJpeg) {
        b.Root = NewBlock(ContainerFormat::JpegRoot);
        BlockPtr app1 = Child(b.Root, "/app1", ContainerFormat::App1);
        b.Ifd = Child(app1, "/ifd", ContainerFormat::Ifd);
    } else {
        b.Root = NewBlock(ContainerFormat::TiffRoot);
        b.Ifd = Child(b.Root, "/ifd", ContainerFormat::Ifd);
    }
    b.Exif = Child(b.Ifd, "/exif", ContainerFormat::Exif);
    b.Gps = Child(b.Ifd, "/gps", ContainerFormat::Gps);
    b.AddExif(image.exifData(), nullptr);
    b.AddIptc(image.iptcData());
    b.AddXmp(image.xmpData());
    if (format == PictureFormatJpeg) {
        if (!image.comment().empty())
            Child(b.Root, "/com", ContainerFormat::Comment)->Append("/TextEntry", MetadataValue::FromAscii(image.comment()));
        const std::string header = ReadJpegHeader(image.io());
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(header.data());
        const JpegPhotoshopBlock irb = FindJpegPhotoshopBlock(bytes, header.size());
        digest = InspectIptcDigest(irb.Data);
        b.AddJpegSegments(bytes, header.size(), irb);
    } else {
        const std::string irb = TiffPhotoshopBlock(image.exifData());
        digest = InspectIptcDigest(irb);
        std::string value;
        if (!irb.empty() && FindPhotoshopResource(irb, kPhotoshopIptcDigest, value))
            b.IrbBlock()->Append(TagPath(kPhotoshopIptcDigest), MetadataValue::FromBlob(value));
    }
    return b.Root;
}

}  // namespace



std::unique_ptr<CPictureMetadata> CPictureMetadata::OpenFile(const std::string& path, std::string* error)
{
    InitializeExiv2();
    if (!IsOpenableRegularFile(path, error)) return nullptr;  // exiv2 would wait on a FIFO for ever
    std::unique_ptr<CPictureMetadata> picture(new CPictureMetadata);
    picture->impl_->Image = OpenImage(Exiv2::BasicIo::AutoPtr(new Exiv2::FileIo(path)), error);
    if (!picture->impl_->Image) return nullptr;
    picture->Load();
    return picture;
}

std::unique_ptr<CPictureMetadata> CPictureMetadata::OpenBytes(std::string bytes, std::string* error)
{
    InitializeExiv2();
    std::unique_ptr<CPictureMetadata> picture(new CPictureMetadata);
    picture->bytes_ = std::move(bytes);
    picture->impl_->FromBytes = true;
    picture->impl_->Image = OpenImage(
        Exiv2::BasicIo::AutoPtr(new Exiv2::MemIo(reinterpret_cast<const Exiv2::byte*>(picture->bytes_.data()),
                                                 static_cast<long>(picture->bytes_.size()))),
        error);
    if (!picture->impl_->Image) return nullptr;
    picture->Load();
    return picture;
}

void CPictureMetadata::Load()
{
    format_ = FormatOfImage(impl_->Image->imageType());
    if (format_ == PictureFormatJpeg || format_ == PictureFormatTiff) {
        try {
            root_ = BuildTree(*impl_->Image, format_, impl_->SourceDigest);
            return;
        } catch (const Exiv2::AnyError&) {
        } catch (const std::exception&) {
        }
    }
    // Other containers carry no geotag here: an empty tree reads nothing.
    root_ = std::make_shared<MetadataBlock>(ContainerFormat::Unknown);
}

namespace {

// Gathers the library's containers from a block tree.
struct TreeCollector {
    // Items the picture already had keep their place in the list, so that the
    // library can rewrite the EXIF data in place (maker notes stay intact);
    // new items follow them.
    std::vector<std::pair<size_t, Exiv2::Exifdatum>> ExifItems;
    Exiv2::ExifData Exif;
    void FinishExif();
    Exiv2::IptcData Iptc;
    Exiv2::XmpData Xmp;
    std::string Comment;
    bool HasComment = false;
    bool HasIrb = false;
    const MetadataBlock* IptcSource = nullptr;  // the first IPTC block met wins

    void Walk(const MetadataBlock& block);
    void AddExif(ContainerFormat format, const std::string& name, const MetadataValue& value);
    void AddIptc(const std::string& name, const MetadataValue& value, bool utf8);
    void AddXmp(const std::string& name, const MetadataValue& value);
};

bool DeclaresUtf8(const MetadataBlock& iptc);

const char* ExifGroupOf(ContainerFormat format)
{
    switch (format) {
    case ContainerFormat::Ifd: return "Image";
    case ContainerFormat::Exif: return "Photo";
    case ContainerFormat::Gps: return "GPSInfo";
    case ContainerFormat::Interop: return "Iop";
    case ContainerFormat::Thumbnail: return "Thumbnail";
    default: return nullptr;
    }
}

void TreeCollector::Walk(const MetadataBlock& block)
{
    const ContainerFormat format = block.Format();
    if (format == ContainerFormat::Irb) HasIrb = true;
    if (format == ContainerFormat::Iptc) {
        if (IptcSource && IptcSource != &block) return;
        IptcSource = &block;
    }
    const bool utf8 = format == ContainerFormat::Iptc && DeclaresUtf8(block);
    for (const auto& item : block.Items()) {
        if (item.second.IsBlock()) {
            Walk(*item.second.Block());
            continue;
        }
        const auto& native = item.second.Native();
        if (native && native->ValueKind == NativeValue::Exif) {
            ExifItems.emplace_back(native->Order, *native->ExifDatum);
            continue;
        }
        switch (format) {
        case ContainerFormat::Iptc: AddIptc(item.first, item.second, utf8); break;
        case ContainerFormat::Xmp: AddXmp(item.first, item.second); break;
        case ContainerFormat::Comment:
            Comment = item.second.Bytes();
            HasComment = true;
            break;
        default: AddExif(format, item.first, item.second); break;
        }
    }
}

void TreeCollector::AddExif(ContainerFormat format, const std::string& name, const MetadataValue& value)
{
    const char* group = ExifGroupOf(format);
    const long tag = TagNumberOf(name);
    if (!group || tag < 0 || tag > 0xFFFF) return;  // App0, tables, digest: not EXIF items
    auto v = Exiv2FromTyped(value, false);
    if (v)
        ExifItems.emplace_back(SIZE_MAX,
                               Exiv2::Exifdatum(Exiv2::ExifKey(static_cast<std::uint16_t>(tag), group), v.get()));
}

void TreeCollector::FinishExif()
{
    std::stable_sort(ExifItems.begin(), ExifItems.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& item : ExifItems) Exif.add(item.second);
}

void TreeCollector::AddIptc(const std::string& name, const MetadataValue& value, bool utf8)
{
    const auto& native = value.Native();
    // Under a UTF-8 character-set record every text is written in UTF-8,
    // whatever character set the picture held it in before.
    const bool recode = utf8 && value.Type() == ValueType::WideText;
    if (native && native->ValueKind == NativeValue::Iptc && !recode) {
        Iptc.add(Exiv2::Iptcdatum(Exiv2::IptcKey(native->Key), native->Value.get()));
        return;
    }
    IptcDataset dataset;
    std::unique_ptr<Exiv2::IptcKey> key;
    if (native && native->ValueKind == NativeValue::Iptc)
        key.reset(new Exiv2::IptcKey(native->Key));
    else if (IptcDatasetOfName(name, dataset))
        key.reset(new Exiv2::IptcKey(dataset.Number, dataset.Record));
    auto v = Exiv2FromTyped(value, true);
    if (key && v) Iptc.add(*key, v.get());
}

bool DeclaresUtf8(const MetadataBlock& iptc)
{
    MetadataValue marker;
    return SUCCEEDED(iptc.GetMetadataByName(kIptcCharacterSetName, marker)) && marker.Bytes() == kIptcUtf8Marker;
}

void TreeCollector::AddXmp(const std::string& name, const MetadataValue& value)
{
    const auto& native = value.Native();
    if (native && native->ValueKind == NativeValue::Xmp) {
        Xmp.add(Exiv2::XmpKey(native->Key), native->Value.get());
        return;
    }
    // "/prefix:Property" -> "Xmp.prefix.Property"
    const size_t colon = name.find(':');
    if (name.size() < 2 || colon == std::string::npos) return;
    Xmp[("Xmp." + name.substr(1, colon - 1) + "." + name.substr(colon + 1))] = value.Bytes();
}

bool SameXmp(const Exiv2::XmpData& a, const Exiv2::XmpData& b)
{
    if (a.count() != b.count()) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
        if (i->key() != j->key() || i->toString() != j->toString()) return false;
    return true;
}

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

// A JPEG's APP13 digest is patched in the written stream: it has a fixed size,
// so nothing else moves.
void RefreshJpegDigest(char* stream, size_t size)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream);
    JpegPhotoshopBlock irb = FindJpegPhotoshopBlock(data, size);
    std::string block = irb.Data;
    if (!RefreshDigestInPlace(block)) return;
    size_t consumed = 0;
    for (const auto& piece : irb.Pieces) {
        std::memcpy(stream + piece.first, block.data() + consumed, piece.second);
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

}  // namespace

HRESULT CPictureMetadata::Commit(const MetadataBlock& root, std::string* error)
{
    if (!impl_->FromBytes || !(format_ == PictureFormatJpeg || format_ == PictureFormatTiff)) {
        if (error) *error = "write failed: the picture was not opened for writing";
        return E_FAIL;
    }
    try {
        TreeCollector c;
        c.Walk(root);
        c.FinishExif();
        Exiv2::Image& image = *impl_->Image;
        const bool refreshDigest = c.HasIrb && impl_->SourceDigest.HasDigest && impl_->SourceDigest.Matches;
        if (refreshDigest && format_ == PictureFormatTiff) RefreshTiffDigest(c.Exif, c.Iptc);
        image.setExifData(c.Exif);
        image.setIptcData(c.Iptc);
        // An unchanged XMP packet is written back byte for byte.
        if (SameXmp(c.Xmp, image.xmpData())) {
            image.writeXmpFromPacket(true);
        } else {
            image.setXmpData(c.Xmp);
            image.writeXmpFromPacket(false);
        }
        if (format_ == PictureFormatJpeg) {
            if (c.HasComment)
                image.setComment(c.Comment);
            else
                image.clearComment();
        }
        image.writeMetadata();
        // The memory stream maps without copying; the bytes stay there.
        Exiv2::BasicIo& io = image.io();
        if (io.open() != 0 || io.size() <= 0) {
            if (error) *error = "write failed: no data written";
            return E_FAIL;
        }
        char* stream = reinterpret_cast<char*>(io.mmap(true));
        const auto size = static_cast<size_t>(io.size());
        if (refreshDigest && format_ == PictureFormatJpeg) RefreshJpegDigest(stream, size);
        written_ = std::string_view(stream, size);
        return S_OK;
    } catch (const Exiv2::AnyError& e) {
        if (error) *error = std::string("write failed: ") + e.what();
    } catch (const std::exception& e) {
        if (error) *error = std::string("write failed: ") + e.what();
    }
    return E_FAIL;
}
