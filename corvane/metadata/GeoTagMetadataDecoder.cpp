#include "GeoTagMetadataDecoder.h"

#include <cctype>
#include <cmath>
#include <algorithm>
#include <cstring>

#include "StringUtil.h"

#include "XmpGeoTagMirror.h"

using namespace GeoTagPaths;

namespace {

std::shared_ptr<MetadataBlock> OpenBlock(const std::shared_ptr<const MetadataBlock>& root, const char* path)
{
    return root && path ? root->GetBlock(path) : nullptr;
}

bool IsRational(const MetadataValue& v)
{
    return v.Type() == ValueType::URational || v.Type() == ValueType::URationalVector;
}

bool IsSignedRational(const MetadataValue& v)
{
    return v.Type() == ValueType::SRational || v.Type() == ValueType::SRationalVector;
}

char OppositeHemisphere(char ref)
{
    switch (ref) {
    case 'N': return 'S';
    case 'S': return 'N';
    case 'E': return 'W';
    case 'W': return 'E';
    case 'n': return 's';
    case 's': return 'n';
    case 'e': return 'w';
    case 'w': return 'e';
    default: return ref;
    }
}

bool IsUnsigned(const MetadataValue& v)
{
    switch (v.Type()) {
    case ValueType::UInt8:
    case ValueType::UInt8Vector:
    case ValueType::UInt16:
    case ValueType::UInt16Vector:
    case ValueType::UInt32:
    case ValueType::UInt32Vector: return v.Count() > 0;
    default: return false;
    }
}

// Some cameras store byte tags as "undefined"; their bytes are the numbers.
std::uint64_t FirstNumber(const MetadataValue& v)
{
    if (v.Type() == ValueType::Blob) return v.Bytes().empty() ? 0 : static_cast<unsigned char>(v.Bytes()[0]);
    return v.Number(0);
}

}  // namespace

CGeoTagMetadataDecoder::CGeoTagMetadataDecoder(std::shared_ptr<const MetadataBlock> root, PictureFormat format)
    : format_(format), root_(std::move(root))
{
    if (format_ != PictureFormatJpeg && format_ != PictureFormatTiff) return;
    gps_ = OpenBlock(root_, GpsRoot(format_));
    exif_ = OpenBlock(root_, ExifRoot(format_));
    iptc_ = OpenBlock(root_, IptcRoot(format_));
    xmp_ = OpenBlock(root_, XmpRoot(format_));
}

HRESULT CGeoTagMetadataDecoder::ReadValue(const std::shared_ptr<MetadataBlock>& block, const std::string& path,
                                          MetadataValue& value) const
{
    if (!block) return E_ABORT;
    return block->GetMetadataByName(path, value);
}

