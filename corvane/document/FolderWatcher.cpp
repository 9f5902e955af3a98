#include "FolderWatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

constexpr std::uint32_t kMask = IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

CFolderWatcher::CFolderWatcher(const std::string& folder, std::function<void()> notify) : notify_(std::move(notify))
{
    inotify_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    cancel_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (inotify_ < 0 || cancel_ < 0 || ::inotify_add_watch(inotify_, folder.c_str(), kMask) < 0) return;
    running_ = true;
    thread_ = std::thread([this] { Run(); });
}

CFolderWatcher::~CFolderWatcher()
{
    if (cancel_ >= 0) {
        const std::uint64_t one = 1;
        (void)!::write(cancel_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    if (inotify_ >= 0) ::close(inotify_);
    if (cancel_ >= 0) ::close(cancel_);
}

std::vector<FolderEvent> CFolderWatcher::TakeEvents()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<FolderEvent> taken;
    taken.swap(events_);
    return taken;
}

void CFolderWatcher::Run()
{
    std::unique_ptr<char[]> buffer(new char[BufferSize]);
    pollfd fds[2] = {{inotify_, POLLIN, 0}, {cancel_, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;  // the next navigation cancelled the watch
        const ssize_t n = ::read(inotify_, buffer.get(), BufferSize);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) break;
        Queue(buffer.get(), static_cast<size_t>(n));
    }
    running_ = false;
}

void CFolderWatcher::Queue(const char* buffer, size_t length)
{
    std::vector<FolderEvent> batch;
    bool gone = false;
    for (size_t pos = 0; pos + sizeof(inotify_event) <= length;) {
        inotify_event event;
        std::memcpy(&event, buffer + pos, sizeof event);
        const size_t size = sizeof(inotify_event) + event.len;
        if (pos + size > length) break;
        const char* name = buffer + pos + sizeof(inotify_event);
        pos += size;
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) gone = true;
        if (event.mask & IN_Q_OVERFLOW) {
            FolderEvent overflow;
            overflow.What = FolderEvent::Overflow;
            batch.push_back(std::move(overflow));
            continue;
        }
        if (event.len == 0) continue;
        FolderEvent e;
        e.Name.assign(name, ::strnlen(name, event.len));
        e.Cookie = event.cookie;
        e.IsFolder = event.mask & IN_ISDIR;
        if (event.mask & IN_CREATE)
            e.What = FolderEvent::Added;
        else if (event.mask & IN_DELETE)
            e.What = FolderEvent::Removed;
        else if (event.mask & (IN_CLOSE_WRITE | IN_ATTRIB))
            e.What = FolderEvent::Modified;
        else if (event.mask & IN_MOVED_FROM)
            e.What = FolderEvent::MovedFrom;
        else if (event.mask & IN_MOVED_TO)
            e.What = FolderEvent::MovedTo;
        else
            continue;
        batch.push_back(std::move(e));
    }
    if (!batch.empty()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.insert(events_.end(), batch.begin(), batch.end());
        }
        if (notify_) notify_();  // one posted command per buffer, not per file
    }
    if (gone) {
        const std::uint64_t one = 1;
        (void)!::write(cancel_, &one, sizeof one);
    }
}
