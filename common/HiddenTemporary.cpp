#include "HiddenTemporary.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kSuffixLength = 6;
constexpr size_t kNameMax = 255;  // NAME_MAX of the common Linux file systems
constexpr std::time_t kStaleAfterSeconds = 60 * 60;

bool IsSuffixCharacter(char c)
{
    return c != '\0' && std::strchr(kAlphabet, c) != nullptr;
}

// The target's name, cut (at a character boundary) so that the whole
// temporary name stays within the file system's limit.
std::string NamePart(const std::string& targetName, size_t room)
{
    if (targetName.size() <= room) return targetName;
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(targetName[cut]) & 0xC0) == 0x80) --cut;
    return targetName.substr(0, cut);
}

std::string RandomSuffix()
{
    unsigned char random[kSuffixLength];
    size_t got = 0;
    while (got < sizeof random) {
        const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    // Without the kernel's randomness the name is still unique enough: O_EXCL decides.
    for (size_t i = got; i < sizeof random; ++i) random[i] = static_cast<unsigned char>(std::rand());
    std::string suffix(kSuffixLength, 'X');
    for (size_t i = 0; i < kSuffixLength; ++i) suffix[i] = kAlphabet[random[i] % (sizeof kAlphabet - 1)];
    return suffix;
}

class Directory {
public:
    explicit Directory(const std::string& path)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && !(dir_ = ::fdopendir(fd))) ::close(fd);
    }
    ~Directory()
    {
        if (dir_) ::closedir(dir_);
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    DIR* Get() const { return dir_; }

private:
    DIR* dir_ = nullptr;
};

}  // namespace

std::string FolderOfPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOfPath(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int CreateHiddenTemporary(const std::string& folder, const std::string& program, const std::string& targetName,
                          unsigned mode, std::string& path)
{
    const std::string prefix = "." + program + "-";
    const size_t fixed = prefix.size() + 1 + kSuffixLength;
    const std::string name = prefix + NamePart(targetName, kNameMax > fixed ? kNameMax - fixed : 0) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = folder + "/" + name + RandomSuffix();
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            path = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

bool IsHiddenTemporaryName(const std::string& name, const std::string& program)
{
    const std::string prefix = "." + program + "-";
    // The prefix, a target name of at least one byte, "-" and the suffix.
    if (name.size() < prefix.size() + 2 + kSuffixLength || name.compare(0, prefix.size(), prefix) != 0) return false;
    const size_t dash = name.size() - kSuffixLength - 1;
    if (name[dash] != '-') return false;
    for (size_t i = dash + 1; i < name.size(); ++i)
        if (!IsSuffixCharacter(name[i])) return false;
    return true;
}

int RemoveTemporariesOlderThan(const std::string& folder, const std::string& program, std::time_t before)
{
    Directory dir(folder);
    if (!dir.Get()) return 0;
    const int dirFd = ::dirfd(dir.Get());
    const uid_t self = ::geteuid();
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.Get())) {
        if (!IsHiddenTemporaryName(entry->d_name, program)) continue;
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != self || st.st_mtime >= before) continue;
        if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
    }
    return removed;
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& program)
{
    static std::mutex mutex;
    static std::set<std::string> done;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!done.insert(program + '\0' + folder).second) return;
    }
    RemoveTemporariesOlderThan(folder, program, std::time(nullptr) - kStaleAfterSeconds);
}
