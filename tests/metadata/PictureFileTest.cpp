// Reading and saving real camera files, checked against exiftool, an
// independent reader.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <cmath>
#include <functional>
#include <map>
#include <sstream>

#include "GeoTagFile.h"
#include "GeoTagMetadataDecoder.h"
#include "MetadataTransferEngine.h"
#include "PictureMetadata.h"
#include "TestSupport.h"

namespace {

using namespace testsupport;

std::vector<fs::path> Pictures(const std::string& folder)
{
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(SamplesDir() / "pictures" / folder)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// "Group:Tag" -> value lines of exiftool's full listing.
std::map<std::string, std::string> ExifToolTags(const fs::path& file, const std::string& args = "-a -G1 -s -n")
{
    std::map<std::string, std::string> tags;
    std::istringstream out(RunCommand("exiftool " + args + " " + Quote(file) + " 2>/dev/null"));
    std::string line;
    while (std::getline(out, line)) {
        const size_t colon = line.find(" : ");
        if (colon == std::string::npos) continue;
        std::string key = line.substr(0, colon);
        key.erase(key.find_last_not_of(' ') + 1);
        std::string k = key;
        for (int n = 2; tags.count(k); ++n) k = key + "#" + std::to_string(n);
        tags[k] = line.substr(colon + 3);
    }
    return tags;
}

bool IsGeotagOrFile(const std::string& key)
{
    for (const char* prefix : {"[GPS]", "[Composite]", "[System]", "[File]", "[ExifTool]", "[IPTC]"})
        if (key.rfind(prefix, 0) == 0) return true;
    // exiv2 leaves this TIFF-only tag out of a JPEG's EXIF whenever it writes it.
    return key == "[IFD0]          PhotometricInterpretation";
}

// The tag name of an "exiftool -G1 -s" key.
std::string TagName(const std::string& key)
{
    const size_t end = key.find(']');
    std::string name = end == std::string::npos ? key : key.substr(end + 1);
    name.erase(0, name.find_first_not_of(' '));
    return name;
}

bool IsLocationTag(const std::string& name)
{
    for (const char* n : {"City", "State", "Country", "Location", "CountryCode", "Sub-location", "Province-State",
                          "Country-PrimaryLocationName", "Country-PrimaryLocationCode", "DateTimeOriginal"})
        if (name == n) return true;
    return name.rfind("GPS", 0) == 0;
}

double ExifToolNumber(const fs::path& file, const std::string& tag)
{
    const std::string out = RunCommand("exiftool -s3 -n -" + tag + " " + Quote(file));
    return out.empty() ? NAN : std::stod(out);
}

std::vector<std::uint32_t> TiffPixels(const fs::path& file)
{
    std::vector<std::uint32_t> pixels;
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    if (!tif) return pixels;
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    pixels.resize(static_cast<size_t>(w) * h);
    if (!TIFFReadRGBAImage(tif, w, h, pixels.data(), 0)) pixels.clear();
    TIFFClose(tif);
    return pixels;
}

CGPSMetadataInfo* ReadOrFail(const fs::path& p, std::unique_ptr<CGPSMetadataInfo>& holder)
{
    std::string error;
    holder = ReadGeoTag(p.string(), nullptr, &error);
    EXPECT_TRUE(holder) << p << ": " << error;
    return holder.get();
}

TEST(PictureFile, EverySampleReadsOrFailsCleanly)
{
    REQUIRE_SAMPLES();
    for (const char* folder : {"gps", "cameras", "tiff", "broken"}) {
        for (const auto& p : Pictures(folder)) {
            std::string error;
            PictureFormat format = PictureFormatOther;
            auto record = ReadGeoTag(p.string(), &format, &error);
            if (std::string(folder) != "broken") {
                EXPECT_TRUE(record) << p << ": " << error;
                EXPECT_EQ(format, std::string(folder) == "tiff" ? PictureFormatTiff : PictureFormatJpeg) << p;
            } else if (!record) {
                EXPECT_FALSE(error.empty()) << p;
            }
        }
    }
}

TEST(PictureFile, CoordinatesAgreeWithExifTool)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    auto files = Pictures("gps");
    for (const char* name : {"Kodak_CX7530.jpg", "iphone_hdr_YES.jpg"})
        files.push_back(SamplesDir() / "pictures/cameras" / name);
    for (const auto& p : files) {
        std::unique_ptr<CGPSMetadataInfo> r;
        ASSERT_TRUE(ReadOrFail(p, r));
        ASSERT_TRUE(r->Latitude && r->Longitude) << p;
        EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal(*r->Latitude), ExifToolNumber(p, "GPSLatitude"), 1e-9) << p;
        EXPECT_NEAR(CGPSMetadataInfo::CoordinateToDecimal(*r->Longitude), ExifToolNumber(p, "GPSLongitude"), 1e-9)
            << p;
    }
}

