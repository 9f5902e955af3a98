#include "ReplaceSteps.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "AtomicFileWriter.h"
#include "HiddenTemporary.h"
#include "UniqueFd.h"
#include "XmlPullReader.h"

namespace {

const char* const kProgram = "corvane";
const char* const kChangedSinceRead = "changed by another program since it was read";
// The complete new version of a file being rewritten in place keeps this
// suffix while the copy runs: named so, a later run leaves it alone.
const char* const kRecoverySuffix = ".new";

ReplaceSettings settings;
std::function<void(const std::string&)> beforeReplaceHook;

HRESULT Fail(std::string* error, const std::string& what, int code = errno)
{
    if (error) *error = "write failed: " + what + ": " + std::strerror(code);
    return HResultFromErrno(code);
}

HRESULT Refuse(std::string* error, const std::string& text, HRESULT status)
{
    if (error) *error = text;
    return status;
}

bool WriteAll(int fd, const char* data, size_t size, off_t at)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Writes the temporary file's content (the carrier) over the file itself.
// False with errno set; `touched` says whether the file was written to.
bool CopyOver(int from, int to, bool& touched)
{
    struct stat st;
    if (::fstat(from, &st) != 0) return false;
    // Reserve the space first, so that a full disk refuses before a byte changes.
    if (st.st_size > 0 && ::fallocate(to, FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0 && errno != EOPNOTSUPP)
        return false;
    std::vector<char> buffer(1 << 20);
    off_t at = 0;
    for (;;) {
        const ssize_t n = ::pread(from, buffer.data(), buffer.size(), at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        touched = true;
        if (!WriteAll(to, buffer.data(), static_cast<size_t>(n), at)) return false;
        at += n;
    }
    return ::ftruncate(to, at) == 0 && ::fsync(to) == 0;
}

// Rewrites the file through its own inode, so every hard link sees the new
// content. The complete new version is on disk beside it first and stays
// there, under a name a person can find, should the copy not finish.
HRESULT CopyInPlace(StagedReplacement& staged, const struct stat& now, std::string* error)
{
    auto abandon = [&](HRESULT status) {
        DiscardReplacement(staged);
        return status;
    };
    const std::string recovery = staged.Temp + kRecoverySuffix;
    if (::rename(staged.Temp.c_str(), recovery.c_str()) != 0) return abandon(Fail(error, staged.Target));
    staged.Temp = recovery;
    CUniqueFd from(::open(recovery.c_str(), O_RDONLY | O_CLOEXEC));
    CUniqueFd to(::open(staged.Final.Path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened;
    if (from.Get() < 0 || to.Get() < 0 || ::fstat(to.Get(), &opened) != 0)
        return abandon(Fail(error, staged.Target));
    if (opened.st_dev != now.st_dev || opened.st_ino != now.st_ino)
        return abandon(Refuse(error, kChangedSinceRead, E_ABORT));
    bool touched = false;
    if (!CopyOver(from.Get(), to.Get(), touched) || to.Close() != 0) {
        const int code = errno;
        if (!touched) return abandon(Fail(error, staged.Target, code));
        staged.Temp.clear();  // now the only complete new version: it stays
        if (error)
            *error = std::string("write failed while rewriting it in place: ") + std::strerror(code) +
                     "; it may be damaged, and its complete new version is kept in " + recovery;
        return HResultFromErrno(code);
    }
    DiscardReplacement(staged);
    return S_OK;
}

bool ReadsThisFile(const CLockedSource* source, const StagedReplacement& staged, bool exists,
                   const struct stat& now)
{
    return source && (source->Path() == staged.Final.Path || (exists && source->Identity().IsSameFile(now)));
}

}  // namespace

void SetReplaceSettings(ReplaceSettings chosen)
{
    settings = std::move(chosen);
}

void SetBeforeReplaceHook(std::function<void(const std::string& path)> hook)
{
    beforeReplaceHook = std::move(hook);
}

ContentWriter BytesWriter(std::string_view bytes)
{
    return [bytes](int fd, std::string* error) {
        if (WriteAll(fd, bytes.data(), bytes.size(), 0)) return true;
        if (error) *error = std::strerror(errno);
        return false;
    };
}

HRESULT StageReplacement(const std::string& target, const ContentWriter& write, bool flush, StagedReplacement& staged,
                         std::string* error)
{
    staged.Target = target;
    HRESULT hr = ResolveReplaceTarget(target, staged.Final, error);
    if (FAILED(hr)) {
        if (hr != E_NOT_REGULAR_FILE && error) *error = "write failed: " + *error;
        return hr;
    }
    const ReplaceTarget& final = staged.Final;
    const std::string folder = FolderOfPath(final.Path);
    RemoveStaleTemporaries(folder, kProgram);
    if (final.Exists && IsReadOnlyFile(final.Path, final.Status))
        return Refuse(error, "read-only", HResultFromErrno(EACCES));
    staged.InPlace = final.Exists && final.Status.st_nlink > 1 && settings.KeepHardLinks;
    const bool keepAttributes = final.Exists && !staged.InPlace;
    // A new file gets the mode a new file gets; the new content of an
    // existing one stays private until it has the old file's owner and mode.
    std::string temp;
    CUniqueFd fd(CreateHiddenTemporary(folder, kProgram, NameOfPath(final.Path), final.Exists ? 0600 : 0666, temp));
    if (fd.Get() < 0) return Fail(error, "cannot create a temporary file in " + folder);
    staged.Temp = temp;
    auto abandon = [&](HRESULT status) {
        DiscardReplacement(staged);
        return status;
    };
    if (keepAttributes && !KeepOwnerAndAttributes(final.Path, final.Status, fd.Get(), error))
        return abandon(HResultFromErrno(EPERM));
    errno = 0;
    std::string writeError;
    if (!write(fd.Get(), &writeError)) {
        // The writer says what failed; errno still tells a full disk apart.
        const int code = errno ? errno : EIO;
        if (error) *error = writeError.rfind("write failed", 0) == 0 || writeError.rfind("refused", 0) == 0
                                ? writeError
                                : "write failed: " + target + ": " + writeError;
        return abandon(HResultFromErrno(code));
    }
    if (keepAttributes && !KeepModeOf(final.Status, fd.Get(), error)) return abandon(HResultFromErrno(EPERM));
    // The data must be on disk before a name points at it.
    if (flush && ::fsync(fd.Get()) != 0) return abandon(Fail(error, target));
    if (fd.Close() != 0) return abandon(Fail(error, target));  // a failed close is a failed write
    return S_OK;
}

HRESULT FinishReplacement(StagedReplacement& staged, const CLockedSource* source, std::string* error)
{
    if (beforeReplaceHook) beforeReplaceHook(staged.Final.Path);
    struct stat now;
    const bool exists = ::lstat(staged.Final.Path.c_str(), &now) == 0;
    HRESULT hr = S_OK;
    if (ReadsThisFile(source, staged, exists, now) && !(exists && source->Identity().IsUnchanged(now)))
        hr = Refuse(error, kChangedSinceRead, E_ABORT);
    else if (exists && !S_ISREG(now.st_mode))
        hr = Refuse(error, "not a regular file", E_NOT_REGULAR_FILE);
    else if (staged.InPlace && exists)
        return CopyInPlace(staged, now, error);
    else if (::rename(staged.Temp.c_str(), staged.Final.Path.c_str()) != 0)
        hr = Fail(error, staged.Target);
    if (FAILED(hr)) {
        DiscardReplacement(staged);
        return hr;
    }
    staged.Temp.clear();
    if (exists && now.st_nlink > 1 && settings.OnLinksSplit) settings.OnLinksSplit(staged.Target, now.st_nlink - 1);
    return S_OK;
}

void DiscardReplacement(StagedReplacement& staged)
{
    if (!staged.Temp.empty()) ::unlink(staged.Temp.c_str());
    staged.Temp.clear();
}

void SyncFolder(const std::string& folder)
{
    CUniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());  // makes the renames themselves durable
}
