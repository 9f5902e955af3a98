#include "ConnectDiagnosis.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "OstrelErrors.h"

namespace {

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return fd_; }

private:
    int fd_;
};

std::error_code FromErrno(int error)
{
    switch (error) {
    case 0: return {};
    case ECONNREFUSED: return OstrelErrc::ConnectionRefused;
    case ETIMEDOUT: return OstrelErrc::TimedOut;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN: return OstrelErrc::NetworkUnreachable;
    default: return OstrelErrc::Failed;
    }
}

std::error_code ConnectOne(const addrinfo* ai, std::chrono::milliseconds limit)
{
    Socket s(::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol));
    if (s.Fd() < 0) return OstrelErrc::Failed;
    if (::connect(s.Fd(), ai->ai_addr, ai->ai_addrlen) == 0) return {};
    if (errno != EINPROGRESS) return FromErrno(errno);
    pollfd p{s.Fd(), POLLOUT, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(limit.count()));
    if (ready == 0) return OstrelErrc::TimedOut;
    int error = 0;
    socklen_t length = sizeof error;
    if (ready < 0 || ::getsockopt(s.Fd(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return OstrelErrc::Failed;
    return FromErrno(error);
}

}  // namespace

std::error_code DiagnoseConnect(const std::string& host, int port, std::chrono::milliseconds limit)
{
    if (limit.count() <= 0) return OstrelErrc::TimedOut;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return OstrelErrc::HostNotFound;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, ::freeaddrinfo);
    // The first address's answer is the one to tell; a later one that
    // connects means the failure was passing.
    std::error_code first;
    for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
        const std::error_code error = ConnectOne(ai, limit);
        if (!error) return {};
        if (!first) first = error;
    }
    return first;
}