class SaveSample : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(SamplesDir().empty()) << "the test data is missing";
        ASSERT_TRUE(HaveTool("exiftool")) << "exiftool is not installed";
        source = SamplesDir() / "pictures" / GetParam();
        copy = dir.Copy(source);
    }
    TempDir dir;
    fs::path source, copy;
};

TEST_P(SaveSample, SetWritesTheStoredFormsAndKeepsEverythingElse)
{
    const auto before = ExifToolTags(copy);
    std::unique_ptr<CGPSMetadataInfo> r;
    ASSERT_TRUE(ReadOrFail(copy, r));
    CGPSMetadataInfo::DecimalToCoordinate(r->Latitude, 48.858844, 'N', 'S');
    CGPSMetadataInfo::DecimalToCoordinate(r->Longitude, -2.294351, 'E', 'W');
    r->SetSignedAltitude(35.25);
    SetField(r->City, std::wstring(L"Sèvres"));
    SetField(r->CountryName, std::wstring(L"東京"));
    std::string error;
    ASSERT_EQ(SaveGeoTag(copy.string(), copy.string(), *r, &error), S_OK) << error;

    // Set values keep the precision given: 48 deg 51 min 31.8384 s is stored as 48/1 51/1 318384/10000.
    EXPECT_NEAR(ExifToolNumber(copy, "GPSLatitude"), 48.858844, 1e-9);
    EXPECT_NEAR(ExifToolNumber(copy, "GPSLongitude"), -2.294351, 1e-9);
    EXPECT_NEAR(ExifToolNumber(copy, "GPSAltitude"), 35.25, 1e-9);
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTC:City -IPTC:Country-PrimaryLocationName " + Quote(copy)), "Sèvres\n東京\n");

    const auto after = ExifToolTags(copy);
    for (const auto& [key, value] : before) {
        if (IsGeotagOrFile(key) || key.find("GPS") != std::string::npos || key.find("IPTCDigest") != std::string::npos)
            continue;
        const auto it = after.find(key);
        ASSERT_NE(it, after.end()) << GetParam() << " lost " << key;
        if (key.find("Offset") == std::string::npos && key.find("ThumbnailImage") == std::string::npos) {
            EXPECT_EQ(it->second, value) << GetParam() << " " << key;
        }
    }
    const std::string original = ReadFile(source);
    if (original.compare(0, 2, "\xFF\xD8") == 0)
        EXPECT_EQ(JpegScanData(ReadFile(copy)), JpegScanData(original)) << "image data changed";
    else
        EXPECT_EQ(TiffPixels(copy), TiffPixels(source));
}

