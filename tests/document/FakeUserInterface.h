// A user interface for document tests: fixed answers, recorded messages,
// posted commands and view updates.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DocumentInterfaces.h"
#include "TaskIteration.h"

class FakeUserInterface : public IDocumentUserInterface {
public:
    int Answer = kAnswerYes;
    std::vector<std::wstring> Questions;
    std::vector<std::wstring> Messages;
    std::vector<CMetadataManipulationUpdatePack> Updates;
    int Runs = 0;
    std::optional<std::wstring> Account;  // what the account question answers
    int AccountQuestions = 0;
    std::vector<std::wstring> Statuses;

    int AskYesNo(const std::wstring& title, const std::wstring&, const std::wstring& content, MessageIcon) override
    {
        Questions.push_back(title + L": " + content);
        return Answer;
    }
    void ShowMessage(const std::wstring& text, const std::wstring& caption, MessageIcon) override
    {
        Messages.push_back(caption + L": " + text);
    }
    // Posting blocks while posts are held: the poster (the watcher's thread)
    // stops reading, as a busy program would.
    void PostCommand(int command) override
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ++waiting_;
        signal_.notify_all();
        signal_.wait(lock, [&] { return !held_; });
        --waiting_;
        posted_.push_back(command);
        signal_.notify_all();
    }
    void HoldPosts()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    void ReleasePosts()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
        signal_.notify_all();
    }
    // Waits until a poster is blocked by HoldPosts.
    bool WaitForBlockedPost(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return signal_.wait_for(lock, limit, [&] { return waiting_ > 0; });
    }
    void UpdateAllViews(const CMetadataManipulationUpdatePack& pack) override
    {
        Updates.push_back(pack);
        if (OnUpdate) OnUpdate();
    }
    // Runs while the views are told, to see the document as they see it.
    std::function<void()> OnUpdate;
    IStepRunner& Runner() override
    {
        ++Runs;
        return runner_;
    }

    std::optional<std::wstring> AskGeoNamesAccount() override
    {
        ++AccountQuestions;
        return Account;
    }
    void ShowStatus(const std::wstring& text) override { Statuses.push_back(text); }

    std::vector<int> Posted()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_;
    }
    // Waits until `command` has been posted `count` times in all.
    bool WaitForPosted(int command, size_t count, std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return signal_.wait_for(lock, limit, [&] {
            size_t n = 0;
            for (int c : posted_) n += c == command;
            return n >= count;
        });
    }

private:
    std::mutex mutex_;
    std::condition_variable signal_;
    std::vector<int> posted_;
    bool held_ = false;
    int waiting_ = 0;
    CSynchronousStepRunner runner_;
};
