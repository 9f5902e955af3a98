// Changes fields of a picture's record: each update entry sets or clears one
// field, with the range checks and no-change tests of its handler. A change
// is applied whole or not at all: one value out of range (a latitude of 91,
// an altitude beyond what EXIF can store) refuses every entry of it.
#pragma once

#include <string>

#include "ImageOperation.h"

class CImageMetadataManipulationOperation : public CImageOperation {
public:
    HRESULT InitializeWithRecord(CGeoTagMetadataDecoder*, int, const CGPSMetadataInfo*) override { return E_ABORT; }
    HRESULT AttachRecord(CGPSMetadataInfo* record) override;
    HRESULT Initialize(CGeoTagMetadataDecoder*, int) override { return E_ABORT; }
    HRESULT Uninitialize() override;
    // E_INVALIDARG, the record untouched and Refusal() saying why, when an
    // entry sets a value out of its range.
    HRESULT ApplyUpdates(UpdateEntry* const* entries, int count, std::vector<std::int32_t>& changed) override;
    HRESULT Render(CStampCanvas&, std::wstring) override { return E_ABORT; }
    int GetKind() const override { return MetadataManipulationOperation; }
    bool IsMetadataOperation() const override { return true; }

    // One field handler: 0 when it changed the record, non-zero when it left
    // the field as it was (equal value or out of range).
    static int ApplyEntry(CGPSMetadataInfo& record, const UpdateEntry& entry);
    // Why an entry cannot be applied ("latitude 91 is outside -90 to 90");
    // empty when it can.
    static std::wstring EntryRefusal(const UpdateEntry& entry);
    // The reason the last ApplyUpdates refused its entries.
    const std::wstring& Refusal() const { return refusal_; }

    // The largest altitude, in metres either side of the sea, that EXIF's
    // tenths-of-a-metre rational can hold.
    static constexpr double MaxAltitude = 429496729.5;

private:
    CGPSMetadataInfo* record_ = nullptr;  // not owned
    std::wstring refusal_;
};
