#include <gtest/gtest.h>

#include <cmath>
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
    // One value out of range refuses the whole change: nothing half-applied.
    const Applied a = Apply(r, {SetText(CityField, L"X"), Set(LatitudeField, 90.000001), Set(LongitudeField, 2)});
    EXPECT_EQ(a.Status, E_INVALIDARG);
    EXPECT_TRUE(a.Changed.empty());
    EXPECT_EQ(r.Latitude->Degrees, before.Degrees);
    EXPECT_EQ(r.Longitude, nullptr);
    EXPECT_EQ(r.City, nullptr);

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
    // Not a date: refused, where all ones would have been written as the time.
    EXPECT_EQ(Apply(r, {Set(GPSTimeField, 1e12)}).Status, E_INVALIDARG);
    EXPECT_EQ(*r.GPSTime, (GPSTimeValue{14, 3, 9}));
}

// Each value a change can carry that the picture could not store, with the
// reason the user is given; the record stays as it was.
TEST(Manipulation, RefusedValuesChangeNothing)
{
    const double maxAltitude = CImageMetadataManipulationOperation::MaxAltitude;
    struct Case {
        UpdateEntry Entry;
        const wchar_t* Reason;  // empty: accepted
    } cases[] = {
        {Set(LatitudeField, -90), L""},
        {Set(LatitudeField, 91), L"latitude 91 is outside -90 to 90"},
        {Set(LatitudeField, NAN), L"latitude nan is outside -90 to 90"},
        {Set(LongitudeField, -180.5), L"longitude -180.5 is outside -180 to 180"},
        {Set(AltitudeField, maxAltitude), L""},
        {Set(AltitudeField, -maxAltitude), L""},
        {Set(AltitudeField, 429496729.6), L"altitude 429496729.6 is outside -429496729.5 to 429496729.5 m"},
        {Set(AltitudeField, 4294967295.0), L"altitude 4294967295 is outside -429496729.5 to 429496729.5 m"},
        {Set(AltitudeField, 1e10), L"altitude 1e+10 is outside -429496729.5 to 429496729.5 m"},
        {Set(AltitudeField, INFINITY), L"altitude inf is outside -429496729.5 to 429496729.5 m"},
        {Set(ImageDirectionField, 360), L"image direction 360 is outside 0 to 359.99"},
        {Set(MeasurementPrecisionField, -1), L"measurement precision -1 is outside 0 to 429496.7295"},
        {Set(DateTakenField, 1e12), L"the date taken 1e+12 is not a date"},
        {Set(GPSDateField, NAN), L"the GPS date nan is not a date"},
        {Clear(AltitudeField), L""},
    };
    for (auto& c : cases) {
        CGPSMetadataInfo r;
        r.SetSignedAltitude(12);
        std::vector<std::int32_t> changed;
        CImageMetadataManipulationOperation op;
        op.AttachRecord(&r);
        std::vector<UpdateEntry*> entries{&c.Entry};
        const HRESULT hr = op.ApplyUpdates(entries.data(), 1, changed);
        EXPECT_EQ(CImageMetadataManipulationOperation::EntryRefusal(c.Entry), c.Reason);
        if (*c.Reason) {
            EXPECT_EQ(hr, E_INVALIDARG) << c.Reason;
            EXPECT_EQ(op.Refusal(), c.Reason);
            EXPECT_TRUE(changed.empty());
            ASSERT_NE(r.Altitude, nullptr) << c.Reason;
            EXPECT_EQ(*r.Altitude, 12);
        } else {
            EXPECT_EQ(hr, S_OK);
            EXPECT_TRUE(op.Refusal().empty());
        }
    }
}

TEST(Manipulation, LongTextsAreCut)
{
    UpdateEntry e;
    e.SetText(std::wstring(5000, L'x'));
    EXPECT_EQ(e.Text.size(), UpdateEntry::MaxTextLength);
}

}  // namespace
