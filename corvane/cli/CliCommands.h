// The verbs of corvane-cli. Each returns the process exit status: 0 when
// every file succeeded, 1 when some failed (named on stderr with the reason).
#pragma once

#include <string>
#include <vector>

#include "AtomicFileWriter.h"
#include "CliOptions.h"
#include "LockedSource.h"

int RunShow(const CliOptions& options);
int RunSetOrClear(const CliOptions& options);
// Exit status 2, changing nothing, when the last input is not a file the
// table may replace.
int RunExportCsv(const CliOptions& options);

// Replaces the staged targets; says of each on standard output that it was
// saved, or on standard error why it failed. True when none failed.
bool CommitBatch(CAtomicFileBatch& batch, std::vector<std::string>& staged);

// Opens and locks a picture for its edit. A lock another run holds is
// waited for only while this run holds none (its staged files committed):
// two runs each holding what the other waits for would wait for ever.
HRESULT LockForEdit(const std::string& path, CAtomicFileBatch& batch, std::vector<std::string>& staged, bool& ok,
                    std::unique_ptr<CLockedSource>& source, std::string& error);
