#include "StampText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

#include "GeoTagMetadataParser.h"
#include "StringUtil.h"

namespace {

const wchar_t kDegree = L'\u00B0';
// The options sheet offers 0 to 8 decimals; more than this is no longer a number a stamp should show.
constexpr int kMaxDecimals = 15;

// printf's "%.Nf" without the locale: a picture stamped in Germany reads the same as one stamped in Britain.
std::wstring Fixed(double value, int decimals)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) return L"";
    return std::wstring(buffer, result.ptr);
}

std::wstring Whole(double value) { return std::to_wstring(static_cast<long long>(std::trunc(value))); }

void Join(std::wstring& text, const std::wstring& item)
{
    if (!text.empty()) text += L", ";
    text += item;
}

// The decoder's reads hand back owned raw values; these hold them.
template <typename T>
struct Owned {
    T* Value = nullptr;
    ~Owned() { delete Value; }
};

// The keys of one stamp kind, in the order of their items.
enum FactKey { Coordinates, Altitude, DateTaken, Direction, Precision, FactCount };
const char* const kGPSKeys[FactCount] = {"GPSStampngIncGPSCoord", "GPSStampngIncAlt", "GPSStampngIncDateTaken",
                                          "GPSStampngIncImgDirc", "GPSStampngIncMeasPrec"};
const char* const kAddressKeys[FactCount] = {"AddrStampngIncGPSCoord", "AddrStampngIncAlt",
                                              "AddrStampngIncDateTaken", "AddrStampngIncImgDirc",
                                              "AddrStampngIncMeasPrec"};

}  // namespace

std::wstring CStampTextComposer::FormatCoordinate(const GPSCoordinate& c, bool isLatitude, bool withLabel) const
{
    std::wstring text = withLabel ? (isLatitude ? L"Lat " : L"Long ") : L"";
    const int decimals = std::clamp(ReadIntSetting(settings_, "GPSDecimalPlaces"), 0, kMaxDecimals);
    const std::wstring format = settings_.GetString("GPSFormat", L"DD");
    std::wstring ref = c.Ref ? std::wstring(1, static_cast<wchar_t>(static_cast<unsigned char>(c.Ref))) : L"";
    if (format == L"DD")
        text += Fixed(c.Degrees + c.Minutes / 60 + c.Seconds / 3600, decimals) + kDegree + L" " + ref;
    else if (format == L"DDM")
        text += Whole(c.Degrees) + kDegree + L" " + Fixed(c.Minutes + c.Seconds / 60, decimals) + L"' " + ref;
    else if (format == L"DMS")
        text += Whole(c.Degrees) + kDegree + L" " + Whole(c.Minutes) + L"' " + Fixed(c.Seconds, decimals) + L"\" " + ref;
    return text;
}

std::wstring CStampTextComposer::FormatAltitudeValue(double metres) const
{
    const std::wstring unit = ReadStringSetting(settings_, "AltUnit");
    double shown = metres;
    std::wstring unitText;
    if (unit == L"M") {
        unitText = L"m";
    } else if (unit == L"FT") {
        shown = metres * 3.28;
        unitText = L"ft.";
    } else if (unit == L"KM") {
        shown = metres / 1000;
        unitText = L"km";
    }
    return L"Elev. " + Fixed(shown, 2) + L" " + unitText;
}

std::wstring CStampTextComposer::FormatAltitude(CGeoTagMetadataDecoder& decoder) const
{
    Owned<double> altitude;
    Owned<std::uint8_t> ref;
    if (FAILED(decoder.ReadAltitude(altitude.Value, ref.Value)) || !altitude.Value) return L"";
    return FormatAltitudeValue(*altitude.Value);
}

std::wstring CStampTextComposer::FormatDateValue(const AutomationDate& date, bool withLabel) const
{
    if (date.DateStatus != AutomationDate::Valid && date.DateStatus != AutomationDate::Invalid) return L"";
    const std::wstring style = ReadStringSetting(settings_, "DateTime");
    std::wstring text;
    if (style == L"DateTime")
        text = date.FormatW("%#d-%b-%Y %#I:%M:%S %p");
    else if (style == L"Date")
        text = date.FormatW("%#d-%b-%Y");
    return withLabel ? L"Date " + text : text;
}

std::wstring CStampTextComposer::FormatDateTaken(CGeoTagMetadataDecoder& decoder, bool withLabel) const
{
    Owned<AutomationDate> date;
    if (FAILED(decoder.ReadDateTaken(date.Value)) || !date.Value) return L"";
    return FormatDateValue(*date.Value, withLabel);
}

