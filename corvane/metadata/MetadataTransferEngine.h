// Carries a picture's metadata from the source to the picture being written.
// The engine walks every item of the source, routes each into a fresh block
// of its own kind (dropping what the target cannot or should not carry), lets
// the encoder apply the record to the GPS, EXIF and IPTC blocks, and nests
// the blocks into the target's hierarchy.
//
// Two policies: AllowList for pictures whose pixels were re-encoded (only the
// listed IFD and EXIF tags travel), KeepAll for saves that change nothing but
// the geotag (everything is kept except the geotag the record owns; the
// dates are rewritten only where the record differs from what the source
// says). Under both, a GPS tag, IPTC dataset or XMP property whose record
// field the record did not change travels exactly as the source stored it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "GPSMetadataInfo.h"
#include "HResult.h"
#include "MetadataBlock.h"
#include "PictureFormat.h"

enum class TransferPolicy { AllowList, KeepAll };

// What a transfer has to tell the user about the record it applied.
struct TransferReport {
    std::string Refusal;                // why the record could not be applied (the transfer failed)
    std::vector<std::string> Warnings;  // values stored other than given: "City is longer than..."
};

class CMetadataTransferEngine {
public:
    CMetadataTransferEngine(std::shared_ptr<const MetadataBlock> sourceRoot, std::shared_ptr<MetadataBlock> targetRoot,
                            const CGPSMetadataInfo* record, PictureFormat sourceFormat, TransferPolicy policy);
    virtual ~CMetadataTransferEngine() = default;

    virtual HRESULT Transfer() = 0;
    virtual HRESULT Walk(const MetadataBlock& reader);
    virtual HRESULT Route(ContainerFormat format, const std::string& name, const MetadataValue& value);

    bool DatesHandled() const { return datesHandled_; }
    const TransferReport& Report() const { return report_; }

    static bool IfdTagAllowed(long tag);
    static bool ExifTagAllowed(long tag);

protected:
    // The block writer created for `path` ("/ifd", "/gps", ...), or null.
    std::shared_ptr<MetadataBlock> Writer(const std::string& path) const;
    void AddWriter(const char* path, ContainerFormat format);
    // Adds an item to the writer for `path`. Items keep their order and
    // repeated names (IPTC keywords) stay repeated.
    HRESULT Put(const char* path, const std::string& name, const MetadataValue& value);
    // Encoder and XMP mirror: the record's changes to the routed blocks.
    // Fails when a changed value cannot be stored; nothing may be nested then.
    HRESULT ApplyRecord();
    // Sets `child` as a nested block of `parent` under `path`.
    static HRESULT Nest(const std::shared_ptr<MetadataBlock>& parent, const char* path,
                        const std::shared_ptr<MetadataBlock>& child);

    std::shared_ptr<const MetadataBlock> source_;
    std::shared_ptr<MetadataBlock> target_;
    const CGPSMetadataInfo* record_;
    PictureFormat sourceFormat_;
    TransferPolicy policy_;
    std::unique_ptr<CGPSMetadataInfo> stored_;  // the source's own record, when a record is applied
    bool datesHandled_ = false;
    bool rewriteDates_ = true;  // KeepAll: the record's date differs from the source's
    TransferReport report_;

private:
    HRESULT RouteExif(const std::string& name, const MetadataValue& value);
    std::vector<std::pair<std::string, std::shared_ptr<MetadataBlock>>> writers_;
};

class CToJPEGMetadataTransferEngine : public CMetadataTransferEngine {
public:
    CToJPEGMetadataTransferEngine(std::shared_ptr<const MetadataBlock> sourceRoot,
                                  std::shared_ptr<MetadataBlock> targetRoot, const CGPSMetadataInfo* record,
                                  PictureFormat sourceFormat, TransferPolicy policy);
    HRESULT Transfer() override;
    HRESULT Route(ContainerFormat format, const std::string& name, const MetadataValue& value) override;

private:
    bool hasComment_ = false;
    bool hasLuminance_ = false;
    bool hasChrominance_ = false;
};

class CToTIFFMetadataTransferEngine : public CMetadataTransferEngine {
public:
    using CMetadataTransferEngine::CMetadataTransferEngine;
    HRESULT Transfer() override;
};

// Walks `sourceRoot` and fills `targetRoot` (a new, empty root of the target's
// kind) with the engine of the target format. Formats other than JPEG and TIFF
// get nothing. Fails with E_INVALIDARG, the reason in `report`, when a value
// the record changed cannot be stored: the target must not be written then.
HRESULT TransferMetadata(const std::shared_ptr<const MetadataBlock>& sourceRoot,
                         const std::shared_ptr<MetadataBlock>& targetRoot, PictureFormat sourceFormat,
                         PictureFormat targetFormat, const CGPSMetadataInfo* record, TransferPolicy policy,
                         TransferReport* report = nullptr);