HRESULT CGeoTagMetadataDecoder::ReadAscii(const std::shared_ptr<MetadataBlock>& block, const std::string& path,
                                          std::string& text) const
{
    MetadataValue v;
    const HRESULT hr = ReadValue(block, path, v);
    if (FAILED(hr)) return hr;
    if (v.Type() != ValueType::Ascii) return E_FAIL;
    text = v.Bytes();
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadChar(const std::string& path, char*& target) const
{
    std::string text;
    const HRESULT hr = ReadAscii(gps_, path, text);
    if (FAILED(hr)) return hr;
    if (text.empty()) return E_FAIL;
    SetField(target, text[0]);
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadRationals(const std::shared_ptr<MetadataBlock>& block, const std::string& path,
                                              double* values, int count, int& read, bool allowSigned) const
{
    MetadataValue v;
    const HRESULT hr = ReadValue(block, path, v);
    if (FAILED(hr)) return hr;
    const bool isSigned = allowSigned && IsSignedRational(v);
    if ((!IsRational(v) && !isSigned) || v.Count() == 0) return E_FAIL;
    // A vector shorter than expected gives what it holds; the rest stay 0.
    read = static_cast<int>(std::min<size_t>(v.Count(), static_cast<size_t>(count)));
    for (int i = 0; i < count; ++i) {
        if (i >= read)
            values[i] = 0.0;
        else
            values[i] = isSigned ? MetadataValue::SignedRationalToDouble(v.Number(i))
                                 : MetadataValue::RationalToDouble(v.Number(i));
    }
    return S_OK;
}

int CGeoTagMetadataDecoder::SplitNumbers(const std::string& text, const char* separators, int* numbers, int count,
                                         bool separatorRuns)
{
    int found = 0;
    size_t pos = 0;
    for (int i = 0; i < count; ++i) numbers[i] = 0;
    while (found < count && pos < text.size()) {
        const size_t end = text.find_first_of(separators, pos);
        const std::string token = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (token.empty()) break;
        // Leading decimal digits, after any blanks (space-padded dates); none gives 0.
        size_t k = 0;
        while (k < token.size() && token[k] == ' ') ++k;
        long n = 0;
        for (; k < token.size() && std::isdigit(static_cast<unsigned char>(token[k])) && n < 100000000; ++k)
            n = n * 10 + (token[k] - '0');
        numbers[found++] = static_cast<int>(n);
        if (end == std::string::npos) break;
        pos = separatorRuns ? text.find_first_not_of(separators, end) : end + 1;
        if (pos == std::string::npos) break;
    }
    return found;
}

HRESULT CGeoTagMetadataDecoder::ReadDateTaken(AutomationDate*& dateTaken)
{
    std::string text;
    const HRESULT hr = ReadAscii(exif_, DateTimeOriginal, text);
    if (FAILED(hr)) return hr;
    int n[6];
    SplitNumbers(text, ": ", n, 6, true);
    SetField(dateTaken, AutomationDate::FromParts(n[0], n[1], n[2], n[3], n[4], n[5]));
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadGPSVersion(GPSVersionValue*& version)
{
    MetadataValue v;
    const HRESULT hr = ReadValue(gps_, GPSVersionID, v);
    if (FAILED(hr)) return hr;
    GPSVersionValue parts{};
    if (v.Type() == ValueType::Blob) {
        for (size_t i = 0; i < 4 && i < v.Bytes().size(); ++i) parts[i] = static_cast<unsigned char>(v.Bytes()[i]);
    } else if (IsUnsigned(v)) {
        for (size_t i = 0; i < 4 && i < v.Count(); ++i) parts[i] = static_cast<std::uint16_t>(v.Number(i) & 0xFF);
    } else {
        return E_FAIL;
    }
    SetField(version, parts);
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadCoordinate(const std::string& valuePath, const std::string& refPath,
                                               GPSCoordinate*& target)
{
    double dms[3];
    int read = 0;
    HRESULT hr = ReadRationals(gps_, valuePath, dms, 3, read, true);
    if (FAILED(hr)) return hr;
    std::string ref;
    hr = ReadAscii(gps_, refPath, ref);
    if (FAILED(hr)) return hr;
    if (ref.empty()) return E_FAIL;
    // Some phones store signed rationals: a minus sign turns the hemisphere.
    const bool negative = dms[0] < 0 || dms[1] < 0 || dms[2] < 0;
    SetField(target, GPSCoordinate{std::fabs(dms[0]), std::fabs(dms[1]), std::fabs(dms[2]),
                                   negative ? OppositeHemisphere(ref[0]) : ref[0]});
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadAltitude(double*& altitude, std::uint8_t*& altitudeRef)
{
    double value;
    int read = 0;
    const HRESULT hr = ReadRationals(gps_, GPSAltitude, &value, 1, read);
    if (FAILED(hr)) return hr;
    MetadataValue ref;
    if (SUCCEEDED(ReadValue(gps_, GPSAltitudeRef, ref)) && (IsUnsigned(ref) || ref.Type() == ValueType::Blob)) {
        const auto r = static_cast<std::uint8_t>(FirstNumber(ref));
        if (r != 0) value = -value;
        SetField(altitudeRef, r);
    }
    SetField(altitude, value);
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadGPSTime(GPSTimeValue*& time)
{
    MetadataValue v;
    const HRESULT hr = ReadValue(gps_, GPSTimeStamp, v);
    if (FAILED(hr)) return hr;
    if (!IsRational(v) || v.Count() == 0) return E_FAIL;
    GPSTimeValue parts{};
    for (size_t i = 0; i < 3 && i < v.Count(); ++i) {
        const std::uint32_t den = MetadataValue::Denominator(v.Number(i));
        if (den == 0) return E_FAIL;  // nothing usable: the field stays as it was
        parts[i] = MetadataValue::Numerator(v.Number(i)) / den;
    }
    SetField(time, parts);
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadSatellites(std::wstring*& satellites)
{
    std::string text;
    const HRESULT hr = ReadAscii(gps_, GPSSatellites, text);
    if (SUCCEEDED(hr)) SetField(satellites, Utf8OrLatin1ToWide(text));
    return hr;
}

HRESULT CGeoTagMetadataDecoder::ReadStatus(char*& status)
{
    return ReadChar(GPSStatus, status);
}

HRESULT CGeoTagMetadataDecoder::ReadMeasureMode(char*& mode)
{
    return ReadChar(GPSMeasureMode, mode);
}

HRESULT CGeoTagMetadataDecoder::ReadDOP(double*& dop, std::wstring*& rating)
{
    double value;
    int read = 0;
    const HRESULT hr = ReadRationals(gps_, GPSDOP, &value, 1, read);
    if (FAILED(hr)) return hr;
    if (!rating) rating = new std::wstring;
    const std::wstring word = CGPSMetadataInfo::RateDOP(value);
    if (!word.empty()) *rating = word;
    SetField(dop, value);
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadRationalWithRef(const char* valuePath, const char* refPath, double*& value,
                                                    char*& ref)
{
    double v;
    int read = 0;
    const HRESULT hr = ReadRationals(gps_, valuePath, &v, 1, read);
    if (FAILED(hr)) return hr;
    SetField(value, v);
    ReadChar(refPath, ref);  // the value stands even without its reference
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadSpeed(double*& speed, char*& ref)
{
    return ReadRationalWithRef(GPSSpeed, GPSSpeedRef, speed, ref);
}

HRESULT CGeoTagMetadataDecoder::ReadTrack(double*& track, char*& ref)
{
    return ReadRationalWithRef(GPSTrack, GPSTrackRef, track, ref);
}

HRESULT CGeoTagMetadataDecoder::ReadImgDirection(double*& direction, char*& ref)
{
    return ReadRationalWithRef(GPSImgDirection, GPSImgDirectionRef, direction, ref);
}

HRESULT CGeoTagMetadataDecoder::ReadMapDatum(std::wstring*& datum)
{
    std::string text;
    const HRESULT hr = ReadAscii(gps_, GPSMapDatum, text);
    if (SUCCEEDED(hr)) SetField(datum, Utf8OrLatin1ToWide(text));
    return hr;
}

HRESULT CGeoTagMetadataDecoder::ReadGPSDate(GPSDateValue*& date)
{
    std::string text;
    const HRESULT hr = ReadAscii(gps_, GPSDateStamp, text);
    if (FAILED(hr)) return hr;
    // An empty or blank stamp holds no date (some cameras write one when they had no fix).
    if (text.find_first_of("0123456789") == std::string::npos) return E_FAIL;
    int n[3];
    SplitNumbers(text, ":", n, 3, false);
    SetField(date, GPSDateValue{static_cast<std::uint16_t>(n[0]), static_cast<std::uint16_t>(n[1]),
                                static_cast<std::uint16_t>(n[2])});
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadDifferential(std::uint8_t*& differential)
{
    MetadataValue v;
    const HRESULT hr = ReadValue(gps_, GPSDifferential, v);
    if (FAILED(hr)) return hr;
    if (!IsUnsigned(v)) return E_FAIL;
    SetField(differential, static_cast<std::uint8_t>(v.Number(0) != 0 ? 1 : 0));
    return S_OK;
}

HRESULT CGeoTagMetadataDecoder::ReadHPositioningError(double*& error)
{
    double v;
    int read = 0;
    const HRESULT hr = ReadRationals(gps_, GPSHPositioningError, &v, 1, read);
    if (SUCCEEDED(hr)) SetField(error, v);
    return hr;
}

HRESULT CGeoTagMetadataDecoder::ReadIPTCLocation(CGPSMetadataInfo& record)
{
    if (!iptc_) return E_ABORT;
    const std::pair<const char*, std::wstring**> fields[] = {
        {IptcCountryCode, &record.CountryCode}, {IptcSubLocation, &record.SubLocation}, {IptcCity, &record.City},
        {IptcProvinceState, &record.ProvinceState}, {IptcCountryName, &record.CountryName}};
    for (const auto& f : fields) {
        MetadataValue v;
        if (SUCCEEDED(iptc_->GetMetadataByName(f.first, v)) && v.Type() == ValueType::WideText)
            SetField(*f.second, v.Text());
    }
    return S_OK;
}

void CGeoTagMetadataDecoder::Decode(CGPSMetadataInfo& r)
{
    ReadSatellites(r.Satellites);
    ReadStatus(r.Status);
    ReadMeasureMode(r.MeasureMode);
    ReadSpeed(r.Speed, r.SpeedRef);
    ReadTrack(r.Track, r.TrackRef);
    ReadDifferential(r.Differential);
    ReadHPositioningError(r.HPositioningError);
    ReadDateTaken(r.DateTaken);
    ReadGPSVersion(r.GPSVersion);
    ReadCoordinate(GPSLatitude, GPSLatitudeRef, r.Latitude);
    ReadCoordinate(GPSLongitude, GPSLongitudeRef, r.Longitude);
    ReadAltitude(r.Altitude, r.AltitudeRef);
    ReadGPSTime(r.GPSTime);
    ReadDOP(r.DOP, r.PrecisionRating);
    ReadImgDirection(r.ImgDirection, r.ImgDirectionRef);
    ReadMapDatum(r.MapDatum);
    ReadGPSDate(r.GPSDate);
    ReadIPTCLocation(r);
    if (xmp_) CXmpGeoTagMirror::FillMissing(*xmp_, r);
}

bool CGeoTagMetadataDecoder::HasGPSCoordinates(const std::shared_ptr<const MetadataBlock>& root, PictureFormat format)
{
    const auto gps = OpenBlock(root, GpsRoot(format));
    MetadataValue v;
    if (gps && SUCCEEDED(gps->GetMetadataByName(GPSLatitude, v)) &&
        SUCCEEDED(gps->GetMetadataByName(GPSLongitude, v)) && SUCCEEDED(gps->GetMetadataByName(GPSLatitudeRef, v)) &&
        SUCCEEDED(gps->GetMetadataByName(GPSLongitudeRef, v)))
        return true;
    const auto xmp = OpenBlock(root, XmpRoot(format));
    return xmp && CXmpGeoTagMirror::HasCoordinates(*xmp);
}
