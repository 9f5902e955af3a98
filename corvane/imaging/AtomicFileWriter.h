// Replaces a file in one step: the new content goes to a temporary file
// ("TFR" prefix) in the target's folder, is flushed to disk, and is renamed
// over the target. The old file is never deleted first; on any failure the
// target is left as it was and no temporary file remains.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "HResult.h"

// Fills a new temporary file through its descriptor; false with `error` set
// on failure. Lets large content be copied file to file, never held whole.
using ContentWriter = std::function<bool(int fd, std::string* error)>;

HRESULT WriteFileAtomically(const std::string& target, std::string_view bytes, std::string* error);
HRESULT WriteFileAtomically(const std::string& target, const ContentWriter& write, std::string* error);

// Replaces many files, each in one step, with one flush to disk for all of
// them: every new content is staged in a temporary file beside its target,
// Commit flushes the file systems once and then renames each temporary file
// over its target. Until a file is renamed its target is untouched; staged
// files that are never committed are removed.
class CAtomicFileBatch {
public:
    struct Failure {
        std::string Target;
        std::string Error;
    };

    CAtomicFileBatch() = default;
    ~CAtomicFileBatch();
    CAtomicFileBatch(const CAtomicFileBatch&) = delete;
    CAtomicFileBatch& operator=(const CAtomicFileBatch&) = delete;

    HRESULT Stage(const std::string& target, std::string_view bytes, std::string* error);
    // Stages content written through `write`; `size` counts towards Full().
    HRESULT Stage(const std::string& target, const ContentWriter& write, std::uint64_t size, std::string* error);
    // Flushes and renames everything staged; returns the targets that could not be replaced.
    std::vector<Failure> Commit();

    size_t StagedCount() const { return staged_.size(); }
    size_t StagedBytes() const { return stagedBytes_; }
    // True when enough is staged that committing now bounds the disk space the batch holds.
    bool Full() const { return staged_.size() >= 256 || stagedBytes_ >= (size_t{512} << 20); }

private:
    struct Staged {
        std::string Temp, Target;
    };
    void Discard();

    std::vector<Staged> staged_;
    size_t stagedBytes_ = 0;
};

// Reads a whole file; false with `error` set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error);
