// The file an export writes is named last on the command line, so a
// forgotten file name makes the last picture the target: a picture (by name
// or by content), a folder, a special file or an existing file of another
// kind is refused; --force replaces any regular file.
#pragma once

#include <string>

struct TargetRefusal {
    std::string Reason;  // empty when the file may be written
    bool Forceable = true;
};

// Whether an existing file (its name and first 4 KB) is of the kind the
// export writes, so that writing it again replaces nothing else.
using ExportKindTest = bool (*)(const std::string& name, const std::string& head);

// `kind` names the kind in the refusal ("CSV": "exists and is not a CSV file").
TargetRefusal ExportTargetRefusal(const std::string& path, bool force, ExportKindTest ownKind, const char* kind);
// The file name ends with `extension` (".csv"), compared without regard to case.
bool HasExtension(const std::string& name, const wchar_t* extension);
