#include "AtomicFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "HiddenTemporary.h"
#include "ReplaceSteps.h"
#include "UniqueFd.h"
#include "XmlPullReader.h"

struct CAtomicFileBatch::Staged {
    StagedReplacement File;
    std::shared_ptr<const CLockedSource> Source;
    ~Staged() { DiscardReplacement(File); }
};

HRESULT WriteFileAtomically(const std::string& target, std::string_view bytes, std::string* error,
                            const CLockedSource* source)
{
    return WriteFileAtomically(target, BytesWriter(bytes), error, source);
}

HRESULT WriteFileAtomically(const std::string& target, const ContentWriter& write, std::string* error,
                            const CLockedSource* source)
{
    StagedReplacement staged;
    HRESULT hr = StageReplacement(target, write, true, staged, error);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = FinishReplacement(staged, source, error))) return hr;
    SyncFolder(FolderOfPath(staged.Final.Path));
    return S_OK;
}

bool IsDiskFull(HRESULT status)
{
    return status == HResultFromErrno(ENOSPC) || status == HResultFromErrno(EDQUOT);
}

CAtomicFileBatch::CAtomicFileBatch() = default;

CAtomicFileBatch::~CAtomicFileBatch()
{
    Discard();
}

void CAtomicFileBatch::Discard()
{
    staged_.clear();  // each removes its temporary file
    stagedBytes_ = 0;
}

HRESULT CAtomicFileBatch::Stage(const std::string& target, std::string_view bytes, std::string* error,
                                std::shared_ptr<const CLockedSource> source)
{
    return Stage(target, BytesWriter(bytes), bytes.size(), error, std::move(source));
}

HRESULT CAtomicFileBatch::Stage(const std::string& target, const ContentWriter& write, std::uint64_t size,
                                std::string* error, std::shared_ptr<const CLockedSource> source)
{
    auto staged = std::make_unique<Staged>();
    HRESULT hr = StageReplacement(target, write, false, staged->File, error);
    if (IsDiskFull(hr) && !staged_.empty()) {
        Replace(failures_);
        hr = StageReplacement(target, write, false, staged->File, error);
    }
    if (FAILED(hr)) return hr;
    staged->Source = std::move(source);
    staged_.push_back(std::move(staged));
    stagedBytes_ += static_cast<size_t>(size);
    return S_OK;
}

std::vector<CAtomicFileBatch::Failure> CAtomicFileBatch::Commit()
{
    std::vector<Failure> failures = std::move(failures_);
    failures_.clear();
    Replace(failures);
    return failures;
}

void CAtomicFileBatch::Replace(std::vector<Failure>& failures)
{
    // One flush per file system holding staged files.
    std::set<dev_t> flushed;
    for (const auto& s : staged_) {
        struct stat st;
        if (::stat(s->File.Temp.c_str(), &st) != 0 || flushed.count(st.st_dev)) continue;
        CUniqueFd fd(::open(s->File.Temp.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.Get() < 0 || ::syncfs(fd.Get()) != 0) {
            const std::string reason = std::string("write failed: ") + s->File.Target + ": " + std::strerror(errno);
            for (const auto& all : staged_) failures.push_back({all->File.Target, reason});
            Discard();
            return;
        }
        flushed.insert(st.st_dev);
    }
    std::set<std::string> folders;
    for (const auto& s : staged_) {
        std::string error;
        if (FAILED(FinishReplacement(s->File, s->Source.get(), &error)))
            failures.push_back({s->File.Target, error});
        else
            folders.insert(FolderOfPath(s->File.Final.Path));
    }
    Discard();  // and with the sources their locks, now that their files are replaced
    for (const auto& folder : folders) SyncFolder(folder);
}

namespace {

// Opens `path` for reading if it is a regular file; O_NONBLOCK, so that a
// FIFO does not wait for a writer before it is refused.
int OpenRegularFile(const std::string& path, struct stat& st, std::string* error)
{
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0) {
        if (error) *error = std::string("unreadable: ") + std::strerror(errno);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        if (error) *error = "not a regular file";
        return -1;
    }
    return fd.Release();
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error)
{
    struct stat st;
    CUniqueFd fd(OpenRegularFile(path, st, error));
    return fd.Get() >= 0 && ReadOpenFile(fd.Get(), st.st_size, bytes, error);
}

bool IsOpenableRegularFile(const std::string& path, std::string* error)
{
    struct stat st;
    return CUniqueFd(OpenRegularFile(path, st, error)).Get() >= 0;
}
