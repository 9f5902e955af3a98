// Small metadata trees built by hand, in the layout a JPEG or TIFF reader gives.
#pragma once

#include <memory>

#include "MetadataBlock.h"
#include "PictureFormat.h"

struct TestTree {
    std::shared_ptr<MetadataBlock> Root, Ifd, Exif, Gps, Iptc, Xmp;

    explicit TestTree(PictureFormat format)
    {
        auto block = [](ContainerFormat f) { return std::make_shared<MetadataBlock>(f); };
        Ifd = block(ContainerFormat::Ifd);
        Exif = block(ContainerFormat::Exif);
        Gps = block(ContainerFormat::Gps);
        Iptc = block(ContainerFormat::Iptc);
        Xmp = block(ContainerFormat::Xmp);
        Ifd->Append("/exif", MetadataValue::FromBlock(Exif));
        Ifd->Append("/gps", MetadataValue::FromBlock(Gps));
        if (format == PictureFormatJpeg) {
            Root = block(ContainerFormat::JpegRoot);
            auto app1 = block(ContainerFormat::App1);
            app1->Append("/ifd", MetadataValue::FromBlock(Ifd));
            Root->Append("/app1", MetadataValue::FromBlock(app1));
            auto app13 = block(ContainerFormat::App13), irb = block(ContainerFormat::Irb),
                 ps = block(ContainerFormat::PhotoshopIptc);
            ps->Append("/iptc", MetadataValue::FromBlock(Iptc));
            irb->Append("/8bimiptc", MetadataValue::FromBlock(ps));
            app13->Append("/irb", MetadataValue::FromBlock(irb));
            Root->Append("/app13", MetadataValue::FromBlock(app13));
            Root->Append("/xmp", MetadataValue::FromBlock(Xmp));
        } else {
            Root = block(ContainerFormat::TiffRoot);
            Root->Append("/ifd", MetadataValue::FromBlock(Ifd));
            Ifd->Append("/iptc", MetadataValue::FromBlock(Iptc));
            Ifd->Append("/xmp", MetadataValue::FromBlock(Xmp));
        }
    }
};

inline MetadataValue Rationals(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> r)
{
    return MetadataValue::FromRationals(r);
}
