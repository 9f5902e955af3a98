// Saves of real pictures, read back by exiftool and exiv2: a geotag value the
// edit did not touch keeps the exact rationals the camera stored, a value it
// sets keeps the precision it was given, a value that does not fit changes
// nothing, and the wipe reaches every copy of the location.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "GeoTagFile.h"
#include "LocaleScope.h"
#include "MetadataTable.h"
#include "TestSupport.h"
#include "TextNumber.h"

namespace {

using namespace testsupport;

// "[Group] Tag" -> value of exiftool's listing of the given tags.
std::map<std::string, std::string> ExifTool(const fs::path& file, const std::string& tags)
{
    std::map<std::string, std::string> out;
    std::istringstream lines(RunCommand("exiftool -a -G1 -n -s " + tags + " " + Quote(file) + " 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t colon = line.find(" : ");
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(' ') + 1);
        out[key] = line.substr(colon + 3);
    }
    return out;
}

std::map<std::string, std::string> Gps(const fs::path& file)
{
    return ExifTool(file, "-GPS:all");
}

// exiv2's listing of the GPS IFD, one "GPSInfo Tag Type Count Value" per
// tag (spacing made single, tag numbers left out): the stored rationals.
std::set<std::string> StoredGps(const fs::path& file)
{
    std::set<std::string> lines;
    std::istringstream out(RunCommand("exiv2 -pv -g GPSInfo. " + Quote(file) + " 2>/dev/null"));
    std::string line;
    while (std::getline(out, line)) {
        std::istringstream words(line);
        std::string word, joined;
        words >> word;  // the tag number
        while (words >> word) joined += (joined.empty() ? "" : " ") + word;
        if (joined.rfind("GPSInfo ", 0) == 0) lines.insert(joined);
    }
    return lines;
}

std::string StoredTag(const std::string& line)
{
    const size_t start = line.find(' ') + 1;
    return line.substr(start, line.find(' ', start) - start);
}

// exiftool's numbers compared as numbers, other values as text.
bool SameValue(const std::string& a, const std::string& b)
{
    double x, y;
    if (ParseWholeDouble(a, x) && ParseWholeDouble(b, y)) return std::fabs(x - y) <= 1e-9 * std::max(1.0, std::fabs(x));
    return a == b;
}

std::set<std::string> Differing(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b)
{
    std::set<std::string> keys;
    for (const auto& [k, v] : a)
        if (!b.count(k) || b.at(k) != v) keys.insert(k);
    for (const auto& [k, v] : b)
        if (!a.count(k)) keys.insert(k);
    return keys;
}

std::unique_ptr<CGPSMetadataInfo> Read(const fs::path& file)
{
    std::string error;
    auto record = ReadGeoTag(file.string(), nullptr, &error);
    EXPECT_TRUE(record) << file << ": " << error;
    return record;
}

HRESULT Save(const fs::path& file, const CGPSMetadataInfo& record, std::string* error = nullptr,
             std::vector<std::string>* warnings = nullptr)
{
    std::string e;
    return SaveGeoTag(file.string(), file.string(), record, error ? error : &e, warnings);
}

class StoredForm : public testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_SAMPLES();
        REQUIRE_TOOL("exiftool");
        REQUIRE_TOOL("exiv2");
    }
    fs::path Copy(const std::string& sample, const std::string& as = "") const
    {
        return dir.Copy(SamplesDir() / "pictures" / sample, as);
    }
    // A copy changed by exiftool first (tags our samples lack).
    fs::path CopyWith(const std::string& sample, const std::string& exiftoolArgs) const
    {
        const fs::path p = Copy(sample, "with-" + fs::path(sample).filename().string());
        int status = -1;
        RunCommand("exiftool -q -overwrite_original " + exiftoolArgs + " " + Quote(p), &status);
        EXPECT_EQ(status, 0) << exiftoolArgs;
        return p;
    }
    TempDir dir;
};

struct Edit {
    const char* Sample;
    const char* What;
    std::function<void(CGPSMetadataInfo&)> Change;
    std::set<std::string> ChangedTags;       // exiftool's GPS tags that may differ afterwards
    std::map<std::string, std::string> Now;  // and what exiftool reads in some of them
    std::set<std::string> StoredNow;         // exiv2 lines the save must have written
};

