// Follows the changes other programs make to the shown folder. A thread reads
// the kernel's directory notifications and only queues them; the
// user-interface thread takes the queue (command 1083) and applies every
// change to the document itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FolderEvent {
    // Overflow: the kernel dropped notifications, so the folder must be read again.
    enum Kind { Added, Removed, Modified, MovedFrom, MovedTo, Handled, Overflow };
    Kind What = Added;
    std::string Name;        // entry of the watched folder
    std::uint32_t Cookie = 0;  // pairs MovedFrom with MovedTo
    bool IsFolder = false;
};

class CFolderWatcher {
public:
    // Starts watching; `notify` is called from the thread after each batch of
    // queued events (it posts command 1083).
    CFolderWatcher(const std::string& folder, std::function<void()> notify);
    // Cancels the read and waits for the thread.
    ~CFolderWatcher();
    CFolderWatcher(const CFolderWatcher&) = delete;
    CFolderWatcher& operator=(const CFolderWatcher&) = delete;

    // False when the folder could not be watched or the thread has ended.
    bool Running() const { return running_; }
    std::vector<FolderEvent> TakeEvents();

    static constexpr size_t BufferSize = 0x80000;

private:
    void Run();
    void Queue(const char* buffer, size_t length);

    std::function<void()> notify_;
    int inotify_ = -1;
    int cancel_ = -1;  // eventfd the thread polls beside the notifications
    std::atomic<bool> running_{false};
    std::mutex mutex_;
    std::vector<FolderEvent> events_;
    std::thread thread_;
};
