#include "MetadataTable.h"

#include <cmath>
#include <locale>

#include "StringUtil.h"
#include "TextNumber.h"

namespace MetadataTable {

namespace {

const wchar_t* const kTitles[ColumnCount] = {
    L"#",         L"Picture Name", L"Date Taken", L"Latitude", L"Longitude", L"Altitude", L"Image Direction",
    L"Measurement Precision", L"Map Datum", L"GPS Date", L"GPS Time", L"Location", L"City", L"State", L"Country"};

const std::wstring kMissing = L" ";

std::wstring TextOr(const std::wstring* s)
{
    return s ? *s : kMissing;
}

std::wstring Coordinate(const GPSCoordinate* c)
{
    if (!c) return kMissing;
    const double degrees = c->Degrees + c->Minutes / 60.0 + c->Seconds / 3600.0;
    std::wstring text = FormatUpTo(degrees, 12) + L" ";
    if (c->Ref) text += static_cast<wchar_t>(static_cast<unsigned char>(c->Ref));
    return text;
}

std::wstring Altitude(const CGPSMetadataInfo& r)
{
    if (!r.Altitude) return kMissing;
    // Without a reference the number's own sign says which side of the sea it is.
    const bool below = r.AltitudeRef ? *r.AltitudeRef != 0 : *r.Altitude < 0;
    return FormatUpTo(std::fabs(*r.Altitude), 2) + L" m " + (below ? L"Below Sea" : L"Above Sea");
}

std::wstring Direction(const CGPSMetadataInfo& r)
{
    if (!r.ImgDirection) return kMissing;
    const char ref = r.ImgDirectionRef ? *r.ImgDirectionRef : 'M';
    return FormatUpTo(*r.ImgDirection, 2) + L"\u00B0 " + static_cast<wchar_t>(static_cast<unsigned char>(ref));
}

// "a<sep>b<sep>c", each number at least `width` digits wide (zero-padded).
std::wstring Numbers(unsigned long a, unsigned long b, unsigned long c, wchar_t separator, size_t width)
{
    std::wstring text;
    for (unsigned long n : {a, b, c}) {
        if (!text.empty()) text += separator;
        const std::wstring digits = std::to_wstring(n);
        if (digits.size() < width) text.append(width - digits.size(), L'0');
        text += digits;
    }
    return text;
}

std::string CsvCell(const std::wstring& text, const std::wstring& separator)
{
    const bool quote = (!separator.empty() && text.find(separator) != std::wstring::npos) ||
                       text.find_first_of(L"\"\r\n") != std::wstring::npos;
    if (!quote) return WideToUtf8(text);
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"') quoted += L'"';
        quoted += c;
    }
    quoted += L'"';
    return WideToUtf8(quoted);
}

}  // namespace

const wchar_t* ColumnTitle(int column)
{
    return column >= 0 && column < ColumnCount ? kTitles[column] : L"";
}

std::wstring FormatUpTo(double value, int decimals)
{
    std::string text = FormatFixed(value, decimals);
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0') text.pop_back();
        if (!text.empty() && text.back() == '.') text.pop_back();
    }
    if (text.empty()) text = "0";
    return Utf8ToWide(text);
}

std::wstring CellText(const CGPSMetadataInfo* r, int column, int rowNumber, const std::wstring& pictureName)
{
    if (column == RowNumber) return std::to_wstring(rowNumber);
    if (column == PictureName) return pictureName;
    if (!r) return kMissing;
    switch (column) {
    case DateTakenField: return r->DateTaken ? r->DateTaken->FormatW("%#d-%B-%Y %#I:%M:%S %p") : kMissing;
    case LatitudeField: return Coordinate(r->Latitude);
    case LongitudeField: return Coordinate(r->Longitude);
    case AltitudeField: return Altitude(*r);
    case ImageDirectionField: return Direction(*r);
    case MeasurementPrecisionField: return TextOr(r->PrecisionRating);
    case MapDatumField: return TextOr(r->MapDatum);
    case GPSDateField:
        return r->GPSDate ? Numbers((*r->GPSDate)[1], (*r->GPSDate)[2], (*r->GPSDate)[0], L'/', 1) : kMissing;
    case GPSTimeField:
        // A clock time reads as one: 14:03:09, not 14:3:9.
        return r->GPSTime ? Numbers((*r->GPSTime)[0], (*r->GPSTime)[1], (*r->GPSTime)[2], L':', 2) : kMissing;
    case LocationField: return TextOr(r->SubLocation);
    case CityField: return TextOr(r->City);
    case StateField: return TextOr(r->ProvinceState);
    case CountryField: return TextOr(r->CountryName);
    default: return kMissing;
    }
}

std::string ToCsv(const std::vector<Row>& rows, const std::wstring& separator)
{
    const std::string sep = WideToUtf8(separator);
    std::string csv = "\xEF\xBB\xBF#";
    for (int column = 1; column < ColumnCount; ++column) csv += sep + CsvCell(kTitles[column], separator);
    csv += "\r\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        csv += std::to_string(i);
        for (int column = 1; column < ColumnCount; ++column)
            csv += sep + CsvCell(CellText(rows[i].Record, column, static_cast<int>(i) + 1, rows[i].PictureName),
                                 separator);
        csv += "\r\n";
    }
    return csv;
}

std::wstring LocaleListSeparator()
{
    try {
        const std::locale user("");
        return std::use_facet<std::numpunct<char>>(user).decimal_point() == ',' ? L";" : L",";
    } catch (const std::exception&) {
        return L",";  // no usable locale: the plain separator
    }
}

}  // namespace MetadataTable
