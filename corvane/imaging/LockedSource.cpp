#include "LockedSource.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "Interruption.h"
#include "ReplaceTarget.h"
#include "UniqueFd.h"

namespace {

// Another Corvane process holds a picture from its read to the end of its
// batch; a lock held far longer than that belongs to a process that is stuck.
constexpr auto kLongestWait = std::chrono::minutes(5);
constexpr int kMaxReopens = 100;

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

HRESULT Unreadable(std::string* error, int code)
{
    if (error) *error = std::string("unreadable: ") + std::strerror(code);
    return static_cast<HRESULT>(0x80070000u | (static_cast<unsigned>(code) & 0xFFFFu));
}

// Takes the lock on `fd`, waiting (polling, so that a stop request or the
// time limit ends the wait) when `wait` allows.
HRESULT Lock(int fd, LockWait wait, std::string* error)
{
    const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return S_OK;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return Unreadable(error, errno);
        if (wait == LockWait::No) {
            if (error) *error = "locked by another program";
            return E_SOURCE_LOCKED;
        }
        if (InterruptSignal()) {
            if (error) *error = "not saved: stopped while waiting for another program to release it";
            return E_ABORT;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            if (error) *error = "locked by another program for more than 5 minutes; not saved";
            return E_SOURCE_LOCKED;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
}

}  // namespace

FileIdentity FileIdentity::Of(const struct stat& s)
{
    FileIdentity id;
    id.Device = s.st_dev;
    id.Inode = s.st_ino;
    id.Size = s.st_size;
    id.Modified = s.st_mtim;
    id.Changed = s.st_ctim;
    return id;
}

bool FileIdentity::IsSameFile(const struct stat& s) const
{
    return Device == s.st_dev && Inode == s.st_ino;
}

bool FileIdentity::IsUnchanged(const struct stat& s) const
{
    return IsSameFile(s) && Size == s.st_size && SameTime(Modified, s.st_mtim) && SameTime(Changed, s.st_ctim);
}

CLockedSource::CLockedSource(std::string path, int fd, const FileIdentity& identity)
    : path_(std::move(path)), fd_(fd), identity_(identity)
{
}

HRESULT CLockedSource::Open(const std::string& path, LockWait wait, std::unique_ptr<CLockedSource>& source,
                            std::string* error)
{
    for (int attempt = 0; attempt < kMaxReopens; ++attempt) {
        ReplaceTarget target;
        HRESULT hr = ResolveReplaceTarget(path, target, error);
        if (FAILED(hr)) {
            if (hr != E_NOT_REGULAR_FILE && error) *error = "unreadable: " + *error;
            return hr;
        }
        if (!target.Exists) return Unreadable(error, ENOENT);
        // Never blocks, not even on a FIFO put in its place since.
        CUniqueFd fd(::open(target.Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
        if (fd.Get() < 0) {
            if (errno == ELOOP) continue;  // became a link since: follow it again
            return Unreadable(error, errno);
        }
        struct stat opened;
        if (::fstat(fd.Get(), &opened) != 0) return Unreadable(error, errno);
        if (!S_ISREG(opened.st_mode)) {
            if (error) *error = "not a regular file";
            return E_NOT_REGULAR_FILE;
        }
        if (FAILED(hr = Lock(fd.Get(), wait, error))) return hr;
        // While we waited, the holder may have replaced the file: that
        // newer file is the one to edit.
        struct stat now;
        if (::lstat(target.Path.c_str(), &now) != 0 || ::fstat(fd.Get(), &opened) != 0 ||
            !FileIdentity::Of(opened).IsSameFile(now))
            continue;
        source.reset(new CLockedSource(target.Path, fd.Release(), FileIdentity::Of(opened)));
        return S_OK;
    }
    if (error) *error = "unreadable: it is being replaced again and again";
    return E_FAIL;
}

bool CLockedSource::ReadAll(std::string& bytes, std::string* error) const
{
    return ReadOpenFile(fd_.Get(), identity_.Size, bytes, error);
}

bool ReadOpenFile(int fd, off_t size, std::string& bytes, std::string* error)
{
    bytes.resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, &bytes[done], bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (error) *error = std::string("unreadable: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return true;
}
