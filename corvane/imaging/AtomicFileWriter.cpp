#include "AtomicFileWriter.h"

#include <cerrno>
#include <set>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    int Close()
    {
        const int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};

// Removes the temporary file unless the rename took it.
class TemporaryPath {
public:
    explicit TemporaryPath(std::string path) : path_(std::move(path)) {}
    ~TemporaryPath()
    {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryPath(const TemporaryPath&) = delete;
    TemporaryPath& operator=(TemporaryPath&& other)
    {
        if (!path_.empty()) ::unlink(path_.c_str());
        path_ = std::move(other.path_);
        other.path_.clear();
        return *this;
    }
    const std::string& Get() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool Fail(std::string* error, const std::string& what)
{
    if (error) *error = "write failed: " + what + ": " + std::strerror(errno);
    return false;
}

bool WriteAll(int fd, std::string_view bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

mode_t ModeFor(const std::string& target)
{
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}


ContentWriter BytesWriter(std::string_view bytes, const std::string& target)
{
    return [bytes, target](int fd, std::string* error) { return WriteAll(fd, bytes) || Fail(error, target); };
}

// Writes the content to a new temporary file beside `target`; flushed when `flush`.
bool WriteTemporary(const std::string& target, const ContentWriter& write, bool flush, TemporaryPath& temp,
                    std::string* error)
{
    const std::string folder = FolderOf(target);
    std::string pattern = folder + "/TFRXXXXXX";
    FileDescriptor fd(::mkstemp(&pattern[0]));
    if (fd.Get() < 0) return Fail(error, "cannot create a temporary file in " + folder);
    temp = TemporaryPath(pattern);
    if (!write(fd.Get(), error)) return false;
    if (::fchmod(fd.Get(), ModeFor(target)) != 0) return Fail(error, target);
    // The data must be on disk before the name points at it.
    if (flush && ::fsync(fd.Get()) != 0) return Fail(error, target);
    if (fd.Close() != 0) return Fail(error, target);  // a failed close is a failed write
    return true;
}

void SyncFolder(const std::string& folder)
{
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());  // makes the renames themselves durable
}

}  // namespace

HRESULT WriteFileAtomically(const std::string& target, std::string_view bytes, std::string* error)
{
    return WriteFileAtomically(target, BytesWriter(bytes, target), error);
}

HRESULT WriteFileAtomically(const std::string& target, const ContentWriter& write, std::string* error)
{
    TemporaryPath temp("");
    if (!WriteTemporary(target, write, true, temp, error)) return E_FAIL;
    if (::rename(temp.Get().c_str(), target.c_str()) != 0) return Fail(error, target), E_FAIL;
    temp.Release();
    SyncFolder(FolderOf(target));
    return S_OK;
}

CAtomicFileBatch::~CAtomicFileBatch()
{
    Discard();
}

void CAtomicFileBatch::Discard()
{
    for (const auto& s : staged_) ::unlink(s.Temp.c_str());
    staged_.clear();
    stagedBytes_ = 0;
}

HRESULT CAtomicFileBatch::Stage(const std::string& target, std::string_view bytes, std::string* error)
{
    return Stage(target, BytesWriter(bytes, target), bytes.size(), error);
}

HRESULT CAtomicFileBatch::Stage(const std::string& target, const ContentWriter& write, std::uint64_t size,
                                std::string* error)
{
    TemporaryPath temp("");
    if (!WriteTemporary(target, write, false, temp, error)) return E_FAIL;
    staged_.push_back({temp.Get(), target});
    temp.Release();
    stagedBytes_ += static_cast<size_t>(size);
    return S_OK;
}

std::vector<CAtomicFileBatch::Failure> CAtomicFileBatch::Commit()
{
    std::vector<Failure> failures;
    // One flush per file system holding staged files.
    std::set<dev_t> flushed;
    for (const auto& s : staged_) {
        struct stat st;
        if (::stat(s.Temp.c_str(), &st) != 0 || flushed.count(st.st_dev)) continue;
        FileDescriptor fd(::open(s.Temp.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.Get() < 0 || ::syncfs(fd.Get()) != 0) {
            std::string error;
            Fail(&error, s.Target);
            for (const auto& all : staged_) failures.push_back({all.Target, error});
            Discard();
            return failures;
        }
        flushed.insert(st.st_dev);
    }
    std::set<std::string> folders;
    for (const auto& s : staged_) {
        if (::rename(s.Temp.c_str(), s.Target.c_str()) != 0) {
            std::string error;
            Fail(&error, s.Target);
            failures.push_back({s.Target, error});
            ::unlink(s.Temp.c_str());
        } else {
            folders.insert(FolderOf(s.Target));
        }
    }
    staged_.clear();
    stagedBytes_ = 0;
    for (const auto& folder : folders) SyncFolder(folder);
    return failures;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
        if (error) *error = std::string("unreadable: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error) *error = "unreadable: not a regular file";
        return false;
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.Get(), &bytes[done], bytes.size() - done);
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