TEST_P(SaveSample, ClearAllLeavesNoLocationBehind)
{
    std::unique_ptr<CGPSMetadataInfo> r;
    ASSERT_TRUE(ReadOrFail(copy, r));
    const auto before = ExifToolTags(copy);
    CGPSMetadataInfo empty;
    std::string error;
    ASSERT_EQ(SaveGeoTag(copy.string(), copy.string(), empty, &error), S_OK) << error;
    for (const auto& [key, value] : ExifToolTags(copy, "-a -G1 -s -gps:all -xmp:all -iptc:all"))
        EXPECT_FALSE(IsLocationTag(TagName(key))) << GetParam() << " still has " << key << " " << value;
    const auto after = ExifToolTags(copy);
    for (const auto& [key, value] : before) {
        if (IsGeotagOrFile(key) || key.find("GPS") != std::string::npos || key.find("Date") != std::string::npos ||
            key.find("XMP") != std::string::npos || key.find("Offset") != std::string::npos)
            continue;
        EXPECT_TRUE(after.count(key)) << GetParam() << " lost " << key;
    }
    std::unique_ptr<CGPSMetadataInfo> back;
    ASSERT_TRUE(ReadOrFail(copy, back));
    EXPECT_EQ(back->Latitude, nullptr);
    EXPECT_EQ(back->DateTaken, nullptr);
    EXPECT_EQ(back->City, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Samples, SaveSample,
                         ::testing::Values("gps/DSCN0010.jpg", "cameras/Canon_40D.jpg", "cameras/iphone_hdr_YES.jpg",
                                           "cameras/Nikon_D70.jpg", "cameras/Pentax_K10D.jpg",
                                           "cameras/Canon_40D_photoshop_import.jpg", "cameras/BlueSquare.jpg",
                                           "cameras/no_exif.jpg", "tiff/BSG1.tiff", "tiff/Jobagent.tiff",
                                           "tiff/Picoawards.tiff"));

TEST(PictureFile, FullRecordRoundTrip)
{
    REQUIRE_SAMPLES();
    for (const char* name : {"gps/DSCN0010.jpg", "tiff/Arbitro.tiff"}) {
        TempDir dir;
        const fs::path copy = dir.Copy(SamplesDir() / "pictures" / name);
        CGPSMetadataInfo r;
        SetField(r.DateTaken, AutomationDate::FromParts(2013, 5, 7, 14, 3, 9));
        SetField(r.GPSVersion, GPSVersionValue{2, 3, 0, 0});
        SetField(r.Latitude, GPSCoordinate{48, 51, 24.123, 'N'});
        SetField(r.Longitude, GPSCoordinate{2, 17, 39.5, 'W'});
        r.SetSignedAltitude(-123.4);
        SetField(r.GPSTime, GPSTimeValue{14, 3, 9});
        SetField(r.Satellites, std::wstring(L"08"));
        SetField(r.Status, 'A');
        SetField(r.MeasureMode, '3');
        r.SetDOP(3.5);
        SetField(r.SpeedRef, 'K');
        SetField(r.Speed, 12.5);
        SetField(r.TrackRef, 'T');
        SetField(r.Track, 90.125);
        SetField(r.ImgDirectionRef, 'M');
        SetField(r.ImgDirection, 211.25);
        SetField(r.MapDatum, std::wstring(L"WGS-84"));
        SetField(r.GPSDate, GPSDateValue{2013, 5, 7});
        SetField(r.Differential, std::uint8_t{1});
        SetField(r.HPositioningError, 5.5);
        SetField(r.SubLocation, std::wstring(L"Tour Eiffel"));
        SetField(r.City, std::wstring(L"Zürich"));
        SetField(r.ProvinceState, std::wstring(L"Île-de-France"));
        SetField(r.CountryName, std::wstring(L"France"));
        SetField(r.CountryCode, std::wstring(L"FR"));
        std::string error;
        ASSERT_EQ(SaveGeoTag(copy.string(), copy.string(), r, &error), S_OK) << error;
        std::unique_ptr<CGPSMetadataInfo> b;
        ASSERT_TRUE(ReadOrFail(copy, b));
        EXPECT_EQ(*b->DateTaken, *r.DateTaken);
        EXPECT_EQ(*b->GPSVersion, *r.GPSVersion);
        EXPECT_NEAR(b->Latitude->Seconds, 24.123, 1e-9);
        EXPECT_EQ(b->Longitude->Ref, 'W');
        EXPECT_DOUBLE_EQ(*b->Altitude, -123.4);
        EXPECT_EQ(*b->AltitudeRef, 1);
        EXPECT_EQ(*b->GPSTime, *r.GPSTime);
        EXPECT_EQ(*b->Satellites, L"08");
        EXPECT_EQ(*b->Status, 'A');
        EXPECT_EQ(*b->MeasureMode, '3');
        EXPECT_EQ(*b->DOP, 3.5);
        EXPECT_EQ(*b->PrecisionRating, L"Good");
        EXPECT_EQ(*b->SpeedRef, 'K');
        EXPECT_EQ(*b->Speed, 12.5);
        EXPECT_EQ(*b->TrackRef, 'T');
        EXPECT_EQ(*b->Track, 90.125);
        EXPECT_EQ(*b->ImgDirectionRef, 'M');
        EXPECT_EQ(*b->ImgDirection, 211.25);
        EXPECT_EQ(*b->MapDatum, L"WGS-84");
        EXPECT_EQ(*b->GPSDate, *r.GPSDate);
        EXPECT_EQ(*b->Differential, 1);
        EXPECT_EQ(*b->HPositioningError, 5.5);
        EXPECT_EQ(*b->SubLocation, L"Tour Eiffel");
        EXPECT_EQ(*b->City, L"Zürich");
        EXPECT_EQ(*b->ProvinceState, L"Île-de-France");
        EXPECT_EQ(*b->CountryName, L"France");
        EXPECT_EQ(*b->CountryCode, L"FR");
    }
}

TEST(PictureFile, MatchingIptcDigestFollowsTheIptcStaleOneStays)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    REQUIRE_TOOL("exiv2");
    TempDir dir;
    const fs::path matching = dir.Copy(SamplesDir() / "pictures/cameras/BlueSquare.jpg");
    const fs::path stale = dir.Copy(SamplesDir() / "pictures/cameras/BlueSquare.jpg", "stale.jpg");
    // The exiv2 tool edits IPTC without touching the digest: the copy's digest goes stale.
    RunCommand("exiv2 -M'set Iptc.Application2.Keywords edited' mo " + Quote(stale));
    const std::string staleDigest = RunCommand("exiftool -s3 -IPTCDigest " + Quote(stale));
    ASSERT_NE(staleDigest, RunCommand("exiftool -s3 -CurrentIPTCDigest " + Quote(stale)));

    for (const fs::path& p : {matching, stale}) {
        std::unique_ptr<CGPSMetadataInfo> r;
        ASSERT_TRUE(ReadOrFail(p, r));
        SetField(r->City, std::wstring(L"Köln"));
        std::string error;
        ASSERT_EQ(SaveGeoTag(p.string(), p.string(), *r, &error), S_OK) << error;
    }
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTCDigest " + Quote(matching)), RunCommand("exiftool -s3 -CurrentIPTCDigest " + Quote(matching)));
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTCDigest " + Quote(stale)), staleDigest);
}

