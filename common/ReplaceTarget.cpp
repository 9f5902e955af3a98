#include "ReplaceTarget.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "HiddenTemporary.h"
#include "XmlPullReader.h"

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit on nested links
constexpr size_t kMaxAttributeBytes = 64 * 1024;  // XATTR_SIZE_MAX, and XATTR_LIST_MAX

HRESULT Failed(std::string* error, const std::string& text, int code)
{
    if (error) *error = text;
    return HResultFromErrno(code);
}

bool Refuse(std::string* error, const std::string& text)
{
    if (error) *error = text;
    return false;
}

// The names of the extended attributes of `path`; empty where the file
// system keeps none.
bool AttributeNames(const std::string& path, std::vector<std::string>& names, std::string* error)
{
    std::vector<char> list(1024);
    ssize_t n;
    while ((n = ::llistxattr(path.c_str(), list.data(), list.size())) < 0 && errno == ERANGE &&
           list.size() < kMaxAttributeBytes)
        list.resize(kMaxAttributeBytes);
    if (n < 0) {
        if (errno == ENOTSUP) return true;
        return Refuse(error, std::string("cannot read its extended attributes: ") + std::strerror(errno));
    }
    for (ssize_t at = 0; at < n;) {
        const std::string name(list.data() + at);
        at += static_cast<ssize_t>(name.size()) + 1;
        if (!name.empty()) names.push_back(name);
    }
    return true;
}

// One attribute's value; false (errno set) when it cannot be read.
bool AttributeValue(const std::string& path, const std::string& name, std::vector<char>& value)
{
    value.resize(256);
    ssize_t n;
    while ((n = ::lgetxattr(path.c_str(), name.c_str(), value.data(), value.size())) < 0 && errno == ERANGE &&
           value.size() < kMaxAttributeBytes)
        value.resize(kMaxAttributeBytes);
    if (n < 0) return false;
    value.resize(static_cast<size_t>(n));
    return true;
}

bool HasSameAttribute(int fd, const std::string& name, const std::vector<char>& value)
{
    std::vector<char> now(value.size() + 1);
    const ssize_t n = ::fgetxattr(fd, name.c_str(), now.data(), now.size());
    return n == static_cast<ssize_t>(value.size()) && std::memcmp(now.data(), value.data(), value.size()) == 0;
}

bool KeepAttributes(const std::string& original, int fd, std::string* error)
{
    std::vector<std::string> names;
    if (!AttributeNames(original, names, error)) return false;
    std::vector<char> value;
    for (const auto& name : names) {
        if (!AttributeValue(original, name, value)) {
            if (errno == ENODATA) continue;  // removed since it was listed
            return Refuse(error, "cannot read its extended attribute " + name + ": " + std::strerror(errno));
        }
        // A label the system gave the new file already needs no permission to keep.
        if (HasSameAttribute(fd, name, value)) continue;
        if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0)
            return Refuse(error, "cannot keep its extended attribute " + name + ": " + std::strerror(errno));
    }
    return true;
}

}  // namespace

HRESULT ResolveReplaceTarget(const std::string& path, ReplaceTarget& target, std::string* error)
{
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0) {
            if (errno != ENOENT) return Failed(error, current + ": " + std::strerror(errno), errno);
            target.Path = current;  // a new file, also where a dangling link points
            target.Exists = false;
            return S_OK;
        }
        if (S_ISLNK(st.st_mode)) {
            char link[PATH_MAX];
            const ssize_t n = ::readlink(current.c_str(), link, sizeof link);
            if (n <= 0 || static_cast<size_t>(n) >= sizeof link)
                return Failed(error, current + ": cannot read the link", n < 0 ? errno : ENAMETOOLONG);
            const std::string to(link, static_cast<size_t>(n));
            current = to[0] == '/' ? to : FolderOfPath(current) + "/" + to;
            continue;
        }
        if (!S_ISREG(st.st_mode)) {
            if (error) *error = "not a regular file";
            return E_NOT_REGULAR_FILE;
        }
        target.Path = current;
        target.Exists = true;
        target.Status = st;
        return S_OK;
    }
    return Failed(error, path + ": " + std::strerror(ELOOP), ELOOP);
}

bool IsReadOnlyFile(const std::string& path, const struct stat& status)
{
    if (::geteuid() == 0) return (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) return false;
    return errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY;
}

bool KeepOwnerAndAttributes(const std::string& original, const struct stat& status, int fd, std::string* error)
{
    struct stat own;
    if (::fstat(fd, &own) != 0) return Refuse(error, std::string("write failed: ") + std::strerror(errno));
    if ((own.st_uid != status.st_uid || own.st_gid != status.st_gid) &&
        ::fchown(fd, status.st_uid, status.st_gid) != 0) {
        if (own.st_uid != status.st_uid)
            return Refuse(error, "owned by another user (uid " + std::to_string(status.st_uid) +
                                     "): a new file cannot keep that owner");
        return Refuse(error, "its group (gid " + std::to_string(status.st_gid) + ") cannot be kept: " +
                                 std::strerror(errno));
    }
    return KeepAttributes(original, fd, error);
}

bool KeepModeOf(const struct stat& status, int fd, std::string* error)
{
    if (::fchmod(fd, status.st_mode & 07777) == 0) return true;
    return Refuse(error, std::string("cannot keep its permissions: ") + std::strerror(errno));
}
