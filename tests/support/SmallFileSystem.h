// A small tmpfs mounted for one test, to fill it: a full disk met part way
// through a save. Mounting needs root (CAP_SYS_ADMIN); a test that cannot
// mount fails with the reason instead of passing unseen. Header only.
#pragma once

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace testsupport {

class CSmallFileSystem {
public:
    CSmallFileSystem(const std::filesystem::path& where, const std::string& size) : where_(where)
    {
        std::filesystem::create_directories(where);
        if (::mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, ("size=" + size + ",mode=0755").c_str()) == 0)
            mounted_ = true;
        else
            error_ = "cannot mount a tmpfs at " + where.string() + " (tests of a full disk need root): " +
                     std::strerror(errno);
    }
    ~CSmallFileSystem()
    {
        if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
    }
    CSmallFileSystem(const CSmallFileSystem&) = delete;
    CSmallFileSystem& operator=(const CSmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Error() const { return error_; }

    // Fills it with `filler` until about `leave` bytes are free; false when it cannot.
    bool FillLeaving(const std::string& filler, long long leave) const
    {
        struct statvfs fs;
        if (::statvfs(where_.c_str(), &fs) != 0) return false;
        const long long grow = static_cast<long long>(fs.f_bavail) * static_cast<long long>(fs.f_frsize) - leave;
        if (grow <= 0) return true;
        const std::string path = (where_ / filler).string();
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        struct stat st;
        const bool grown = ::fstat(fd, &st) == 0 && ::posix_fallocate(fd, st.st_size, grow) == 0;
        ::close(fd);
        return grown;
    }

private:
    std::filesystem::path where_;
    bool mounted_ = false;
    std::string error_;
};

}  // namespace testsupport