TEST(PictureFile, LatinOneIptcIsConvertedWhenUtf8IsWritten)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiv2");
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0012.jpg");
    // A caption in Latin-1 bytes with no character-set record.
    WriteFile(dir / "cmd.txt", "set Iptc.Application2.Caption String Caf\xE9\n");
    RunCommand("exiv2 -m " + Quote(dir / "cmd.txt") + " mo " + Quote(p));
    std::unique_ptr<CGPSMetadataInfo> r;
    ASSERT_TRUE(ReadOrFail(p, r));
    SetField(r->City, std::wstring(L"Sèvres"));
    std::string error;
    ASSERT_EQ(SaveGeoTag(p.string(), p.string(), *r, &error), S_OK) << error;
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTC:Caption-Abstract -IPTC:City " + Quote(p)), "Café\nSèvres\n");
}

TEST(PictureFile, FailedSaveLeavesTheOriginal)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0021.jpg");
    const std::string before = ReadFile(p);
    std::unique_ptr<CGPSMetadataInfo> r;
    ASSERT_TRUE(ReadOrFail(p, r));
    SetField(r->City, std::wstring(L"Nowhere"));
    std::string error;
    EXPECT_LT(SaveGeoTag(p.string(), (dir / "missing-folder/out.jpg").string(), *r, &error), 0);
    EXPECT_EQ(error.rfind("write failed", 0), 0u) << error;
    // Not a picture: a text file named .jpg.
    WriteFile(dir / "notes.jpg", "just text");
    EXPECT_LT(SaveGeoTag((dir / "notes.jpg").string(), (dir / "notes.jpg").string(), *r, &error), 0);
    EXPECT_EQ(ReadFile(dir / "notes.jpg"), "just text");
    // A picture cut short still reads, and saving it never loses the original.
    const fs::path cut = dir / "cut.jpg";
    WriteFile(cut, before.substr(0, 3000));
    auto partial = ReadGeoTag(cut.string(), nullptr, &error);
    if (partial && SUCCEEDED(SaveGeoTag(cut.string(), cut.string(), *r, &error)))
        EXPECT_FALSE(ReadFile(cut).empty());
    else
        EXPECT_EQ(ReadFile(cut), before.substr(0, 3000));
    EXPECT_EQ(ReadFile(p), before);
    for (const auto& e : fs::directory_iterator(dir.Path()))
        EXPECT_NE(e.path().filename().string().rfind(".corvane-", 0), 0u) << "temporary file left: " << e.path();
}

