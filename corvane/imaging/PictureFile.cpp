#include "PictureFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "JpegSegments.h"

namespace {

bool Failed(std::string* error, const char* what)
{
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    return false;
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

CPictureFile::~CPictureFile()
{
    ::close(fd_);
}

std::unique_ptr<CPictureFile> CPictureFile::Open(const std::string& path, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        Failed(error, "unreadable");
        if (fd >= 0) ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error) *error = "unreadable: not a regular file";
        return nullptr;
    }
    return std::unique_ptr<CPictureFile>(new CPictureFile(fd, st));
}

bool CPictureFile::ReadAt(std::uint64_t offset, size_t count, std::string& out, std::string* error) const
{
    out.resize(count);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, &out[done], count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Failed(error, "unreadable");
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    out.resize(done);
    return true;
}

bool CPictureFile::ReadAll(std::string& out, std::string* error) const
{
    if (!Unchanged() || !ReadAt(0, static_cast<size_t>(Size()), out, error) || out.size() != Size()) {
        if (error && (error->empty() || error->rfind("unreadable", 0) != 0))
            *error = "refused: changed by another program since it was read";
        return false;
    }
    return true;
}

bool CPictureFile::ReadJpegHeader(size_t limit, std::string& header) const
{
    size_t want = static_cast<size_t>(std::min<std::uint64_t>({Size(), limit, 64 * 1024}));
    std::vector<JpegSegment> segments;
    for (;;) {
        if (!ReadAt(0, want, header, nullptr)) return false;
        const auto* data = reinterpret_cast<const std::uint8_t*>(header.data());
        ScanJpegSegments(data, header.size(), segments);
        if (!segments.empty() && segments.back().Marker == kJpegSos) {
            header.resize(segments.back().End());
            return true;
        }
        // Stopped before the data ran out: the structure is broken, more bytes will not help.
        const size_t reached = segments.empty() ? 2 : segments.back().End();
        if (header.size() < want || want >= limit || want >= Size() || reached + 4 + 65535 < header.size())
            return false;
        want = static_cast<size_t>(std::min<std::uint64_t>({Size(), limit, std::uint64_t{want} * 4}));
    }
}

bool CPictureFile::ReadAfcpTrailer(std::uint64_t limit, std::string& tail) const
{
    if (Size() < 24 || !ReadAt(Size() - 12, 12, tail, nullptr) || tail.size() != 12 || tail.compare(0, 3, "AXS") != 0)
        return false;
    const auto* p = reinterpret_cast<const std::uint8_t*>(tail.data() + 4);
    const std::uint64_t start = tail[3] == '!' ? (std::uint64_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3])
                                               : (std::uint64_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0]);
    if (start >= Size() || Size() - start > limit) return false;
    return ReadAt(start, static_cast<size_t>(Size() - start), tail, nullptr);
}

bool CPictureFile::Unchanged() const
{
    struct stat now;
    return ::fstat(fd_, &now) == 0 && now.st_dev == identity_.st_dev && now.st_ino == identity_.st_ino &&
           now.st_size == identity_.st_size && SameTime(now.st_mtim, identity_.st_mtim) &&
           SameTime(now.st_ctim, identity_.st_ctim);
}

bool CPictureFile::CopyRange(std::uint64_t from, std::uint64_t to, int out, std::string* error) const
{
    if (!Unchanged() || to > Size() || from > to) {
        if (error) *error = "refused: changed by another program since it was read";
        return false;
    }
    std::vector<char> buffer(std::min<std::uint64_t>(to - from, std::uint64_t{1} << 20));
    while (from < to) {
        const size_t want = static_cast<size_t>(std::min<std::uint64_t>(buffer.size(), to - from));
        const ssize_t n = ::pread(fd_, buffer.data(), want, static_cast<off_t>(from));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Failed(error, "unreadable");
        if (n == 0) {
            if (error) *error = "refused: changed by another program since it was read";
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return Failed(error, "write failed");
            done += w;
        }
        from += static_cast<std::uint64_t>(n);
    }
    return true;
}
