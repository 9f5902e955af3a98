// The document's user interface on a terminal: messages and questions go to
// standard error, questions are answered Yes (a batch has nobody to ask),
// and long loops run at once with their progress shown.
#pragma once

#include "DocumentInterfaces.h"
#include "TaskIteration.h"

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
    CSynchronousStepRunner runner_;
};
