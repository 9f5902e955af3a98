// The verbs of corvane-cli. Each returns the process exit status: 0 when
// every file succeeded, 1 when some failed (named on stderr with the reason).
#pragma once

#include <string>
#include <vector>

#include "AtomicFileWriter.h"
#include "CliOptions.h"

int RunShow(const CliOptions& options);
int RunSetOrClear(const CliOptions& options);
// Exit status 2, changing nothing, when the last input is not a file the
// table may replace.
int RunExportCsv(const CliOptions& options);

// Replaces the staged targets; says of each on standard output that it was
// saved, or on standard error why it failed. True when none failed.
bool CommitBatch(CAtomicFileBatch& batch, std::vector<std::string>& staged);
