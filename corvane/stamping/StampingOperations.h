// The three stamping operations: the GPS stamp (kind 1), the title stamp
// (kind 2) and the address stamp (kind 3). A command builds one per picture
// and hands it to the document; nothing is drawn until the picture is saved,
// when the save initialises the operation with the picture's decoder (and
// record, for the address stamp), renders it onto the canvas and
// uninitialises it. The same operation can do that at every save.
//
// Building an operation needs a QGuiApplication (see StampRenderer.h) and a
// usable font; Create answers null with NoStampFontMessage otherwise. The
// settings store must outlive the operation: layout, wording, colours and
// placement are read from it when the stamp is drawn.
#pragma once

#include <memory>
#include <string>

#include "ImageOperation.h"
#include "SettingsStore.h"
#include "StampRenderer.h"

class CImageStampingOperation : public CImageOperation {
public:
    HRESULT AttachRecord(CGPSMetadataInfo*) override { return E_ABORT; }
    HRESULT ApplyUpdates(UpdateEntry* const*, int, std::vector<std::int32_t>&) override { return E_ABORT; }
    bool IsMetadataOperation() const override { return false; }

    // The font size and fit scale of the last drawing.
    const StampGeometry& LastGeometry() const { return geometry_; }

protected:
    explicit CImageStampingOperation(const ISettingsStore& settings) : settings_(settings) {}
    // Draws `text` with the placement key of this kind ("top" puts it at the top).
    HRESULT DrawText(CStampCanvas& canvas, const std::wstring& text, const char* locationKey, bool rightToLeft = false);
    static bool FontAvailable(std::wstring* error) { return !ChooseStampFont(error).isEmpty(); }

    const ISettingsStore& settings_;

private:
    StampGeometry geometry_;
};

class CImageGPSStampingOperation : public CImageStampingOperation {
public:
    static std::unique_ptr<CImageGPSStampingOperation> Create(const ISettingsStore& settings, std::wstring* error);

    HRESULT InitializeWithRecord(CGeoTagMetadataDecoder*, int, const CGPSMetadataInfo*) override { return E_ABORT; }
    HRESULT Initialize(CGeoTagMetadataDecoder* decoder, int reserved) override;
    HRESULT Uninitialize() override;
    // Draws the GPS facts the decoder reads (in a save, the geotag being
    // written); `text` is not used.
    HRESULT Render(CStampCanvas& canvas, std::wstring text) override;
    int GetKind() const override { return GPSStampOperation; }

private:
    using CImageStampingOperation::CImageStampingOperation;
    CGeoTagMetadataDecoder* decoder_ = nullptr;  // between Initialize and Uninitialize
};

class CImageTitleStampingOperation : public CImageStampingOperation {
public:
    // `rightToLeft`: the reading order chosen for the title.
    static std::unique_ptr<CImageTitleStampingOperation> Create(const ISettingsStore& settings, bool rightToLeft,
                                                                std::wstring* error);

    HRESULT InitializeWithRecord(CGeoTagMetadataDecoder*, int, const CGPSMetadataInfo*) override { return S_OK; }
    HRESULT Initialize(CGeoTagMetadataDecoder*, int) override { return S_OK; }
    HRESULT Uninitialize() override { return S_OK; }
    // Draws `text`, the title as the user typed it.
    HRESULT Render(CStampCanvas& canvas, std::wstring text) override;
    int GetKind() const override { return TitleStampOperation; }

private:
    CImageTitleStampingOperation(const ISettingsStore& settings, bool rightToLeft)
        : CImageStampingOperation(settings), rightToLeft_(rightToLeft) {}
    bool rightToLeft_;
};

class CImageAddressStampingOperation : public CImageStampingOperation {
public:
    static std::unique_ptr<CImageAddressStampingOperation> Create(const ISettingsStore& settings, std::wstring* error);

    // E_ABORT without a record.
    HRESULT InitializeWithRecord(CGeoTagMetadataDecoder* decoder, int reserved,
                                 const CGPSMetadataInfo* record) override;
    HRESULT Initialize(CGeoTagMetadataDecoder*, int) override { return E_ABORT; }
    HRESULT Uninitialize() override;
    // Draws the record's address and the GPS facts the decoder reads; `text` is not used.
    HRESULT Render(CStampCanvas& canvas, std::wstring text) override;
    int GetKind() const override { return AddressStampOperation; }

private:
    using CImageStampingOperation::CImageStampingOperation;
    const CGPSMetadataInfo* record_ = nullptr;   // between InitializeWithRecord and Uninitialize
    CGeoTagMetadataDecoder* decoder_ = nullptr;  // likewise
};