void PrintTo(const Edit& e, std::ostream* out)
{
    *out << e.Sample << " " << e.What;
}

class EditTest : public StoredForm, public testing::WithParamInterface<Edit> {};

// One field set; every other GPS tag stays the item the camera stored, and
// saving the same record again gives the same file.
TEST_P(EditTest, OnlyTheEditedValueChanges)
{
    const Edit& e = GetParam();
    const fs::path p = Copy(e.Sample);
    const auto gpsBefore = Gps(p);
    const auto storedBefore = StoredGps(p);
    auto record = Read(p);
    e.Change(*record);
    std::string error;
    ASSERT_EQ(Save(p, *record, &error), S_OK) << error;

    const auto gpsAfter = Gps(p);
    std::set<std::string> changed = Differing(gpsBefore, gpsAfter);
    for (const auto& tag : e.ChangedTags) changed.erase(tag);
    EXPECT_TRUE(changed.empty()) << e.What << ": " << *changed.begin() << " changed";
    for (const auto& [tag, value] : e.Now) {
        ASSERT_TRUE(gpsAfter.count(tag)) << tag;
        EXPECT_TRUE(SameValue(gpsAfter.at(tag), value)) << tag << ": " << gpsAfter.at(tag) << ", not " << value;
    }
    const auto storedAfter = StoredGps(p);
    for (const auto& line : storedBefore) {
        bool edited = false;
        for (const auto& tag : e.ChangedTags) edited |= tag.substr(tag.find_last_of(' ') + 1) == StoredTag(line);
        if (!edited) {
            EXPECT_TRUE(storedAfter.count(line)) << e.What << " lost the stored form of\n" << line;
        }
    }
    for (const auto& line : e.StoredNow) EXPECT_TRUE(storedAfter.count(line)) << e.What << " wrote no\n" << line;

    const std::string once = ReadFile(p);
    ASSERT_EQ(Save(p, *record, &error), S_OK) << error;
    EXPECT_TRUE(ReadFile(p) == once) << e.What << ": the same edit again changed the file";
}

std::string Stored(const char* tag, const char* type, int count, const char* value)
{
    return std::string("GPSInfo ") + tag + " " + type + " " + std::to_string(count) + " " + value;
}

const Edit kEdits[] = {
    {"gps/DSCN0010.jpg", "altitude", [](CGPSMetadataInfo& r) { r.SetSignedAltitude(8848.86); },
     {"[GPS]           GPSAltitude"},
     {{"[GPS]           GPSAltitude", "8848.86"}, {"[GPS]           GPSTimeStamp", "14:27:07.24"}},
     {Stored("GPSAltitude", "Rational", 1, "884886/100"),
      Stored("GPSLongitude", "Rational", 3, "11/1 53/1 645599999/100000000")}},
    {"cameras/Kodak_CX7530.jpg", "city", [](CGPSMetadataInfo& r) { SetField(r.City, std::wstring(L"Nairobi")); },
     {},
     {},
     {Stored("GPSLatitude", "Rational", 3, "0/1 22278/1000 0/1")}},
    {"cameras/Kodak_CX7530.jpg", "altitude below the sea", [](CGPSMetadataInfo& r) { r.SetSignedAltitude(-12.5); },
     {"[GPS]           GPSAltitude", "[GPS]           GPSAltitudeRef"},
     {{"[GPS]           GPSAltitudeRef", "1"}},
     {Stored("GPSAltitude", "Rational", 1, "125/10"), Stored("GPSLatitude", "Rational", 3, "0/1 22278/1000 0/1")}},
    {"cameras/HMD_Nokia_8.3_5G.jpg", "altitude", [](CGPSMetadataInfo& r) { r.SetSignedAltitude(100); },
     {"[GPS]           GPSAltitude", "[GPS]           GPSAltitudeRef"},
     {},
     {Stored("GPSLatitude", "SRational", 3, "60/1 8/1 4814/100")}},
    {"cameras/iphone_hdr_YES.jpg", "latitude",
     [](CGPSMetadataInfo& r) { CGPSMetadataInfo::DecimalToCoordinate(r.Latitude, 40.4678115, 'N', 'S'); },
     {"[GPS]           GPSLatitude"},
     {{"[GPS]           GPSLatitude", "40.4678115"}},
     {Stored("GPSImgDirection", "Rational", 1, "31469/149"), Stored("GPSDestBearing", "Rational", 1, "23557/755")}},
    {"gps/DSCN0021.jpg", "GPS time",
     [](CGPSMetadataInfo& r) { SetField(r.GPSTime, GPSTimeValue{15, 0, 0}); },
     {"[GPS]           GPSTimeStamp"},
     {{"[GPS]           GPSTimeStamp", "15:00:00"}},
     {}},
};

