#include <gtest/gtest.h>

#include <clocale>

#include "MetadataTable.h"

namespace {

using MetadataTable::CellText;

TEST(MetadataTable, CellTexts)
{
    CGPSMetadataInfo r;
    SetField(r.Latitude, GPSCoordinate{48, 51, 24, 'N'});
    SetField(r.Longitude, GPSCoordinate{10, 0, 0, 'S'});
    r.SetSignedAltitude(-12.5);
    SetField(r.GPSDate, GPSDateValue{2013, 5, 7});
    SetField(r.GPSTime, GPSTimeValue{14, 3, 9});
    SetField(r.ImgDirection, 45.0);
    SetField(r.DateTaken, AutomationDate::FromParts(2013, 5, 7, 9, 3, 9));
    SetField(r.City, std::wstring(L"東京"));
    EXPECT_EQ(CellText(&r, LatitudeField, 1, L""), L"48.856666666667 N");
    EXPECT_EQ(CellText(&r, LongitudeField, 1, L""), L"10 S");
    EXPECT_EQ(CellText(&r, AltitudeField, 1, L""), L"12.5 m Below Sea");
    EXPECT_EQ(CellText(&r, GPSDateField, 1, L""), L"5/7/2013");
    EXPECT_EQ(CellText(&r, GPSTimeField, 1, L""), L"14:03:09");  // a clock time, zero-padded
    EXPECT_EQ(CellText(&r, ImageDirectionField, 1, L""), L"45\u00B0 M");  // no reference: M
    EXPECT_EQ(CellText(&r, DateTakenField, 1, L""), L"7-May-2013 9:03:09 AM");
    EXPECT_EQ(CellText(&r, CityField, 1, L""), L"東京");
    EXPECT_EQ(CellText(&r, RowNumber, 3, L""), L"3");
    EXPECT_EQ(CellText(&r, PictureName, 3, L"a.jpg"), L"a.jpg");
    EXPECT_EQ(CellText(&r, MapDatumField, 1, L""), L" ");
    EXPECT_EQ(CellText(nullptr, CountryField, 1, L""), L" ");
    r.SetSignedAltitude(0);
    EXPECT_EQ(CellText(&r, AltitudeField, 1, L""), L"0 m Below Sea");
    SetField(r.DateTaken, AutomationDate::FromParts(2013, 2, 30, 0, 0, 0));
    EXPECT_EQ(CellText(&r, DateTakenField, 1, L""), L"Invalid DateTime");
}

TEST(MetadataTable, UpToDecimals)
{
    EXPECT_EQ(MetadataTable::FormatUpTo(639.611111, 2), L"639.61");
    EXPECT_EQ(MetadataTable::FormatUpTo(12.50, 2), L"12.5");
    EXPECT_EQ(MetadataTable::FormatUpTo(0.001, 2), L"0");
    EXPECT_EQ(MetadataTable::FormatUpTo(100, 2), L"100");
}

TEST(MetadataTable, CsvNumbersRowsFromZeroAndQuotesOnlyWhatNeedsIt)
{
    CGPSMetadataInfo a, b;
    SetField(a.City, std::wstring(L"Paris"));
    SetField(b.City, std::wstring(L"Washington, D.C."));
    SetField(b.SubLocation, std::wstring(L"the \"Mall\""));
    const std::string csv = MetadataTable::ToCsv({{L"a.jpg", &a}, {L"b.jpg", &b}}, L",");
    ASSERT_EQ(csv.substr(0, 3), "\xEF\xBB\xBF");
    const std::string header =
        "#,Picture Name,Date Taken,Latitude,Longitude,Altitude,Image Direction,Measurement Precision,Map Datum,"
        "GPS Date,GPS Time,Location,City,State,Country\r\n";
    EXPECT_EQ(csv.substr(3, header.size()), header);
    EXPECT_NE(csv.find("\r\n0,a.jpg, , , , , , , , , , ,Paris, , \r\n"), std::string::npos);
    EXPECT_NE(csv.find("\r\n1,b.jpg, , , , , , , , , ,\"the \"\"Mall\"\"\",\"Washington, D.C.\", , \r\n"),
              std::string::npos);
    // With ";" the comma needs no quotes.
    const std::string semi = MetadataTable::ToCsv({{L"b.jpg", &b}}, L";");
    EXPECT_NE(semi.find(";Washington, D.C.;"), std::string::npos);
}

TEST(MetadataTable, LocaleSeparator)
{
    const char* saved = std::getenv("LC_ALL");
    std::string restore = saved ? saved : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(MetadataTable::LocaleListSeparator(), L",");
    setenv("LC_ALL", "no_such_locale.UTF-8", 1);
    EXPECT_EQ(MetadataTable::LocaleListSeparator(), L",");
    if (saved)
        setenv("LC_ALL", restore.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

}  // namespace
