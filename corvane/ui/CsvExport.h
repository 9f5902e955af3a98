// Writing the metadata table as a CSV file: the name rule (whatever
// extension the chosen name has becomes ".CSV") and the write itself, which
// replaces the file in one step.
#pragma once

#include <QString>
#include <string>

namespace CsvExport {

// The chosen name with its extension replaced by ".CSV" (appended when it has none).
QString CsvPath(const QString& chosen);
// Writes `bytes` to `path` through a temporary file; false (with `error`) when it fails.
bool WriteFile(const QString& path, const std::string& bytes, QString* error);

}  // namespace CsvExport