std::wstring CStampTextComposer::FormatDirectionValue(double d)
{
    struct Sector {
        double Upper;  // inclusive, except the last row's 360
        const wchar_t* Name;
        const wchar_t* From;  // "N" or "S"
        const wchar_t* Towards;
        int Mode;  // angle shown: 0 d, 1 180 - d, 2 d - 180, 3 360 - d
    };
    static const Sector kSectors[] = {
        {20, L"North", L"N", L"E", 0},       {70, L"North-East", L"N", L"E", 0}, {90, L"East", L"N", L"E", 0},
        {110, L"East", L"S", L"E", 1},       {160, L"South-East", L"S", L"E", 1}, {180, L"South", L"S", L"E", 1},
        {200, L"South", L"S", L"W", 2},      {250, L"South-West", L"S", L"W", 2}, {270, L"West", L"S", L"W", 2},
        {290, L"West", L"N", L"W", 3},       {340, L"North-West", L"N", L"W", 3}, {360, L"North", L"N", L"W", 3},
    };
    std::wstring text = L"Looking ";
    if (d >= 360) d -= 360;
    if (!(d >= 0) || d >= 360) return text;  // negative, still 360 or more, or not a number
    for (const Sector& s : kSectors) {
        if (d > s.Upper || (s.Upper == 360 && d == 360)) continue;
        const double shown = s.Mode == 0 ? d : s.Mode == 1 ? 180 - d : s.Mode == 2 ? d - 180 : 360 - d;
        return text + s.Name + L" (" + s.From + Fixed(shown, 1) + kDegree + s.Towards + L")";
    }
    return text;
}

std::wstring CStampTextComposer::FormatDirection(CGeoTagMetadataDecoder& decoder) const
{
    Owned<double> direction;
    Owned<char> ref;
    if (FAILED(decoder.ReadImgDirection(direction.Value, ref.Value)) || !direction.Value) return L"";
    return FormatDirectionValue(*direction.Value);
}

std::wstring CStampTextComposer::ComposeGPSFacts(CGeoTagMetadataDecoder& decoder, const char* const* keys,
                                                 bool labels, std::wstring text) const
{
    auto included = [&](FactKey key) { return ReadIntSetting(settings_, keys[key]) == 1; };
    if (included(Coordinates)) {
        Owned<GPSCoordinate> latitude, longitude;
        if (SUCCEEDED(decoder.ReadCoordinate(GeoTagPaths::GPSLatitude, GeoTagPaths::GPSLatitudeRef, latitude.Value)) &&
            latitude.Value)
            Join(text, FormatCoordinate(*latitude.Value, true, labels));
        if (SUCCEEDED(decoder.ReadCoordinate(GeoTagPaths::GPSLongitude, GeoTagPaths::GPSLongitudeRef,
                                             longitude.Value)) &&
            longitude.Value)
            Join(text, FormatCoordinate(*longitude.Value, false, labels));
    }
    if (included(Altitude)) {
        const std::wstring item = FormatAltitude(decoder);
        if (!item.empty()) Join(text, item);
    }
    if (included(DateTaken)) {
        const std::wstring item = FormatDateTaken(decoder, labels);
        if (!item.empty()) Join(text, item);
    }
    if (included(Direction)) {
        const std::wstring item = FormatDirection(decoder);
        if (!item.empty()) Join(text, item);
    }
    if (included(Precision)) {
        Owned<double> dop;
        Owned<std::wstring> rating;
        if (SUCCEEDED(decoder.ReadDOP(dop.Value, rating.Value)) && dop.Value)
            Join(text, (labels ? L"GPS Accu. " : L"Accuracy ") + CGPSMetadataInfo::RateDOP(*dop.Value));
    }
    return text;
}

std::wstring CStampTextComposer::ComposeGPSStampText(CGeoTagMetadataDecoder& decoder) const
{
    return ComposeGPSFacts(decoder, kGPSKeys, true, std::wstring());
}

std::wstring CStampTextComposer::ComposeAddressStampText(CGeoTagMetadataDecoder& decoder,
                                                         const CGPSMetadataInfo& record) const
{
    std::wstring text;
    bool first = true;
    // A present field takes part even when empty: it then adds only its separator.
    for (const std::wstring* field : {record.SubLocation, record.City, record.ProvinceState, record.CountryName}) {
        if (!field) continue;
        if (!first) text += L", ";
        text += *field;
        first = false;
    }
    return ComposeGPSFacts(decoder, kAddressKeys, false, std::move(text));
}
