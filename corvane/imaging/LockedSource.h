// A picture opened for a read-modify-replace. Two things make such an edit
// safe against other writers: an advisory lock on the file, held from the
// read until the new version has replaced it, so that two Corvane processes
// editing one file take turns; and the file's identity as read, which the
// replacement checks, so that a change by any other program between the
// read and the save is never overwritten with a stale copy.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "HResult.h"
#include "UniqueFd.h"

// What tells that a file is still the one that was read.
struct FileIdentity {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    static FileIdentity Of(const struct stat& status);
    bool IsSameFile(const struct stat& status) const;   // the same inode
    bool IsUnchanged(const struct stat& status) const;  // and not written since
};

enum class LockWait { No, Yes };

// Open with LockWait::No found the file locked by another process.
constexpr HRESULT E_SOURCE_LOCKED = static_cast<HRESULT>(0x8007000Bu);  // from EWOULDBLOCK

class CLockedSource {
public:
    ~CLockedSource() = default;  // closing the file releases the lock
    CLockedSource(const CLockedSource&) = delete;
    CLockedSource& operator=(const CLockedSource&) = delete;

    // Opens and locks the regular file `path` names (a symbolic link: the
    // file it points at). With LockWait::Yes it waits, within a bound, while
    // another process holds the lock; the wait ends early when the program
    // is asked to stop. A lock that another process takes must never be
    // waited for while this process holds others: two processes could each
    // wait for the other. Fails, with `error` set, on anything but a
    // regular file, and with E_SOURCE_LOCKED when it would have to wait.
    static HRESULT Open(const std::string& path, LockWait wait, std::unique_ptr<CLockedSource>& source,
                        std::string* error);

    // The regular file that was opened, behind any link.
    const std::string& Path() const { return path_; }
    const FileIdentity& Identity() const { return identity_; }
    // The whole file, read through the locked descriptor.
    bool ReadAll(std::string& bytes, std::string* error) const;

private:
    CLockedSource(std::string path, int fd, const FileIdentity& identity);

    std::string path_;
    CUniqueFd fd_;
    FileIdentity identity_;
};

// Reads a whole open file of `size` bytes from its start.
bool ReadOpenFile(int fd, off_t size, std::string& bytes, std::string* error);
