#include "MetadataBlock.h"

#include <cstdlib>
#include <cstring>

const char* ContainerFormatName(ContainerFormat format)
{
    switch (format) {
    case ContainerFormat::JpegRoot: return "jpeg";
    case ContainerFormat::TiffRoot: return "tiff";
    case ContainerFormat::App0: return "app0";
    case ContainerFormat::App1: return "app1";
    case ContainerFormat::App13: return "app13";
    case ContainerFormat::Ifd: return "ifd";
    case ContainerFormat::Exif: return "exif";
    case ContainerFormat::Gps: return "gps";
    case ContainerFormat::Interop: return "interop";
    case ContainerFormat::Thumbnail: return "thumb";
    case ContainerFormat::Iptc: return "iptc";
    case ContainerFormat::Irb: return "irb";
    case ContainerFormat::PhotoshopIptc: return "8bimiptc";
    case ContainerFormat::Xmp: return "xmp";
    case ContainerFormat::Comment: return "com";
    case ContainerFormat::Luminance: return "luminance";
    case ContainerFormat::Chrominance: return "chrominance";
    case ContainerFormat::MakerNote: return "makernote";
    case ContainerFormat::SubIfd: return "subifd";
    case ContainerFormat::Unknown: break;
    }
    return "unknown";
}

size_t MetadataBlock::FirstSegmentEnd(const std::string& path)
{
    int depth = 0;
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '{')
            ++depth;
        else if (path[i] == '}')
            --depth;
        else if (path[i] == '/' && depth == 0)
            return i;
    }
    return path.size();
}

const MetadataBlock::Item* MetadataBlock::Find(const std::string& name) const
{
    for (const auto& item : items_)
        if (item.first == name) return &item;
    return nullptr;
}

MetadataBlock::Item* MetadataBlock::Find(const std::string& name)
{
    for (auto& item : items_)
        if (item.first == name) return &item;
    return nullptr;
}

HRESULT MetadataBlock::GetMetadataByName(const std::string& path, MetadataValue& value) const
{
    // Item names may themselves hold '/' (XMP structure members), so a whole
    // match is tried before the path is split.
    if (const Item* whole = Find(path)) {
        value = whole->second;
        return S_OK;
    }
    if (path.empty() || path[0] != '/') return E_INVALIDARG;
    const size_t end = FirstSegmentEnd(path);
    if (end >= path.size()) return E_FAIL;
    const Item* head = Find(path.substr(0, end));
    if (!head || !head->second.IsBlock()) return E_FAIL;
    return head->second.Block()->GetMetadataByName(path.substr(end), value);
}

std::shared_ptr<MetadataBlock> MetadataBlock::GetBlock(const std::string& path) const
{
    MetadataValue v;
    if (FAILED(GetMetadataByName(path, v)) || !v.IsBlock()) return nullptr;
    return v.Block();
}

HRESULT MetadataBlock::SetMetadataByName(const std::string& path, const MetadataValue& value)
{
    if (path.empty() || path[0] != '/') return E_INVALIDARG;
    if (value.IsEmpty()) return E_INVALIDARG;
    if (Item* whole = Find(path)) {
        whole->second = value;
        return S_OK;
    }
    const size_t end = FirstSegmentEnd(path);
    if (end >= path.size()) {
        items_.emplace_back(path, value);
        return S_OK;
    }
    Item* head = Find(path.substr(0, end));
    if (!head || !head->second.IsBlock()) return E_FAIL;
    return head->second.Block()->SetMetadataByName(path.substr(end), value);
}

HRESULT MetadataBlock::RemoveMetadataByName(const std::string& path)
{
    for (auto it = items_.begin(); it != items_.end(); ++it) {
        if (it->first == path) {
            items_.erase(it);
            return S_OK;
        }
    }
    const size_t end = FirstSegmentEnd(path);
    if (end >= path.size()) return S_FALSE;
    Item* head = Find(path.substr(0, end));
    if (!head || !head->second.IsBlock()) return S_FALSE;
    return head->second.Block()->RemoveMetadataByName(path.substr(end));
}

std::string TagPath(unsigned tag)
{
    return "/{ushort=" + std::to_string(tag) + "}";
}

long TagNumberOf(const std::string& name)
{
    // The digits after '=' ("/{ushort=36867}"), or the first digits of a name without one.
    const size_t equals = name.find('=');
    const size_t digit = name.find_first_of("0123456789", equals == std::string::npos ? 0 : equals);
    if (digit == std::string::npos) return -1;
    return std::strtol(name.c_str() + digit, nullptr, 10);
}
