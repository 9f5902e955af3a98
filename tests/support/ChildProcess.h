// A program run by a test and the events of a folder, for tests that stop a
// program part way: the test acts when something has happened on disk (the
// k-th temporary file created, the k-th rename) instead of after a guessed
// delay. Header only, so that the library tests can use it without the
// program's test support.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

class CChildProcess {
public:
    // Starts argv[0] with `argv`; its standard output is kept (Output()),
    // its standard error goes to `errorPath` (or stays the test's).
    explicit CChildProcess(const std::vector<std::string>& argv, const std::string& errorPath = "")
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (!errorPath.empty())
            posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output_ = out[0];
        if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
        pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        if (pidfd_ < 0) throw std::runtime_error("pidfd_open failed");
    }
    ~CChildProcess()
    {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        if (output_ >= 0) ::close(output_);
        if (pidfd_ >= 0) ::close(pidfd_);
    }
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    int PidFd() const { return pidfd_; }
    int OutputFd() const { return output_; }
    void Signal(int signal) { ::kill(pid_, signal); }

    // Takes what the program has written so far; false at its end.
    bool ReadOutput()
    {
        char buffer[4096];
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n > 0) out_.append(buffer, static_cast<size_t>(n));
        return n > 0 || (n < 0 && errno == EINTR);
    }
    // Reads the rest of the output and waits for the end; the wait status.
    int Wait()
    {
        while (ReadOutput()) {
        }
        if (status_ < 0) {
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            status_ = status;
        }
        return status_;
    }
    const std::string& Output() const { return out_; }

private:
    pid_t pid_ = -1;
    int pidfd_ = -1;
    int output_ = -1;
    int status_ = -1;
    std::string out_;
};

// The exit code, or 128 + the signal for a program killed by one.
inline int ExitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class CFolderEvents {
public:
    CFolderEvents(const std::string& folder, uint32_t mask)
    {
        fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (fd_ < 0 || ::inotify_add_watch(fd_, folder.c_str(), mask) < 0)
            throw std::runtime_error("inotify failed on " + folder);
    }
    ~CFolderEvents() { ::close(fd_); }
    CFolderEvents(const CFolderEvents&) = delete;
    CFolderEvents& operator=(const CFolderEvents&) = delete;

    // Waits until `count` events that `accept` takes have been seen in all,
    // or the child has ended; true when the count was reached. The child's
    // output is read meanwhile, so that it never waits on a full pipe.
    bool WaitFor(int count, const std::function<bool(uint32_t mask, const std::string& name)>& accept,
                 CChildProcess& child)
    {
        while (seen_ < count) {
            pollfd fds[] = {{fd_, POLLIN, 0}, {child.OutputFd(), POLLIN, 0}, {child.PidFd(), POLLIN, 0}};
            if (::poll(fds, 3, -1) < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (fds[1].revents) child.ReadOutput();
            if (fds[0].revents) Drain(accept);
            else if (fds[2].revents) return false;  // ended, and no event is left to read
        }
        return true;
    }

private:
    void Drain(const std::function<bool(uint32_t, const std::string&)>& accept)
    {
        alignas(inotify_event) char buffer[64 * 1024];
        ssize_t n;
        while ((n = ::read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (accept(event->mask, event->len ? std::string(event->name) : std::string())) ++seen_;
                p += sizeof(inotify_event) + event->len;
            }
        }
    }

    int fd_ = -1;
    int seen_ = 0;
};

}  // namespace testsupport