TEST(PictureFile, TiffWithGpsMadeHereClearsCleanly)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("tiffinfo");
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/tiff/Rudless.tiff");
    const auto pixels = TiffPixels(p);
    CGPSMetadataInfo r;
    SetField(r.Latitude, GPSCoordinate{10, 20, 30, 'N'});
    SetField(r.Longitude, GPSCoordinate{40, 50, 0, 'E'});
    std::string error;
    ASSERT_EQ(SaveGeoTag(p.string(), p.string(), r, &error), S_OK) << error;
    std::unique_ptr<CGPSMetadataInfo> b;
    ASSERT_TRUE(ReadOrFail(p, b));
    ASSERT_NE(b->Latitude, nullptr);
    ClearField(b->Latitude);
    ClearField(b->Longitude);
    ASSERT_EQ(SaveGeoTag(p.string(), p.string(), *b, &error), S_OK) << error;
    int status = -1;
    RunCommand("tiffinfo " + Quote(p) + " >/dev/null 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(TiffPixels(p), pixels);
    std::unique_ptr<CGPSMetadataInfo> c;
    ASSERT_TRUE(ReadOrFail(p, c));
    EXPECT_EQ(c->Latitude, nullptr);
}

}  // namespace

namespace {

// exiftool's listing of some tags of a file, lines about XMP namespaces aside.
std::string Tags(const fs::path& file, const std::string& which)
{
    std::istringstream in(RunCommand("exiftool -a -G1 -s -n " + which + " " + Quote(file) + " 2>/dev/null"));
    std::string kept, line;
    while (std::getline(in, line))
        if (line.find("xmlns") == std::string::npos) kept += line + "\n";
    return kept;
}

std::string ExifToolWarnings(const fs::path& file)
{
    return Tags(file, "-ExifTool:Warning");
}

HRESULT SaveWith(const fs::path& p, const std::function<void(CGPSMetadataInfo&)>& change, std::string* error)
{
    std::unique_ptr<CGPSMetadataInfo> r;
    if (!ReadOrFail(p, r)) return E_FAIL;
    change(*r);
    return SaveGeoTag(p.string(), p.string(), *r, error);
}

TEST(PictureFile, TiffIptcDatasetsAreWrittenOnce)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/made/arbitro-iptc-gps.tif");
    // A TIFF keeps its IPTC in IFD0 and in the Photoshop block: three saves
    // that change only the GPS block keep three keywords and one city.
    for (int round = 1; round <= 3; ++round) {
        std::string error;
        ASSERT_EQ(SaveWith(p, [&](CGPSMetadataInfo& r) { SetField(r.Latitude, GPSCoordinate{10.0 + round, 0, 0, 'N'}); },
                           &error),
                  S_OK)
            << error;
        EXPECT_EQ(RunCommand("exiftool -s3 -IPTC:Keywords -IPTC:City " + Quote(p)), "one, two, three\nZermatt\n")
            << "after save " << round;
    }
}

// Pictures whose image data cannot be kept byte for byte through a metadata
// write: refused with a reason, left exactly as they were.
class UnsafePicture : public ::testing::TestWithParam<const char*> {};

TEST_P(UnsafePicture, IsRefusedAndLeftAsItWas)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/made" / GetParam());
    const std::string before = ReadFile(p);
    CGPSMetadataInfo r;
    SetField(r.City, std::wstring(L"Nowhere"));
    SetField(r.Latitude, GPSCoordinate{1, 2, 3, 'N'});
    std::string error;
    EXPECT_LT(SaveGeoTag(p.string(), p.string(), r, &error), 0);
    EXPECT_EQ(error.rfind("refused: ", 0), 0u) << error;
    EXPECT_EQ(ReadFile(p), before);
    for (const auto& e : fs::directory_iterator(dir.Path())) EXPECT_EQ(e.path(), p) << "left behind: " << e.path();
}

