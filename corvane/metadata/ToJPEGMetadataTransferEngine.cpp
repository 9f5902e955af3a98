#include "MetadataTransferEngine.h"

CToJPEGMetadataTransferEngine::CToJPEGMetadataTransferEngine(std::shared_ptr<const MetadataBlock> sourceRoot,
                                                             std::shared_ptr<MetadataBlock> targetRoot,
                                                             const CGPSMetadataInfo* record,
                                                             PictureFormat sourceFormat, TransferPolicy policy)
    : CMetadataTransferEngine(std::move(sourceRoot), std::move(targetRoot), record, sourceFormat, policy)
{
    AddWriter("/app1", ContainerFormat::App1);
    AddWriter("/app0", ContainerFormat::App0);
    AddWriter("/app13", ContainerFormat::App13);
    AddWriter("/com", ContainerFormat::Comment);
    AddWriter("/luminance", ContainerFormat::Luminance);
    AddWriter("/chrominance", ContainerFormat::Chrominance);
}

HRESULT CToJPEGMetadataTransferEngine::Route(ContainerFormat format, const std::string& name,
                                             const MetadataValue& value)
{
    HRESULT hr;
    switch (format) {
    case ContainerFormat::App0: return Put("/app0", name, value);
    case ContainerFormat::App1: return Put("/app1", name, value);
    case ContainerFormat::App13: return Put("/app13", name, value);
    case ContainerFormat::Comment:
        hr = Put("/com", name, value);
        if (SUCCEEDED(hr)) hasComment_ = true;
        return hr;
    case ContainerFormat::Luminance:
        hr = Put("/luminance", name, value);
        if (SUCCEEDED(hr)) hasLuminance_ = true;
        return hr;
    case ContainerFormat::Chrominance:
        hr = Put("/chrominance", name, value);
        if (SUCCEEDED(hr)) hasChrominance_ = true;
        return hr;
    default: return CMetadataTransferEngine::Route(format, name, value);
    }
}

HRESULT CToJPEGMetadataTransferEngine::Transfer()
{
    const HRESULT applied = ApplyRecord();
    if (FAILED(applied)) return applied;
    // A re-encoded JPEG carries no interoperability block; a save that keeps
    // everything keeps it.
    if (policy_ == TransferPolicy::KeepAll) Nest(Writer("/exif"), "/interop", Writer("/interop"));
    if (SUCCEEDED(Nest(Writer("/ifd"), "/exif", Writer("/exif"))) &&
        SUCCEEDED(Nest(Writer("/ifd"), "/gps", Writer("/gps"))))
        Nest(Writer("/app1"), "/ifd", Writer("/ifd"));
    if (SUCCEEDED(Nest(Writer("/8bimiptc"), "/iptc", Writer("/iptc"))) &&
        SUCCEEDED(Nest(Writer("/irb"), "/8bimiptc", Writer("/8bimiptc"))))
        Nest(Writer("/app13"), "/irb", Writer("/irb"));
    Nest(Writer("/app1"), "/thumb", Writer("/thumb"));
    Nest(target_, "/app0", Writer("/app0"));
    Nest(target_, "/app1", Writer("/app1"));
    Nest(target_, "/app13", Writer("/app13"));
    if (hasComment_) Nest(target_, "/com", Writer("/com"));
    if (hasLuminance_) Nest(target_, "/luminance", Writer("/luminance"));
    if (hasChrominance_) Nest(target_, "/chrominance", Writer("/chrominance"));
    Nest(target_, "/xmp", Writer("/xmp"));
    return S_OK;
}
