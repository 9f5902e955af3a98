#include "ConnectionCheck.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace {

bool SplitAddress(const std::string& address, std::string& host, std::string& port)
{
    const size_t scheme = address.find("://");
    if (scheme == std::string::npos) return false;
    const std::string name = address.substr(0, scheme);
    port = name == "https" ? "443" : "80";
    if (name != "http" && name != "https") return false;
    std::string rest = address.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (!rest.empty() && rest[0] == '[') {  // [::1]:8080
        const size_t close = rest.find(']');
        if (close == std::string::npos) return false;
        host = rest.substr(1, close - 1);
        if (close + 1 < rest.size() && rest[close + 1] == ':') port = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        host = rest.substr(0, colon);
        if (colon != std::string::npos) port = rest.substr(colon + 1);
    }
    return !host.empty() && !port.empty();
}

bool ConnectOne(const addrinfo* ai, int timeout)
{
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) return false;
    std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* f) {
        ::close(*f);
        delete f;
    });
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS) return false;
    pollfd p{fd, POLLOUT, 0};
    if (::poll(&p, 1, timeout) != 1) return false;
    int err = 0;
    socklen_t len = sizeof err;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
}

}  // namespace

bool CanConnectTo(const std::string& address, int timeoutMilliseconds)
{
    std::string host, port;
    if (!SplitAddress(address, host, port)) return false;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return false;
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> list(found, ::freeaddrinfo);
    for (const addrinfo* ai = found; ai; ai = ai->ai_next)
        if (ConnectOne(ai, timeoutMilliseconds)) return true;
    return false;
}
