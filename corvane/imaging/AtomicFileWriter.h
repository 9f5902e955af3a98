// Replaces files in one step. The new content goes to a hidden temporary
// file beside the target (".corvane-NAME-XXXXXX"), is flushed to disk and
// is renamed over the target. The old file is never deleted first; on any
// failure the target is left as it was and no temporary file remains.
// Temporary files that a killed run left in a folder are removed by the
// next write into it, once they are an hour old.
//
// What is replaced is the regular file the target names: a symbolic link
// stays a link and the file it points at gets the new content. Refused,
// with the target untouched: anything but a regular file ("not a regular
// file"); a file this process may not write ("read-only"), even where the
// folder would allow replacing it; a file whose owner, group, ACLs or
// extended attributes the new file could not keep. The new file keeps the
// old one's mode. A new version made from a CLockedSource of the same file
// replaces it only if the file is still as it was read ("changed by another
// program since it was read"). A file with other hard links is split, the
// other names keeping the old content, unless the settings below ask to
// write through the links.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HResult.h"
#include "LockedSource.h"

// Fills a new temporary file through its descriptor; false with `error` set
// on failure. Lets large content be copied file to file, never held whole.
using ContentWriter = std::function<bool(int fd, std::string* error)>;

HRESULT WriteFileAtomically(const std::string& target, std::string_view bytes, std::string* error,
                            const CLockedSource* source = nullptr);
HRESULT WriteFileAtomically(const std::string& target, const ContentWriter& write, std::string* error,
                            const CLockedSource* source = nullptr);

// Replaces many files, each in one step, with one flush to disk for all of
// them: every new content is staged in a temporary file beside its target,
// Commit flushes the file systems once and then renames each temporary file
// over its target. Until a file is renamed its target is untouched; staged
// files that are never committed are removed. The source a content was made
// from stays locked until its file is replaced.
class CAtomicFileBatch {
public:
    struct Failure {
        std::string Target;
        std::string Error;
    };

    CAtomicFileBatch();
    ~CAtomicFileBatch();
    CAtomicFileBatch(const CAtomicFileBatch&) = delete;
    CAtomicFileBatch& operator=(const CAtomicFileBatch&) = delete;

    // When the disk is full, commits what is staged (replacing old versions
    // frees their space) and tries once more; Commit reports those too.
    HRESULT Stage(const std::string& target, std::string_view bytes, std::string* error,
                  std::shared_ptr<const CLockedSource> source = nullptr);
    // Stages content written through `write`; `size` counts towards Full().
    HRESULT Stage(const std::string& target, const ContentWriter& write, std::uint64_t size, std::string* error,
                  std::shared_ptr<const CLockedSource> source = nullptr);
    // Flushes and renames everything staged; returns the targets staged
    // since the last Commit that could not be replaced.
    std::vector<Failure> Commit();

    size_t StagedCount() const { return staged_.size(); }
    size_t StagedBytes() const { return stagedBytes_; }
    // True when enough is staged that committing now bounds the disk space the batch holds.
    bool Full() const { return staged_.size() >= 256 || stagedBytes_ >= (size_t{512} << 20); }

private:
    struct Staged;
    void Replace(std::vector<Failure>& failures);
    void Discard();

    std::vector<std::unique_ptr<Staged>> staged_;
    std::vector<Failure> failures_;  // of commits made while staging
    size_t stagedBytes_ = 0;
};

// True for the status of a write that failed for want of disk space.
bool IsDiskFull(HRESULT status);

// How this process replaces files; set once, by the program, before it saves.
struct ReplaceSettings {
    // Write a hard-linked file in place, through all its names, instead of
    // splitting it: the new content is first written and flushed beside it,
    // then copied over the file.
    bool KeepHardLinks = false;
    // Told of each file whose hard links a replacement split.
    std::function<void(const std::string& target, nlink_t otherNames)> OnLinksSplit;
};
void SetReplaceSettings(ReplaceSettings settings);

// For tests: called with the file's path just before a replacement checks
// that the file is still the one read, to change the file at that moment.
void SetBeforeReplaceHook(std::function<void(const std::string& path)> hook);

// Reads a whole regular file (never blocking on a FIFO or device); false
// with `error` set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error);
// True when `path` opens as a regular file (a link: the file it points at),
// checked without blocking; for readers that open the file by name after.
bool IsOpenableRegularFile(const std::string& path, std::string* error);
