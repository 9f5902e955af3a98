// Changes fields of a picture's record: each update entry sets or clears one
// field, with the range checks and no-change tests of its handler.
#pragma once

#include "ImageOperation.h"

class CImageMetadataManipulationOperation : public CImageOperation {
public:
    HRESULT InitializeWithRecord(CGeoTagMetadataDecoder*, int, const CGPSMetadataInfo*) override { return E_ABORT; }
    HRESULT AttachRecord(CGPSMetadataInfo* record) override;
    HRESULT Initialize(CGeoTagMetadataDecoder*, int) override { return E_ABORT; }
    HRESULT Uninitialize() override;
    HRESULT ApplyUpdates(UpdateEntry* const* entries, int count, std::vector<std::int32_t>& changed) override;
    HRESULT Render(CBitmap&, std::wstring) override { return E_ABORT; }
    int GetKind() const override { return MetadataManipulationOperation; }
    bool IsMetadataOperation() const override { return true; }

    // One field handler: 0 when it changed the record, non-zero when it left
    // the field as it was (equal value or out of range).
    static int ApplyEntry(CGPSMetadataInfo& record, const UpdateEntry& entry);

private:
    CGPSMetadataInfo* record_ = nullptr;  // not owned
};
