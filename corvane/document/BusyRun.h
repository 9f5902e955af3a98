// Marks the document busy for the length of a long run on a worker thread.
// What had to wait meanwhile (the watcher's changes, a folder to load) is
// posted again when the run ends, so that it is handled on the next turn.
#pragma once

#include "CorvaneDoc.h"

class CBusyRun {
public:
    explicit CBusyRun(CCorvaneDoc& doc) : doc_(doc) { doc_.busy_ = true; }
    ~CBusyRun()
    {
        doc_.busy_ = false;
        if (doc_.loadWaiting_) doc_.ui_.PostCommand(kCommandLoadFolder);
        if (doc_.folderChangesWaiting_) doc_.ui_.PostCommand(kCommandFolderChanged);
        doc_.loadWaiting_ = doc_.folderChangesWaiting_ = false;
    }
    CBusyRun(const CBusyRun&) = delete;
    CBusyRun& operator=(const CBusyRun&) = delete;

private:
    CCorvaneDoc& doc_;
};
