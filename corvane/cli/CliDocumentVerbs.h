// The verbs that run on the document, as the desktop program does: each
// folder of the given pictures is loaded into a document, the operation is
// applied to the given pictures, and the touched pictures are saved.
#pragma once

#include "CliOptions.h"

int RunGeocode(const CliOptions& options);
int RunExportCsv(const CliOptions& options);
int RunStamp(CliOptions options);
