#include <gtest/gtest.h>

#include "StampedSave.h"
#include "StampingOperations.h"
#include "TreeBuilder.h"

namespace {

enum class Kind { GPS, Title, Address };

std::unique_ptr<CImageStampingOperation> Make(Kind kind, const ISettingsStore& settings)
{
    std::wstring error;
    switch (kind) {
    case Kind::GPS: return CImageGPSStampingOperation::Create(settings, &error);
    case Kind::Title: return CImageTitleStampingOperation::Create(settings, false, &error);
    case Kind::Address: return CImageAddressStampingOperation::Create(settings, &error);
    }
    return nullptr;
}

struct SlotCase {
    Kind Which;
    int ExpectedKind;
    HRESULT Initialize;            // slot 3
    HRESULT InitializeWithRecord;  // slot 1, with a record
};

void PrintTo(const SlotCase& c, std::ostream* os) { *os << "kind " << c.ExpectedKind; }

class StampingSlotsTest : public ::testing::TestWithParam<SlotCase> {};

TEST_P(StampingSlotsTest, AnswersOfEachSlot)
{
    CMemorySettingsStore settings;
    auto op = Make(GetParam().Which, settings);
    ASSERT_NE(op, nullptr);
    TestTree tree(PictureFormatJpeg);
    CGeoTagMetadataDecoder decoder(tree.Root, PictureFormatJpeg);
    CGPSMetadataInfo record;
    std::vector<std::int32_t> changed;
    EXPECT_EQ(op->GetKind(), GetParam().ExpectedKind);
    EXPECT_FALSE(op->IsMetadataOperation());
    EXPECT_EQ(op->AttachRecord(&record), E_ABORT);
    EXPECT_EQ(op->ApplyUpdates(nullptr, 0, changed), E_ABORT);
    EXPECT_EQ(op->Initialize(&decoder, 0), GetParam().Initialize);
    EXPECT_EQ(op->Uninitialize(), S_OK);
    EXPECT_EQ(op->InitializeWithRecord(&decoder, 0, &record), GetParam().InitializeWithRecord);
    EXPECT_EQ(op->Uninitialize(), S_OK);
    EXPECT_TRUE(changed.empty());
}

INSTANTIATE_TEST_SUITE_P(Kinds, StampingSlotsTest,
                         ::testing::Values(SlotCase{Kind::GPS, 1, S_OK, E_ABORT}, SlotCase{Kind::Title, 2, S_OK, S_OK},
                                           SlotCase{Kind::Address, 3, E_ABORT, S_OK}));

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
