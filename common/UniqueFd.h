// Owns a file descriptor from the moment it exists: closed when the owner
// goes, unless handed on. Close() reports the close's own result, since a
// failed close can be a failed write.
#pragma once

#include <unistd.h>

class CUniqueFd {
public:
    explicit CUniqueFd(int fd = -1) : fd_(fd) {}
    ~CUniqueFd() { Close(); }
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int Get() const { return fd_; }
    int Release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd)
    {
        Close();
        fd_ = fd;
    }
    int Close()
    {
        const int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc;
    }

private:
    int fd_;
};
