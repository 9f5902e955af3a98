// The metadata table's texts without any toolkit: column titles, the text of
// each cell of a record, and the table as CSV. The metadata view and the
// command line show exactly these texts.
#pragma once

#include <string>
#include <vector>

#include "GPSMetadataInfo.h"

namespace MetadataTable {

constexpr int ColumnCount = GeoFieldCount;  // "#" and the 14 field columns

const wchar_t* ColumnTitle(int column);
// The text of one cell; a missing value is a single space. `rowNumber` is
// what column 0 shows (1 for the first row).
std::wstring CellText(const CGPSMetadataInfo* record, int column, int rowNumber, const std::wstring& pictureName);
// Fixed notation with `decimals` decimals, trailing zeros and point removed ("0" when nothing is left).
std::wstring FormatUpTo(double value, int decimals);

struct Row {
    std::wstring PictureName;
    const CGPSMetadataInfo* Record = nullptr;
};

// The CSV text of rows, numbered from 0: byte-order mark, the header line,
// one line per row, CR LF line ends, UTF-8. A cell holding the separator, a
// double quote or a line break is quoted (RFC 4180).
std::string ToCsv(const std::vector<Row>& rows, const std::wstring& separator);
// ";" where the user's locale writes decimals with a comma, else ",".
std::wstring LocaleListSeparator();

}  // namespace MetadataTable
