// Orders the document's rows by one column of the metadata table. Pictures
// without the value (or without a record) sort together before the others
// when ascending and after them when descending.
#pragma once

#include <vector>

class CCorvaneDoc;

namespace MetadataRowSorter {

// Reorders doc.RowOrder() by `column` (1 to 14); column 0 leaves it alone.
void SortRows(CCorvaneDoc& doc, int column, bool ascending);

}  // namespace MetadataRowSorter
