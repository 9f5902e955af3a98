#include "CliTargetFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "PictureFormat.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

std::string ReadHead(const std::string& path, size_t size)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(size, '\0');
    in.read(&head[0], static_cast<std::streamsize>(size));
    head.resize(static_cast<size_t>(in.gcount()));
    return head;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A JPEG (start of image and a marker) or a TIFF (either byte order).
bool IsPictureContent(const std::string& head)
{
    return StartsWith(head, "\xFF\xD8\xFF") || StartsWith(head, std::string("II*\0", 4)) ||
           StartsWith(head, std::string("MM\0*", 4));
}

}  // namespace

bool HasExtension(const std::string& name, const wchar_t* extension)
{
    return EqualsNoCase(Utf8OrLatin1ToWide(fs::path(name).extension().string()), extension);
}

TargetRefusal ExportTargetRefusal(const std::string& path, bool force, ExportKindTest ownKind, const char* kind)
{
    const std::string name = fs::path(path).filename().string();
    const bool pictureName = PictureKindFromName(name) != PictureFormatOther;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT && pictureName && !force) return {"is named as a picture"};
        return {};  // a new file; anything else is the write's to report
    }
    if (S_ISDIR(st.st_mode)) return {"is a folder", false};
    if (!S_ISREG(st.st_mode)) return {"is not a regular file", false};
    if (force) return {};
    const std::string head = ReadHead(path, 4096);
    if (pictureName || IsPictureContent(head)) return {"is a picture"};
    if (!ownKind(name, head)) return {std::string("exists and is not a ") + kind + " file"};
    return {};
}
