// What the document keeps per picture of the shown folder: its record
// history, the changes applied but not yet saved, and what undo needs.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GPSMetadataInfo.h"
#include "ImageOperation.h"

class CBitmap;

// One applied change of one picture: the operation, with the update entries
// of a metadata change or the text of a stamp.
struct PendingOperation {
    std::optional<std::wstring> Text;  // the title for title stamps; none for metadata changes
    std::vector<std::unique_ptr<UpdateEntry>> Updates;
    std::unique_ptr<CImageOperation> Operation;
    // A save wrote this change into a file (the picture's or a copy).
    bool Written = false;
    // A stamp a save drew into the picture's own file: it is in the pixels
    // every later save starts from, so it is never drawn again.
    bool InPicture = false;
};

// The operation and update entries of a metadata change for one picture.
struct MetadataChange {
    std::unique_ptr<CImageOperation> Operation;
    std::vector<std::unique_ptr<UpdateEntry>> Updates;
};

// A pixel operation for one picture, with its text.
struct PictureOperation {
    std::unique_ptr<CImageOperation> Operation;
    std::wstring Text;
};

struct PictureItem {
    std::string Path;                 // full path of the file (UTF-8)
    std::wstring Name;                // file name
    std::deque<std::unique_ptr<CGPSMetadataInfo>> History;      // as read first, then one version per change
    std::deque<std::unique_ptr<CGPSMetadataInfo>> RedoHistory;  // versions taken back by Undo, newest last
    std::shared_ptr<const CBitmap> Thumbnail;
    std::deque<PendingOperation> PendingOperations;  // oldest first
    std::deque<PendingOperation> UndoneOperations;   // newest last
    std::deque<std::vector<std::int32_t>> ChangedFieldLists;
    std::deque<std::vector<std::int32_t>> UndoneChangedFieldLists;
    bool Saved = true;
    // An undo or redo took back or brought back a change already written,
    // so the saved file no longer matches the record: the picture must be
    // saved again even when nothing is pending.
    bool RewriteNeeded = false;
    // Why the file's metadata could not be read; empty when it was.
    std::string ReadError;

    // The current record version, or null when the file could not be read.
    CGPSMetadataInfo* Current() const { return History.empty() ? nullptr : History.back().get(); }
};

// The item indices touched by one user action and the kind of the operation.
struct ChangeUnit {
    std::vector<int> Indices;
    int Kind = 0;
};

// The outcome of one metadata change, for the views: the items that changed
// and the fields changed in the first of them.
struct CMetadataManipulationUpdatePack {
    std::vector<int> Indices;
    std::vector<std::vector<std::int32_t>> ChangedFieldLists;
};
