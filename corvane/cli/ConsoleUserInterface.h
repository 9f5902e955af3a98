// The document's user interface on a terminal: messages and questions go to
// standard error, questions are answered Yes (a batch has nobody to ask),
// and long loops run at once with their progress shown, stopping between
// two steps when the program is asked to stop.
#pragma once

#include "DocumentInterfaces.h"
#include "TaskIteration.h"

class CConsoleStepRunner : public IStepRunner {
public:
    explicit CConsoleStepRunner(std::function<void(int position, int count)> progress) : progress_(std::move(progress)) {}
    void Run(const std::wstring& content, int count, const std::function<HRESULT(int& index)>& step) override;
    void RunInBackground(const std::wstring& content, int count, IBackgroundLoop& loop) override;

private:
    std::function<void(int, int)> progress_;
};

class CConsoleUserInterface : public IDocumentUserInterface {
public:
    CConsoleUserInterface();
    int AskYesNo(const std::wstring& title, const std::wstring& instruction, const std::wstring& content,
                 MessageIcon icon) override;
    void ShowMessage(const std::wstring& text, const std::wstring& caption, MessageIcon icon) override;
    void PostCommand(int) override {}
    void UpdateAllViews(const CMetadataManipulationUpdatePack&) override {}
    IStepRunner& Runner() override { return runner_; }
    // The report of an address run, on standard error.
    void ShowStatus(const std::wstring& text) override;

private:
    CConsoleStepRunner runner_;
};

// The toolkit's own diagnostics (a missing or loose runtime folder, font
// lookups) mean nothing to someone running a batch and would mix with the
// lines a script reads on standard error: only its critical and fatal
// messages are kept, marked as ours.
void QuietToolkitMessages();
