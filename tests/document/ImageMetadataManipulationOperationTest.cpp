#include <gtest/gtest.h>

#include <memory>

#include "ImageMetadataManipulationOperation.h"

namespace {

struct Applied {
    HRESULT Status;
    std::vector<std::int32_t> Changed;
};

Applied Apply(CGPSMetadataInfo& r, std::vector<UpdateEntry> entries)
{
    std::vector<UpdateEntry*> raw;
    for (auto& e : entries) raw.push_back(&e);
    CImageMetadataManipulationOperation op;
    Applied a{};
    EXPECT_EQ(op.AttachRecord(&r), S_OK);
    a.Status = op.ApplyUpdates(raw.data(), static_cast<int>(raw.size()), a.Changed);
    op.Uninitialize();
    return a;
}

UpdateEntry Set(GeoField f, double number)
{
    UpdateEntry e;
    e.Field = f;
    e.Number = number;
    return e;
}

UpdateEntry SetText(GeoField f, const std::wstring& text)
{
    UpdateEntry e;
    e.Field = f;
    e.SetText(text);
    return e;
}

UpdateEntry Clear(GeoField f)
{
    UpdateEntry e;
    e.Field = f;
    e.Clear = true;
    return e;
}

TEST(Manipulation, SlotsAndEmptyCalls)
{
    CImageMetadataManipulationOperation op;
    EXPECT_EQ(op.GetKind(), 6);
    EXPECT_TRUE(op.IsMetadataOperation());
    EXPECT_EQ(op.AttachRecord(nullptr), E_FAIL);
    EXPECT_EQ(op.Initialize(nullptr, 0), E_ABORT);
    std::vector<std::int32_t> changed;
    EXPECT_EQ(op.ApplyUpdates(nullptr, 0, changed), E_FAIL);
    UpdateEntry e = Set(LatitudeField, 1);
    UpdateEntry* p = &e;
    EXPECT_EQ(op.ApplyUpdates(&p, 1, changed), E_FAIL);  // no record attached: nothing to change
}

TEST(Manipulation, RangesAndNoChangeTests)
{
    const double day = 1.0 / 86400.0;
    struct Case {
        const char* What;
        UpdateEntry First, Second;
        bool SecondChanges;
    } cases[] = {
        {"date 0.4 s away", Set(DateTakenField, 41000.5), Set(DateTakenField, 41000.5 + 0.4 * day), false},
        {"date 0.6 s away", Set(DateTakenField, 41000.5), Set(DateTakenField, 41000.5 + 0.6 * day), true},
        {"altitude equal", Set(AltitudeField, 12), Set(AltitudeField, 12), false},
        {"map datum by case", SetText(MapDatumField, L"WGS-84"), SetText(MapDatumField, L"wgs-84"), false},
        {"city other text", SetText(CityField, L"Paris"), SetText(CityField, L"Lyon"), true},
    };
    for (auto& c : cases) {
        CGPSMetadataInfo r;
        EXPECT_EQ(Apply(r, {c.First}).Changed.size(), 1u) << c.What;
        EXPECT_EQ(Apply(r, {c.Second}).Changed.size(), c.SecondChanges ? 1u : 0u) << c.What;
    }
}

TEST(Manipulation, CoordinateAndDirectionLimits)
{
    CGPSMetadataInfo r;
    EXPECT_EQ(Apply(r, {Set(LatitudeField, 90)}).Changed, std::vector<std::int32_t>{LatitudeField});
    const GPSCoordinate before = *r.Latitude;
    // Out of range: left as it was, the other entries still applied.
    const Applied a = Apply(r, {Set(LatitudeField, 90.000001), Set(LongitudeField, -180.5), SetText(CityField, L"X")});
    EXPECT_EQ(a.Status, S_OK);
    EXPECT_EQ(a.Changed, std::vector<std::int32_t>{CityField});
    EXPECT_EQ(r.Latitude->Degrees, before.Degrees);
    EXPECT_EQ(r.Longitude, nullptr);

    UpdateEntry d = Set(ImageDirectionField, 359.99);
    d.Reference = 'T';
    EXPECT_EQ(Apply(r, {d}).Changed.size(), 1u);
    EXPECT_EQ(Apply(r, {d}).Changed.size(), 0u);
    d.Reference = 'M';
    EXPECT_EQ(Apply(r, {d}).Changed.size(), 1u);
    d.Number = 360;
    EXPECT_EQ(Apply(r, {d}).Changed.size(), 0u);
    EXPECT_EQ(*r.ImgDirection, 359.99);
}

TEST(Manipulation, AltitudeReferenceAndPrecision)
{
    CGPSMetadataInfo r;
    Apply(r, {Set(AltitudeField, 0)});
    EXPECT_EQ(*r.AltitudeRef, 1);
    Apply(r, {Set(AltitudeField, 0.5)});
    EXPECT_EQ(*r.AltitudeRef, 0);

    UpdateEntry p = Set(MeasurementPrecisionField, 3.5);
    p.SetExtraText(L"Good");
    Apply(r, {p});
    p.Number = 4.9;
    p.SetExtraText(L"GOOD");
    EXPECT_TRUE(Apply(r, {p}).Changed.empty());  // the word decides, not the number
    EXPECT_EQ(*r.DOP, 3.5);
}

TEST(Manipulation, ClearsAndCountry)
{
    CGPSMetadataInfo r;
    SetField(r.CountryCode, std::wstring(L"FR"));
    Apply(r, {SetText(CountryField, L"France")});
    EXPECT_EQ(*r.CountryCode, L"FR");  // setting the country keeps the code
    EXPECT_EQ(Apply(r, {Clear(CountryField)}).Changed, std::vector<std::int32_t>{CountryField});
    EXPECT_EQ(r.CountryName, nullptr);
    EXPECT_EQ(r.CountryCode, nullptr);
    // Clearing what is already absent still counts as a change.
    EXPECT_EQ(Apply(r, {Clear(AltitudeField)}).Changed, std::vector<std::int32_t>{AltitudeField});
}

TEST(Manipulation, GpsDateAndTimeFromDayCounts)
{
    CGPSMetadataInfo r;
    const AutomationDate d = AutomationDate::FromParts(2013, 5, 7, 14, 3, 9);
    Apply(r, {Set(GPSDateField, d.Value), Set(GPSTimeField, d.Value)});
    EXPECT_EQ(*r.GPSDate, (GPSDateValue{2013, 5, 7}));
    EXPECT_EQ(*r.GPSTime, (GPSTimeValue{14, 3, 9}));
    EXPECT_TRUE(Apply(r, {Set(GPSDateField, d.Value + 0.25)}).Changed.empty());  // same calendar day
    Apply(r, {Set(GPSTimeField, 1e12)});  // not a date: all ones
    EXPECT_EQ(*r.GPSTime, (GPSTimeValue{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}));
}

TEST(Manipulation, LongTextsAreCut)
{
    UpdateEntry e;
    e.SetText(std::wstring(5000, L'x'));
    EXPECT_EQ(e.Text.size(), UpdateEntry::MaxTextLength);
}

}  // namespace
