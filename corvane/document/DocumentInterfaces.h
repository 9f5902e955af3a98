// How the document reaches the user interface: questions, messages, posted
// commands, view updates and the progress runner. The desktop program
// implements these with widgets; the command line and the tests with plain code.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "BackgroundLoop.h"
#include "HResult.h"
#include "PictureItem.h"

// Answers of questions, as the message boxes give them.
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// Commands the document posts to the main window.
constexpr int kCommandLoadFolder = 1099;
constexpr int kCommandFolderChanged = 1083;

enum class MessageIcon { Information, Warning, Error };

// Runs a long loop one step at a time, lets the user cancel between steps,
// and returns once the run is over (see CTaskIteration for the stepping).
class IStepRunner {
public:
    virtual ~IStepRunner() = default;
    // `step` gets the index of the next step and may move it forward.
    virtual void Run(const std::wstring& content, int count, const std::function<HRESULT(int& index)>& step) = 0;
    // The same for a loop whose slow part runs off the window's thread;
    // returns once the run is over and its last Apply has run. Here: every
    // step on the calling thread.
    virtual void RunInBackground(const std::wstring& content, int count, IBackgroundLoop& loop)
    {
        (void)content;
        RunBackgroundLoopHere(count, loop, [](int, int) {}, [] { return false; });
    }
};

class IDocumentUserInterface {
public:
    virtual ~IDocumentUserInterface() = default;
    // A Yes/No question; returns kAnswerYes or kAnswerNo.
    virtual int AskYesNo(const std::wstring& title, const std::wstring& instruction, const std::wstring& content,
                         MessageIcon icon) = 0;
    virtual void ShowMessage(const std::wstring& text, const std::wstring& caption, MessageIcon icon) = 0;
    // Posted to the main window and handled later on the user-interface
    // thread; may be called from any thread.
    virtual void PostCommand(int command) = 0;
    // A metadata change happened (the views redraw those rows).
    virtual void UpdateAllViews(const CMetadataManipulationUpdatePack& pack) = 0;
    virtual IStepRunner& Runner() = 0;
    // The GeoNames account name, asked when addresses are first needed and
    // none is set; nullopt when the user gives none (or nobody can be asked).
    virtual std::optional<std::wstring> AskGeoNamesAccount() { return std::nullopt; }
    // A one-line report of a finished run (the window's status bar).
    virtual void ShowStatus(const std::wstring&) {}
};

// Told about folder navigation; a failure from the first call refuses it.
class IBrowseLocationChangeSink {
public:
    virtual ~IBrowseLocationChangeSink() = default;
    virtual HRESULT OnBrowseLocationChanging(const std::string& folder) = 0;
    virtual void OnBrowseLocationChanged(const std::string& folder) = 0;
};
