#include "MetadataTransferEngine.h"

HRESULT CToTIFFMetadataTransferEngine::Transfer()
{
    const HRESULT applied = ApplyRecord();
    if (FAILED(applied)) return applied;
    Nest(Writer("/exif"), "/interop", Writer("/interop"));
    if (SUCCEEDED(Nest(Writer("/ifd"), "/exif", Writer("/exif"))) &&
        SUCCEEDED(Nest(Writer("/ifd"), "/gps", Writer("/gps"))) &&
        SUCCEEDED(Nest(Writer("/ifd"), "/xmp", Writer("/xmp"))))
        Nest(Writer("/ifd"), "/iptc", Writer("/iptc"));
    if (SUCCEEDED(Nest(Writer("/8bimiptc"), "/iptc", Writer("/iptc"))) &&
        SUCCEEDED(Nest(Writer("/irb"), "/8bimiptc", Writer("/8bimiptc"))))
        Nest(Writer("/ifd"), "/irb", Writer("/irb"));
    return Nest(target_, "/ifd", Writer("/ifd"));
}

HRESULT TransferMetadata(const std::shared_ptr<const MetadataBlock>& sourceRoot,
                         const std::shared_ptr<MetadataBlock>& targetRoot, PictureFormat sourceFormat,
                         PictureFormat targetFormat, const CGPSMetadataInfo* record, TransferPolicy policy,
                         TransferReport* report)
{
    if (!sourceRoot || !targetRoot) return S_OK;
    std::unique_ptr<CMetadataTransferEngine> engine;
    if (targetFormat == PictureFormatJpeg)
        engine.reset(new CToJPEGMetadataTransferEngine(sourceRoot, targetRoot, record, sourceFormat, policy));
    else if (targetFormat == PictureFormatTiff)
        engine.reset(new CToTIFFMetadataTransferEngine(sourceRoot, targetRoot, record, sourceFormat, policy));
    if (!engine) return S_OK;
    engine->Walk(*sourceRoot);
    const HRESULT hr = engine->Transfer();
    if (report) *report = engine->Report();
    return hr;
}
