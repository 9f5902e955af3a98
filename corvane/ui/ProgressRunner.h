// Runs a long loop of the document inside a progress dialog. A plain loop
// runs one step per turn of the event loop, so the dialog repaints and its
// Cancel button is seen between steps. A background loop does the slow part
// of each step on a worker thread: the window repaints and answers all the
// time, and Cancel ends the run as soon as the step in hand lets it (a
// request is given up at once, a picture being written is finished).
#pragma once

#include <QObject>

#include "DocumentInterfaces.h"

class QProgressDialog;
class QWidget;

class CProgressRunner : public IStepRunner {
public:
    // A background run shows its dialog only when it takes longer than this:
    // a small folder loads without a dialog flashing up.
    static constexpr int ShowDialogAfterMs = 400;

    explicit CProgressRunner(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void Run(const std::wstring& content, int count, const std::function<HRESULT(int& index)>& step) override;
    void RunInBackground(const std::wstring& content, int count, IBackgroundLoop& loop) override;
    // Whether a run is going on (a second one does not start inside it).
    bool Running() const { return running_; }

private:
    void SetUp(QProgressDialog& dialog, const std::wstring& content, int count) const;

    QWidget* owner_;
    bool running_ = false;
};
