// Runs a long loop of the document inside a progress dialog: one step per
// turn of the event loop, so the dialog repaints and its Cancel button is
// seen between steps, and the bar reaches its end when the last step ran.
#pragma once

#include <QObject>

#include "DocumentInterfaces.h"

class QWidget;

class CProgressRunner : public IStepRunner {
public:
    explicit CProgressRunner(QWidget* owner = nullptr) : owner_(owner) {}
    void SetOwner(QWidget* owner) { owner_ = owner; }
    void Run(const std::wstring& content, int count, const std::function<HRESULT(int& index)>& step) override;

private:
    QWidget* owner_;
};
