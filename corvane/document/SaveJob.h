// One picture's write taken out of the document, so that it can run on a
// worker thread while the window goes on: what the write reads is copied in
// (the stamps stay where they are: nothing changes the document while its
// run lasts), and what the write finds is kept for the document to take on
// its own thread. The write itself is the save path's: locks, the check that
// the picture is the one read, the atomic replace.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HResult.h"
#include "PictureItem.h"
#include "StampedSave.h"

// Makes the thumbnail of a picture file; null when it cannot.
using ThumbnailMaker = std::function<std::shared_ptr<const CBitmap>(const std::string& path)>;
// Writes a picture whose stamps are pending (decode, draw, encode, carry the metadata).
using StampedSaver = std::function<HRESULT(const std::string& source, const std::string& target,
                                           const CGPSMetadataInfo& record,
                                           const std::vector<PendingOperation*>& stamps, std::string* error,
                                           const StampedSaveOptions& options, std::vector<std::string>* warnings)>;

struct SaveJob {
    // What the write needs.
    bool Ready = false;  // set by the document when there is something to write
    int Index = -1;
    std::string Source, Target;
    std::unique_ptr<CGPSMetadataInfo> Record;
    std::vector<PendingOperation*> Stamps;
    StampedSaveOptions Options;
    StampedSaver Saver;          // none: SaveStampedPicture
    ThumbnailMaker Thumbnails;   // none: the thumbnail is left as it is
    bool OverPicture = false;    // the picture's own file is replaced
    bool InShownFolder = false;  // the watcher will report the write

    // What the write found.
    HRESULT Result = E_FAIL;
    std::string Error;
    std::vector<std::string> Warnings;
    std::shared_ptr<const CBitmap> Thumbnail;   // of the file written over the picture
    std::unique_ptr<CGPSMetadataInfo> Reread;   // its record, read back

    // Writes the picture; touches nothing but the job and the files.
    void Write();
};
