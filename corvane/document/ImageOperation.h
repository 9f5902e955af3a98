// Every change the user applies to pictures is an image operation. Stamping
// operations draw into a picture's pixels when it is saved; the metadata
// manipulation operation changes fields of its record at once. The document
// owns operations handed to it and keeps them until the picture is saved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GPSMetadataInfo.h"
#include "HResult.h"

class CGeoTagMetadataDecoder;
class CStampCanvas;

enum ImageOperationKind : int {
    GPSStampOperation = 1,
    TitleStampOperation = 2,
    AddressStampOperation = 3,
    MetadataManipulationOperation = 6,
};

// One change of one field: set (Clear false) or remove (Clear true).
struct UpdateEntry {
    static constexpr size_t MaxTextLength = 2047;

    std::int32_t Field = 0;  // a GeoField from DateTakenField to CountryField
    bool Clear = false;
    double Number = 0.0;     // value of numeric and date fields
    std::wstring Text;       // value of text fields
    std::wstring ExtraText;  // the precision word
    char Reference = 0;      // the image direction's reference letter

    // Texts longer than MaxTextLength characters are cut.
    void SetText(const std::wstring& text) { Text = text.substr(0, MaxTextLength); }
    void SetExtraText(const std::wstring& text) { ExtraText = text.substr(0, MaxTextLength); }
};

class CImageOperation {
public:
    virtual ~CImageOperation() = default;
    // Per-picture set-up for operations that need the record (address stamps).
    virtual HRESULT InitializeWithRecord(CGeoTagMetadataDecoder* decoder, int reserved,
                                         const CGPSMetadataInfo* record) = 0;
    // Gives a metadata operation the record version it is to change.
    virtual HRESULT AttachRecord(CGPSMetadataInfo* record) = 0;
    // Per-picture set-up for operations that read the picture themselves.
    virtual HRESULT Initialize(CGeoTagMetadataDecoder* decoder, int reserved) = 0;
    // Drops per-picture state; called after every use.
    virtual HRESULT Uninitialize() = 0;
    // Changes the attached record; appends the fields that really changed.
    virtual HRESULT ApplyUpdates(UpdateEntry* const* entries, int count, std::vector<std::int32_t>& changed) = 0;
    // Draws into the picture's pixels (or, on a canvas without pixels, only
    // places what it would draw).
    virtual HRESULT Render(CStampCanvas& canvas, std::wstring text) = 0;
    virtual int GetKind() const = 0;
    // True when the operation changes the record at once, false when it waits for the pixels.
    virtual bool IsMetadataOperation() const = 0;
};