INSTANTIATE_TEST_SUITE_P(Samples, EditTest, testing::ValuesIn(kEdits));

TEST_F(StoredForm, SignedCoordinatesAreShownAsExifToolReadsThem)
{
    const fs::path p = Copy("cameras/HMD_Nokia_8.3_5G.jpg");
    auto record = Read(p);
    ASSERT_TRUE(record && record->Latitude && record->Longitude);
    const auto gps = Gps(p);
    EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal(*record->Latitude), std::stod(gps.at("[GPS]           GPSLatitude")),
                1e-12);
    EXPECT_EQ(MetadataTable::CellText(record.get(), LongitudeField, 1, L""), L"24.906772222222 E");
}

TEST_F(StoredForm, AnEmptyGpsDateStampStaysAsStored)
{
    const fs::path p = Copy("gps/DSCN0010.jpg");
    std::string bytes = ReadFile(p);
    const size_t at = bytes.find(std::string("2008:10:23\0", 11));
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 10, std::string(10, '\0'));
    WriteFile(p, bytes);
    auto record = Read(p);
    EXPECT_EQ(record->GPSDate, nullptr);
    EXPECT_EQ(MetadataTable::CellText(record.get(), GPSDateField, 1, L""), L" ");
    std::string stamp;
    for (const auto& line : StoredGps(p))
        if (StoredTag(line) == "GPSDateStamp") stamp = line;
    ASSERT_FALSE(stamp.empty());
    record->SetSignedAltitude(300);
    ASSERT_EQ(Save(p, *record), S_OK);
    EXPECT_TRUE(StoredGps(p).count(stamp)) << "the empty date stamp was rewritten";
    EXPECT_EQ(RunCommand("exiftool -s3 -n -GPS:GPSDateStamp " + Quote(p)).find("0000"), std::string::npos);
}

TEST_F(StoredForm, TagsWithoutAFieldStayUntilTheirPositionIsWiped)
{
    const fs::path p = CopyWith("gps/DSCN0010.jpg",
                                "-GPSProcessingMethod=GPS -GPSAreaInformation=Toscana -GPSDestLatitude=43.5 "
                                "-GPSDestLatitudeRef=N -XMP-exif:GPSDestLatitude=43.5");
    auto record = Read(p);
    record->SetSignedAltitude(300);
    ASSERT_EQ(Save(p, *record), S_OK);
    auto tags = ExifTool(p, "-GPS:all -XMP-exif:all");
    for (const char* kept : {"[GPS]           GPSProcessingMethod", "[GPS]           GPSAreaInformation",
                             "[GPS]           GPSDestLatitude", "[XMP-exif]      GPSDestLatitude"})
        EXPECT_TRUE(tags.count(kept)) << kept << " dropped by an altitude edit";

    ClearField(record->Latitude);
    ClearField(record->Longitude);
    ASSERT_EQ(Save(p, *record), S_OK);
    tags = ExifTool(p, "-GPS:all -XMP-exif:all");
    EXPECT_TRUE(tags.count("[GPS]           GPSProcessingMethod"));  // tells no place
    for (const char* gone : {"[GPS]           GPSAreaInformation", "[GPS]           GPSDestLatitude",
                             "[GPS]           GPSDestLatitudeRef", "[XMP-exif]      GPSDestLatitude",
                             "[GPS]           GPSLatitude"})
        EXPECT_FALSE(tags.count(gone)) << gone << " outlived the position";

    CGPSMetadataInfo wiped;
    ASSERT_EQ(Save(p, wiped), S_OK);
    EXPECT_TRUE(Gps(p).empty());
}