INSTANTIATE_TEST_SUITE_P(Made, UnsafePicture,
                         ::testing::Values("jobagent-ifd0-count-ffff.tif", "arbitro-no-stripbytecounts.tif",
                                           "olympus-bad-app0-length.jpg", "olympus-dqt-marker-lost.jpg"));

// Maker notes keep offsets of their own: a geotag edit, one that grows the
// EXIF block included, must not move them.
class MakerNoteSample : public ::testing::TestWithParam<const char*> {};

TEST_P(MakerNoteSample, GeotagEditsLeaveTheMakerNoteAsItWas)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures" / GetParam());
    // The maker note's tags and exiftool's warnings, XMP namespace notes aside.
    const auto notes = [&p] { return Tags(p, "-MakerNotes:all -ExifTool:Warning"); };
    const std::string before = notes();
    ASSERT_GT(std::count(before.begin(), before.end(), '\n'), 10) << before;
    const std::function<void(CGPSMetadataInfo&)> edits[] = {
        [](CGPSMetadataInfo& r) { r.SetSignedAltitude(1234.5); },
        [](CGPSMetadataInfo& r) { SetField(r.City, std::wstring(L"Kyōto")); },
        [](CGPSMetadataInfo& r) { SetField(r.DateTaken, AutomationDate::FromParts(2001, 2, 3, 4, 5, 6)); },
        [](CGPSMetadataInfo& r) { ClearField(r.Latitude), ClearField(r.Longitude); },
    };
    for (const auto& edit : edits) {
        std::string error;
        ASSERT_EQ(SaveWith(p, edit, &error), S_OK) << error;
        EXPECT_EQ(notes(), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, MakerNoteSample,
                         ::testing::Values("gps/DSCN0010.jpg", "broken/11-tests.jpg", "broken/32-lens_data.jpeg",
                                           "cameras/Panasonic_DMC-FZ30.jpg"));

TEST(PictureFile, IptcDatasetsTheEditDidNotTouchKeepTheirStoredForm)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/made/olympus-iptc-time-without-zone.jpg");
    ASSERT_EQ(RunCommand("exiftool -s3 -IPTC:TimeCreated " + Quote(p)), "14:39:47\n");
    std::string error;
    ASSERT_EQ(SaveWith(p, [](CGPSMetadataInfo& r) { SetField(r.City, std::wstring(L"Ōsaka")); }, &error), S_OK) << error;
    // A time stored without a zone is not made UTC.
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTC:TimeCreated -IPTC:City -IPTC:Keywords " + Quote(p)),
              "14:39:47\nŌsaka\nkept\n");
}

TEST(PictureFile, RepeatedGeotagEditsReuseTheirSpaceAndLeaveNoOldPosition)
{
    REQUIRE_SAMPLES();
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/gps/DSCN0010.jpg");
    // 43/1 28/1 281400000/100000000, the latitude as the camera stored it.
    const std::string original = ReadFile(p);
    const bool big = original.find(std::string("Exif\0\0MM", 8)) != std::string::npos;
    std::string stored;
    for (std::uint32_t n : {43u, 1u, 28u, 1u, 281400000u, 100000000u})
        for (int i = 0; i < 4; ++i) stored += static_cast<char>(n >> (8 * (big ? 3 - i : i)) & 0xFF);
    ASSERT_NE(original.find(stored), std::string::npos);
    std::string error;
    ASSERT_EQ(SaveWith(p, [](CGPSMetadataInfo& r) { SetField(r.Latitude, GPSCoordinate{10, 0, 0, 'S'}); }, &error), S_OK)
        << error;
    EXPECT_EQ(ReadFile(p).find(stored), std::string::npos) << "the old latitude is still in the file";
    const auto size = fs::file_size(p);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(SaveWith(p, [&](CGPSMetadataInfo& r) { SetField(r.Latitude, GPSCoordinate{11.0 + i, 0, 0, 'S'}); },
                           &error),
                  S_OK)
            << error;
        EXPECT_EQ(fs::file_size(p), size);
    }
}

