#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "FuzzEntries.h"

const FuzzTarget kFuzzTargets[] = {
    {"picture_metadata", FuzzPictureMetadata}, {"jpeg_codec", FuzzJpegCodec}, {"tiff_codec", FuzzTiffCodec},
    {"thumbnailer", FuzzThumbnailer},          {"geonames", FuzzGeoNames},   {"gpx", FuzzGpx},
};
const std::size_t kFuzzTargetCount = sizeof kFuzzTargets / sizeof kFuzzTargets[0];

void FuzzCheck(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

namespace {

class TempInputFile {
public:
    explicit TempInputFile(const char* suffix)
    {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/corvane-fuzz-XXXXXX" + suffix;
        fd_ = mkstemps(&pattern[0], static_cast<int>(std::char_traits<char>::length(suffix)));
        if (fd_ >= 0) path_ = pattern;
    }
    ~TempInputFile()
    {
        if (fd_ < 0) return;
        close(fd_);
        unlink(path_.c_str());
    }
    TempInputFile(const TempInputFile&) = delete;
    TempInputFile& operator=(const TempInputFile&) = delete;

    bool Write(const std::uint8_t* data, std::size_t size)
    {
        if (fd_ < 0 || ftruncate(fd_, 0) != 0) return false;
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace

std::string WriteFuzzInputFile(const std::uint8_t* data, std::size_t size, const char* suffix)
{
    static std::map<std::string, TempInputFile> files;
    TempInputFile& file = files.try_emplace(suffix, suffix).first->second;
    return file.Write(data, size) ? file.Path() : std::string();
}