TEST_F(StoredForm, AnAltitudeThatDoesNotFitChangesNothing)
{
    const fs::path p = Copy("gps/DSCN0012.jpg");
    const std::string before = ReadFile(p);
    for (double metres : {429496729.6, 4294967295.0, 1e10, -1e10}) {
        auto record = Read(p);
        record->SetSignedAltitude(metres);
        SetField(record->City, std::wstring(L"Siena"));
        std::string error;
        EXPECT_EQ(Save(p, *record, &error), E_INVALIDARG) << metres;
        EXPECT_EQ(error.rfind("not saved: the altitude ", 0), 0u) << error;
        EXPECT_TRUE(ReadFile(p) == before) << metres << ": the refused save changed the file";
    }
    auto record = Read(p);
    record->SetSignedAltitude(429496729.5);
    ASSERT_EQ(Save(p, *record), S_OK);
    EXPECT_EQ(Gps(p).at("[GPS]           GPSAltitude"), "429496729.5");
}

TEST_F(StoredForm, IptcTextIsCutToItsLimitAndSaid)
{
    const fs::path p = Copy("gps/DSCN0012.jpg");
    auto record = Read(p);
    SetField(record->City, std::wstring(L"Llanfairpwllgwyngyllgogerychw\u0177rndrobwll"));  // w-circumflex at bytes 30-31
    SetField(record->CountryCode, std::wstring(L"GBR1"));
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_EQ(Save(p, *record, &error, &warnings), S_OK) << error;
    const auto iptc = ExifTool(p, "-IPTC:City -IPTC:Country-PrimaryLocationCode");
    EXPECT_EQ(iptc.at("[IPTC]          City"), "Llanfairpwllgwyngyllgogerychw\xC5\xB7r");
    EXPECT_EQ(iptc.at("[IPTC]          Country-PrimaryLocationCode"), "GBR");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0], "Country code is longer than the 3 bytes IPTC allows: stored as \"GBR\"");
    EXPECT_EQ(warnings[1].rfind("City is longer than the 32 bytes IPTC allows", 0), 0u) << warnings[1];
}

TEST_F(StoredForm, AWipeRemovesTheXmpLocationStructures)
{
    const fs::path p = CopyWith("gps/DSCN0010.jpg",
                                "-XMP-iptcExt:LocationCreatedCity=Arezzo -XMP-iptcExt:LocationCreatedGPSLatitude=43.46 "
                                "-XMP-iptcExt:LocationShownCity=Siena -XMP-iptcExt:LocationShownGPSLongitude=11.3");
    EXPECT_EQ(ExifTool(p, "-XMP-iptcExt:all").size(), 4u);
    CGPSMetadataInfo wiped;
    ASSERT_EQ(Save(p, wiped), S_OK);
    EXPECT_TRUE(ExifTool(p, "-XMP-iptcExt:all").empty());
    EXPECT_EQ(ExifTool(p, "-XMP-microsoft:all").count("[XMP-microsoft] RatingPercent"), 1u);  // not a location
}

class CommaLocale : public StoredForm, public testing::WithParamInterface<const char*> {};

// The window runs under the user's locale: the XMP mirror must still say 43.46..., not 43,28,04....
TEST_P(CommaLocale, TheXmpMirrorIsWrittenWithAFullStop)
{
    const fs::path p =
        CopyWith("gps/DSCN0010.jpg", "-XMP-exif:GPSLatitude=43.4674483333333 -XMP-exif:GPSAltitude=10");
    LocaleScope locale(GetParam());
    ASSERT_TRUE(locale.Active()) << GetParam() << " is not generated (scripts/setup)";
    auto record = Read(p);
    ASSERT_TRUE(record->Latitude);
    CGPSMetadataInfo::DecimalToCoordinate(record->Latitude, 43.4678115, 'N', 'S');
    record->SetSignedAltitude(8848.86);
    ASSERT_EQ(Save(p, *record), S_OK);
    const auto xmp = ExifTool(p, "-XMP-exif:GPSLatitude -XMP-exif:GPSAltitude");
    EXPECT_TRUE(SameValue(xmp.at("[XMP-exif]      GPSLatitude"), "43.4678115")) << xmp.at("[XMP-exif]      GPSLatitude");
    EXPECT_EQ(xmp.at("[XMP-exif]      GPSAltitude"), "8848.86");
    EXPECT_EQ(Gps(p).at("[GPS]           GPSAltitude"), "8848.86");
}

INSTANTIATE_TEST_SUITE_P(Locales, CommaLocale, testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(0, 5);
                         });

}  // namespace
