// The two steps of one replacement, shared by the single write and the
// batch: staging (the complete new content in a temporary file beside the
// file it replaces) and finishing (the checks that must hold at the moment
// of replacing, then the rename or the copy through hard links).
#pragma once

#include <string>
#include <string_view>

#include "AtomicFileWriter.h"
#include "HResult.h"
#include "LockedSource.h"
#include "ReplaceTarget.h"

struct StagedReplacement {
    std::string Target;    // as the caller named it; reports name it so
    ReplaceTarget Final;   // the regular file replaced, behind any link
    std::string Temp;      // the new content, complete; empty once placed or discarded
    bool InPlace = false;  // copied over the file, through its hard links
};

// Writes the content into a new temporary file for `target` (flushed to
// disk when `flush`), after the checks that refuse a target.
HRESULT StageReplacement(const std::string& target, const ContentWriter& write, bool flush, StagedReplacement& staged,
                         std::string* error);
// The writer of content held in memory (which must outlive the writer).
ContentWriter BytesWriter(std::string_view bytes);

// Puts the staged content in place: when `source` read this same file, only
// if it has not changed since. A refused or failed replacement removes the
// staged file (save a copy that holds the only complete new version).
HRESULT FinishReplacement(StagedReplacement& staged, const CLockedSource* source, std::string* error);

// Removes the staged file, if still there.
void DiscardReplacement(StagedReplacement& staged);

// Makes the renames in `folder` durable.
void SyncFolder(const std::string& folder);
