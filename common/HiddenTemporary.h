// Temporary files that stand in for a file being replaced. They live beside
// their target (a rename cannot cross file systems), hidden by a leading dot
// and named so that a person and a later run both recognise them:
// ".PROGRAM-TARGETNAME-XXXXXX". A run that is killed cannot remove its own,
// so a later writer in the same folder removes those left an hour ago or more.
#pragma once

#include <ctime>
#include <string>

// Creates a new, empty ".PROGRAM-NAME-XXXXXX" in `folder` with `mode` (the
// umask applies) and opens it for writing. The descriptor (close-on-exec) and
// `path`, or -1 with errno set.
int CreateHiddenTemporary(const std::string& folder, const std::string& program, const std::string& targetName,
                          unsigned mode, std::string& path);

// True for a file name CreateHiddenTemporary gives for `program`.
bool IsHiddenTemporaryName(const std::string& name, const std::string& program);

// Removes the temporaries of `program` in `folder` that nothing is writing
// any more: regular files (never links or folders) with a matching name,
// owned by this user, last written before `before`. Returns how many went.
int RemoveTemporariesOlderThan(const std::string& folder, const std::string& program, std::time_t before);

// The same for those older than an hour, once per folder and process: a
// writer calls it before each write and pays for a folder listing only once.
void RemoveStaleTemporaries(const std::string& folder, const std::string& program);

// The folder part of a path ("." for a bare name).
std::string FolderOfPath(const std::string& path);
// The last component of a path.
std::string NameOfPath(const std::string& path);
