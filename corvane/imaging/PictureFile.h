// A picture file opened for reading in pieces: its header, its tail, and
// ranges copied straight into another file. Nothing here holds a whole file
// in memory unless asked to (ReadAll). The file's identity (device, inode,
// size, modification and change times) is taken at opening; a copy refuses
// to read a file that has changed since.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>

class CPictureFile {
public:
    ~CPictureFile();
    CPictureFile(const CPictureFile&) = delete;
    CPictureFile& operator=(const CPictureFile&) = delete;

    // Null with `error` set ("unreadable: ...") when the path is not a readable regular file.
    static std::unique_ptr<CPictureFile> Open(const std::string& path, std::string* error);

    std::uint64_t Size() const { return static_cast<std::uint64_t>(identity_.st_size); }
    bool ReadAt(std::uint64_t offset, size_t count, std::string& out, std::string* error) const;
    bool ReadAll(std::string& out, std::string* error) const;
    // A JPEG's bytes up to and including its first SOS segment, read in
    // growing pieces; false when no scan starts within `limit` bytes.
    bool ReadJpegHeader(size_t limit, std::string& header) const;
    // The bytes of an AFCP trailer as its end record places it (at most
    // `limit` of them); false when the file does not end with one.
    bool ReadAfcpTrailer(std::uint64_t limit, std::string& tail) const;
    // Copies bytes [from, to) of the file to `out`, after checking that the
    // file is still the one opened.
    bool CopyRange(std::uint64_t from, std::uint64_t to, int out, std::string* error) const;

private:
    CPictureFile(int fd, const struct stat& identity) : fd_(fd), identity_(identity) {}
    bool Unchanged() const;

    int fd_;
    struct stat identity_;
};
