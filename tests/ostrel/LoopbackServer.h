// A TCP server on a loopback address that answers every connection with a
// script, for the answers a well-behaved HTTP server never gives: one that
// trickles in, a body cut off, a redirect to another host. Connections are
// served one after the other on the server's thread; destroying the server
// ends a script that is still pausing and joins the thread.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CLoopbackServer {
public:
    class Connection {
    public:
        Connection(int fd, int stopFd) : fd_(fd), stopFd_(stopFd) {}
        const std::string& Request() const { return request_; }
        bool Send(const std::string& bytes)
        {
            return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
        }
        // Paces the script; false as soon as the server is being stopped.
        bool Pause(std::chrono::milliseconds interval)
        {
            pollfd stop{stopFd_, POLLIN, 0};
            return ::poll(&stop, 1, static_cast<int>(interval.count())) == 0;
        }
        // Reads the request head (up to the blank line).
        bool ReadRequest()
        {
            char buffer[4096];
            while (request_.find("\r\n\r\n") == std::string::npos) {
                pollfd p[2] = {{fd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
                if (::poll(p, 2, 10000) <= 0 || (p[1].revents & POLLIN)) return false;
                const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
                if (n <= 0) return false;
                request_.append(buffer, static_cast<size_t>(n));
            }
            return true;
        }

    private:
        int fd_, stopFd_;
        std::string request_;
    };
    using Script = std::function<void(Connection&)>;

    explicit CLoopbackServer(Script script, const char* host = "127.0.0.1") : script_(std::move(script)), host_(host)
    {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        stopRead_ = pipeFds[0];
        stopWrite_ = pipeFds[1];
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        ::inet_pton(AF_INET, host, &address.sin_addr);
        socklen_t length = sizeof address;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listen_, 8) != 0) return;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~CLoopbackServer()
    {
        if (stopWrite_ >= 0 && ::write(stopWrite_, "x", 1) != 1) {
        }
        if (thread_.joinable()) thread_.join();
        for (int fd : {listen_, stopRead_, stopWrite_})
            if (fd >= 0) ::close(fd);
    }
    CLoopbackServer(const CLoopbackServer&) = delete;
    CLoopbackServer& operator=(const CLoopbackServer&) = delete;

    int Port() const { return port_; }
    std::wstring Address() const
    {
        return L"http://" + std::wstring(host_.begin(), host_.end()) + L":" + std::to_wstring(port_) + L"/";
    }
    int Connections() const { return connections_; }
    std::string LastRequest()
    {
        std::lock_guard<std::mutex> hold(lock_);
        return lastRequest_;
    }

private:
    void Serve()
    {
        for (;;) {
            pollfd p[2] = {{listen_, POLLIN, 0}, {stopRead_, POLLIN, 0}};
            if (::poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN)) return;
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            ++connections_;
            Connection connection(fd, stopRead_);
            if (connection.ReadRequest()) {
                {
                    std::lock_guard<std::mutex> hold(lock_);
                    lastRequest_ = connection.Request();
                }
                script_(connection);
            }
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
        }
    }

    Script script_;
    std::string host_;
    int listen_ = -1, stopRead_ = -1, stopWrite_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::mutex lock_;
    std::string lastRequest_;
    std::thread thread_;
};
