// The file a replacement really replaces, and what of it must survive. A
// replacement writes a new file and renames it over the old one; done
// naively that turns a symbolic link into a plain file, a device node or
// FIFO into a regular file, and another user's picture into ours without its
// extended attributes. These helpers find the file behind the links, refuse
// what must not be replaced, and give the new file what the old one had.
#pragma once

#include <sys/stat.h>

#include <string>

#include "HResult.h"

// What ResolveReplaceTarget found.
struct ReplaceTarget {
    std::string Path;     // the file to replace: `path` itself, or where its links lead
    bool Exists = false;  // false: a new file is created there
    struct stat Status {};  // of the existing file
};

// ResolveReplaceTarget's answer for a FIFO, device, socket or folder.
constexpr HRESULT E_NOT_REGULAR_FILE = static_cast<HRESULT>(0x80070013u);  // from ENODEV

// Follows `path` through symbolic links to the file a write must replace (a
// link stays a link; the file it points at is written). Fails for an
// existing file that is not a regular file (E_NOT_REGULAR_FILE, `error`
// "not a regular file"), and when the path cannot be followed (`error` says
// why, for the caller to put after what it was doing).
HRESULT ResolveReplaceTarget(const std::string& path, ReplaceTarget& target, std::string* error);

// True when this process may not write the file: its mode (or the file
// system) denies it. Root may write anything, so for root a file without
// any write permission bit counts as read-only, as it does for its owner.
bool IsReadOnlyFile(const std::string& path, const struct stat& status);

// Gives the new file `fd` the owner, group and extended attributes (ACLs
// among them) of `original`, whose status is `status`. False, with `error`
// saying what, when one of them cannot be kept: a user cannot give a file
// away, nor set every attribute. The mode is set afterwards (KeepModeOf):
// changing the owner clears set-user-ID bits.
bool KeepOwnerAndAttributes(const std::string& original, const struct stat& status, int fd, std::string* error);

// Gives `fd` the permission bits of `status` (set-ID and sticky bits too).
bool KeepModeOf(const struct stat& status, int fd, std::string* error);
