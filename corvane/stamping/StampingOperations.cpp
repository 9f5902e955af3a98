#include "StampingOperations.h"

#include "StampText.h"

HRESULT CImageStampingOperation::DrawText(CStampCanvas& canvas, const std::wstring& text, const char* locationKey,
                                          bool rightToLeft)
{
    StampStyle style;
    style.Layout = ReadStringSetting(settings_, "UseOfStamping") == L"PU" ? StampLayout::Personal
                                                                          : StampLayout::Official;
    style.AtTop = ReadStringSetting(settings_, locationKey) == L"top";
    style.Colours = ColoursFor(ReadStringSetting(settings_, "StampColors"));
    style.RightToLeft = rightToLeft;
    return DrawStamp(canvas, text, style, &geometry_);
}

std::unique_ptr<CImageGPSStampingOperation> CImageGPSStampingOperation::Create(const ISettingsStore& settings,
                                                                               std::wstring* error)
{
    if (!FontAvailable(error)) return nullptr;
    return std::unique_ptr<CImageGPSStampingOperation>(new CImageGPSStampingOperation(settings));
}

HRESULT CImageGPSStampingOperation::Initialize(CGeoTagMetadataDecoder* decoder, int)
{
    if (!decoder) return E_POINTER;
    decoder_ = decoder;
    return S_OK;
}

HRESULT CImageGPSStampingOperation::Uninitialize()
{
    decoder_ = nullptr;
    return S_OK;
}

HRESULT CImageGPSStampingOperation::Render(CStampCanvas& bitmap, std::wstring)
{
    if (!decoder_) return E_FAIL;
    return DrawText(bitmap, CStampTextComposer(settings_).ComposeGPSStampText(*decoder_), "GPSStampngLocation");
}

std::unique_ptr<CImageTitleStampingOperation> CImageTitleStampingOperation::Create(const ISettingsStore& settings,
                                                                                   bool rightToLeft,
                                                                                   std::wstring* error)
{
    if (!FontAvailable(error)) return nullptr;
    return std::unique_ptr<CImageTitleStampingOperation>(new CImageTitleStampingOperation(settings, rightToLeft));
}

HRESULT CImageTitleStampingOperation::Render(CStampCanvas& bitmap, std::wstring text)
{
    return DrawText(bitmap, text, "TitleStampngLocation", rightToLeft_);
}

std::unique_ptr<CImageAddressStampingOperation> CImageAddressStampingOperation::Create(
    const ISettingsStore& settings, std::wstring* error)
{
    if (!FontAvailable(error)) return nullptr;
    return std::unique_ptr<CImageAddressStampingOperation>(new CImageAddressStampingOperation(settings));
}

HRESULT CImageAddressStampingOperation::InitializeWithRecord(CGeoTagMetadataDecoder* decoder, int,
                                                             const CGPSMetadataInfo* record)
{
    if (!record) return E_ABORT;
    if (!decoder) return E_POINTER;
    record_ = record;
    decoder_ = decoder;
    return S_OK;
}

HRESULT CImageAddressStampingOperation::Uninitialize()
{
    record_ = nullptr;
    decoder_ = nullptr;
    return S_OK;
}

HRESULT CImageAddressStampingOperation::Render(CStampCanvas& bitmap, std::wstring)
{
    if (!decoder_ || !record_) return E_FAIL;
    return DrawText(bitmap, CStampTextComposer(settings_).ComposeAddressStampText(*decoder_, *record_),
                    "AddrStampngLocation");
}