TEST(PictureFile, AddressKeptAfterTheImageIsReadMovedAndWiped)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    REQUIRE_TOOL("exiv2");
    TempDir dir;
    const fs::path p = dir.Copy(SamplesDir() / "pictures/made/olympus-afcp-trailer.jpg");
    std::unique_ptr<CGPSMetadataInfo> r;
    ASSERT_TRUE(ReadOrFail(p, r));
    ASSERT_TRUE(r->City && r->CountryCode);
    EXPECT_EQ(*r->City, L"Trailerton");
    EXPECT_EQ(*r->CountryCode, L"TRL");

    // An edit elsewhere moves the trailer along and leaves its address where it was.
    std::string error;
    ASSERT_EQ(SaveWith(p, [](CGPSMetadataInfo& x) { SetField(x.Latitude, GPSCoordinate{1, 2, 3, 'N'}); }, &error), S_OK)
        << error;
    EXPECT_EQ(ExifToolWarnings(p), "");
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTC2:City -AFCP:Text " + Quote(p)), "Trailerton\narchived copy\n");
    EXPECT_EQ(RunCommand("exiv2 -PIkv " + Quote(p) + " 2>/dev/null"), "");  // no copy in the picture's own IPTC

    // Clearing the city reaches that copy; clearing everything reaches the rest.
    ASSERT_EQ(SaveWith(p, [](CGPSMetadataInfo& x) { ClearField(x.City); }, &error), S_OK) << error;
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTC2:City -IPTC2:Province-State " + Quote(p)), "Tail County\n");
    CGPSMetadataInfo empty;
    ASSERT_EQ(SaveGeoTag(p.string(), p.string(), empty, &error), S_OK) << error;
    EXPECT_EQ(RunCommand("exiftool -s3 -IPTC2:all -AFCP:Text " + Quote(p)), "4\narchive\narchived copy\n");
    EXPECT_EQ(ExifToolWarnings(p), "");
}

// What a picture encoded anew receives from its original: blocks that did
// not change arrive as they were stored.
struct Carried {
    const char* Picture;
    const char* Tags;  // exiftool's selection of what must arrive unchanged
};

void PrintTo(const Carried& c, std::ostream* out)
{
    *out << c.Picture << " " << c.Tags;
}

class CarriedToNewEncoding : public ::testing::TestWithParam<Carried> {};

TEST_P(CarriedToNewEncoding, ArrivesAsStored)
{
    REQUIRE_SAMPLES();
    REQUIRE_TOOL("exiftool");
    TempDir dir;
    const fs::path source = SamplesDir() / "pictures" / GetParam().Picture;
    const fs::path bare = dir.Copy(source, "bare" + source.extension().string());
    RunCommand("exiftool -q -q -overwrite_original -all= " + Quote(bare) + " 2>/dev/null");
    ASSERT_EQ(Tags(bare, GetParam().Tags), "");
    std::string error;
    auto original = CPictureMetadata::OpenBytes(ReadFile(source), &error);
    auto fresh = CPictureMetadata::OpenBytes(ReadFile(bare), &error);
    ASSERT_TRUE(original && fresh) << error;
    const PictureFormat format = original->Format();
    auto target = std::make_shared<MetadataBlock>(format == PictureFormatJpeg ? ContainerFormat::JpegRoot
                                                                              : ContainerFormat::TiffRoot);
    ASSERT_EQ(TransferMetadata(original->Root(), target, format, format, nullptr, TransferPolicy::AllowList), S_OK);
    ASSERT_EQ(fresh->Commit(*target, &error), S_OK) << error;
    const fs::path out = dir / ("out" + source.extension().string());
    WriteFile(out, std::string(fresh->Bytes()));
    EXPECT_EQ(Tags(out, GetParam().Tags), Tags(source, GetParam().Tags));
}

INSTANTIATE_TEST_SUITE_P(Samples, CarriedToNewEncoding,
                         ::testing::Values(Carried{"broken/32-lens_data.jpeg", "-XMP:all"},  // XMP the library cannot parse
                                           Carried{"tiff/Arbitro.tiff", "-XMP:all"},          // a TIFF's packet
                                           Carried{"cameras/BlueSquare.jpg", "-Photoshop:all"}));

}  // namespace
