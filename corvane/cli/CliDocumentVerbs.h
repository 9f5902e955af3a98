// The verbs that run on the document, as the desktop program does: the named
// pictures of each folder are loaded into a document, the operation is
// applied to them, and the touched pictures are saved (or, with --dry-run,
// what each save would do is said).
#pragma once

#include "CliOptions.h"

int RunGeocode(const CliOptions& options);
int RunStamp(CliOptions options);
