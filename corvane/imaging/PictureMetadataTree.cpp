#include "PictureMetadataTree.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "IptcNames.h"
#include "IptcRecords.h"
#include "JpegSegments.h"

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

struct TreeBuilder {
    PictureFormat Format;
    BlockPtr Root;
    BlockPtr Ifd, Exif, Gps;

    void AddExif(const Exiv2::ExifData& data, const Exiv2::DataBuf* jpegHeader);
    void AddIptc(const Exiv2::IptcData& data);
    void AddXmp(const Exiv2::XmpData& data, const std::string& packet);
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

void TreeBuilder::AddXmp(const Exiv2::XmpData& data, const std::string& packet)
{
    // A packet the library cannot parse still travels, unchanged.
    if (data.empty() && packet.empty()) return;
    BlockPtr xmp = Child(Format == PictureFormatJpeg ? Root : Ifd, "/xmp", ContainerFormat::Xmp);
    // The packet as stored travels with the properties: a picture whose
    // properties are written unchanged gets it back byte for byte.
    if (!packet.empty()) xmp->Append(kXmpPacketItem, MetadataValue::FromBlob(packet));
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
    // The block's other resources (resolution, slices, print settings, the
    // digest) travel as stored, in their order; the IPTC resource is the IPTC block.
    for (const PhotoshopResourceRecord& r : PhotoshopResourceRecords(irb.Data))
        if (r.Id != kPhotoshopIptcResource)
            IrbBlock()->Append(kPhotoshopResourceItem + std::to_string(r.Id) + "}", MetadataValue::FromBlob(r.Bytes));
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

// The XMP packet as the picture stores it: a TIFF keeps it in IFD0. (The
// library's const accessor gives the stored packet; the other one would
// serialise the properties anew.)
std::string StoredXmpPacket(const Exiv2::Image& image)
{
    if (!image.xmpPacket().empty()) return image.xmpPacket();
    auto it = image.exifData().findKey(Exiv2::ExifKey("Exif.Image.XMLPacket"));
    if (it == image.exifData().end() || it->size() <= 0) return {};
    std::string packet(static_cast<size_t>(it->size()), '\0');
    it->copy(reinterpret_cast<Exiv2::byte*>(&packet[0]), Exiv2::littleEndian);
    return packet;
}

BlockPtr BuildTree(Exiv2::Image& image, PictureFormat format, std::string_view header, IptcDigestState& digest)
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
    Exiv2::IptcData iptc = image.iptcData();
    KeepStoredDates(iptc, StoredIptc(image, header));
    b.AddIptc(iptc);
    b.AddXmp(image.xmpData(), StoredXmpPacket(image));
    if (format == PictureFormatJpeg) {
        if (!image.comment().empty())
            Child(b.Root, "/com", ContainerFormat::Comment)->Append("/TextEntry", MetadataValue::FromAscii(image.comment()));
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

std::shared_ptr<MetadataBlock> BuildMetadataTree(Exiv2::Image& image, PictureFormat format,
                                                 std::string_view jpegHeader, IptcDigestState& digest)
{
    return BuildTree(image, format, jpegHeader, digest);
}

namespace {

bool DeclaresUtf8(const MetadataBlock& iptc)
{
    MetadataValue marker;
    return SUCCEEDED(iptc.GetMetadataByName(kIptcCharacterSetName, marker)) && marker.Bytes() == kIptcUtf8Marker;
}

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

}  // namespace

void TreeCollector::Walk(const MetadataBlock& block)
{
    // A TIFF's IPTC block is nested both in IFD0 and in the Photoshop block:
    // it is one block and its datasets are written once.
    if (std::find(walked_.begin(), walked_.end(), &block) != walked_.end()) return;
    walked_.push_back(&block);
    const ContainerFormat format = block.Format();
    if (format == ContainerFormat::Irb) HasIrb = true;
    if (format == ContainerFormat::Iptc) {
        if (iptcSource_) return;  // the first IPTC block met wins
        iptcSource_ = &block;
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
        case ContainerFormat::Xmp:
            if (item.first == kXmpPacketItem)
                XmpPacket = item.second.Bytes();
            else
                AddXmp(item.first, item.second);
            break;
        case ContainerFormat::Comment:
            Comment = item.second.Bytes();
            HasComment = true;
            break;
        case ContainerFormat::Irb:
            if (item.first.rfind(kPhotoshopResourceItem, 0) == 0) PhotoshopResources += item.second.Bytes();
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

std::string StoredIptc(const Exiv2::Image& image, std::string_view jpegHeader)
{
    std::string iptc;
    if (!jpegHeader.empty()) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(jpegHeader.data());
        FindPhotoshopResource(FindJpegPhotoshopBlock(bytes, jpegHeader.size()).Data, kPhotoshopIptcResource, iptc);
        return iptc;
    }
    auto it = image.exifData().findKey(Exiv2::ExifKey("Exif.Image.IPTCNAA"));
    if (it == image.exifData().end() || it->size() <= 0) return iptc;
    // Often typed LONG: its bytes are the file's only in the file's own byte order.
    const Exiv2::ByteOrder order = image.byteOrder() == Exiv2::invalidByteOrder ? Exiv2::littleEndian : image.byteOrder();
    iptc.assign(static_cast<size_t>(it->size()), '\0');
    it->copy(reinterpret_cast<Exiv2::byte*>(&iptc[0]), order);
    return iptc;
}

void KeepStoredDates(Exiv2::IptcData& iptc, const std::string& stored)
{
    std::map<std::pair<int, int>, std::vector<std::string>> datasets;
    WalkIptcDatasets(stored, [&](std::uint8_t record, std::uint8_t number, size_t at, size_t size, size_t header) {
        datasets[{record, number}].push_back(stored.substr(at + header, size - header));
    });
    std::map<std::pair<int, int>, size_t> seen;
    for (auto& d : iptc) {
        const std::pair<int, int> key{d.record(), d.tag()};
        const size_t i = seen[key]++;
        const auto it = datasets.find(key);
        if ((d.typeId() != Exiv2::date && d.typeId() != Exiv2::time) || it == datasets.end() || i >= it->second.size())
            continue;
        const Exiv2::StringValue asStored(it->second[i]);
        d.setValue(&asStored);
    }
}

namespace {

// Same key, type, count and value, item by item.
template <typename List>
bool SameItems(const List& a, const List& b)
{
    if (a.count() != b.count()) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
        if (i->key() != j->key() || i->typeId() != j->typeId() || i->count() != j->count() ||
            i->toString() != j->toString())
            return false;
    return true;
}

}  // namespace

bool SameExif(const Exiv2::ExifData& a, const Exiv2::ExifData& b)
{
    if (a.count() != b.count()) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j)
        if (i->tag() != j->tag() || i->ifdId() != j->ifdId() || i->typeId() != j->typeId() ||
            i->count() != j->count() || i->toString() != j->toString())
            return false;
    return true;
}

bool SameIptc(const Exiv2::IptcData& a, const Exiv2::IptcData& b)
{
    return SameItems(a, b);
}

bool SameXmp(const Exiv2::XmpData& a, const Exiv2::XmpData& b)
{
    return SameItems(a, b);
}

bool PacketHolds(const std::string& packet, const Exiv2::XmpData& xmp)
{
    // What the library makes of a packet it cannot fully parse is what it read from the picture too.
    Exiv2::XmpData parsed;
    Exiv2::XmpParser::decode(parsed, packet);
    return !packet.empty() && SameXmp(parsed, xmp);
}

