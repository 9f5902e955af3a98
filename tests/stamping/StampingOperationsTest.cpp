#include <gtest/gtest.h>

#include "StampedSave.h"
#include "StampingOperations.h"
#include "TreeBuilder.h"

namespace {

TEST(StampingOperations, AddressStampNeedsARecord)
{
    CMemorySettingsStore settings;
    auto op = CImageAddressStampingOperation::Create(settings, nullptr);
    TestTree tree(PictureFormatJpeg);
    CGeoTagMetadataDecoder decoder(tree.Root, PictureFormatJpeg);
    EXPECT_EQ(op->InitializeWithRecord(&decoder, 0, nullptr), E_ABORT);
}

// Records what the save asked of it.
class CProbeOperation : public CImageOperation {
public:
    CProbeOperation(int kind, HRESULT init) : kind_(kind), init_(init) {}
    HRESULT InitializeWithRecord(CGeoTagMetadataDecoder*, int, const CGPSMetadataInfo* record) override
    {
        calls += record ? "R" : "r";
        return init_;
    }
    HRESULT AttachRecord(CGPSMetadataInfo*) override { return E_ABORT; }
    HRESULT Initialize(CGeoTagMetadataDecoder*, int) override
    {
        calls += "I";
        return init_;
    }
    HRESULT Uninitialize() override
    {
        calls += "U";
        return S_OK;
    }
    HRESULT ApplyUpdates(UpdateEntry* const*, int, std::vector<std::int32_t>&) override { return E_ABORT; }
    HRESULT Render(CStampCanvas&, std::wstring text) override
    {
        calls += "D(" + std::string(text.begin(), text.end()) + ")";
        return S_OK;
    }
    int GetKind() const override { return kind_; }
    bool IsMetadataOperation() const override { return kind_ == 6; }
    std::string calls;

private:
    int kind_;
    HRESULT init_;
};

TEST(StampedSave, EachOperationIsAskedAsItsKindNeeds)
{
    CProbeOperation gps(1, S_OK), title(2, S_OK), address(3, S_OK), metadata(6, S_OK), failing(1, E_FAIL);
    TestTree tree(PictureFormatJpeg);
    CGeoTagMetadataDecoder decoder(tree.Root, PictureFormatJpeg);
    CGPSMetadataInfo record;
    CBitmap canvas;
    ASSERT_EQ(canvas.Allocate(4, 4, nullptr), S_OK);
    CStampCanvas whole(canvas);
    DrawPendingStamps(whole, decoder, record,
                      {{&gps, L""}, {&title, L"Site 14"}, {&address, L""}, {&metadata, L""}, {&failing, L""}});
    EXPECT_EQ(gps.calls, "ID()U");
    EXPECT_EQ(title.calls, "ID(Site 14)U");
    EXPECT_EQ(address.calls, "RD()U");
    EXPECT_EQ(metadata.calls, "U");
    EXPECT_EQ(failing.calls, "IU");  // not drawn, still uninitialised
}

}  // namespace
