#include "ConsoleUserInterface.h"

#include <unistd.h>

#include <QString>
#include <QtGlobal>

#include <iostream>

#include "Interruption.h"
#include "StringUtil.h"

namespace {

void ToolkitMessage(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << "corvane-cli: " << message.toStdString() << "\n";
}

void ShowProgress(int position, int count)
{
    std::cerr << "\r" << position << "/" << count << (position >= count ? "\n" : "") << std::flush;
}

}  // namespace

void CConsoleStepRunner::Run(const std::wstring&, int count, const std::function<HRESULT(int& index)>& step)
{
    CTaskIteration iteration(count, step);
    while (!iteration.Finished() && !InterruptSignal()) {
        iteration.OnTimer();
        if (progress_) progress_(iteration.Position(), iteration.Count());
    }
}

void CConsoleStepRunner::RunInBackground(const std::wstring&, int count, IBackgroundLoop& loop)
{
    RunBackgroundLoopHere(
        count, loop, [this](int position, int total) { if (progress_) progress_(position, total); },
        [] { return InterruptSignal() != 0; });
}

CConsoleUserInterface::CConsoleUserInterface() : runner_(::isatty(STDERR_FILENO) ? ShowProgress : nullptr)
{
}

int CConsoleUserInterface::AskYesNo(const std::wstring& title, const std::wstring& instruction,
                                    const std::wstring& content, MessageIcon)
{
    std::cerr << WideToUtf8(title) << ": " << WideToUtf8(instruction.empty() ? content : instruction + L" " + content)
              << " Yes\n";
    return kAnswerYes;
}

void CConsoleUserInterface::ShowMessage(const std::wstring& text, const std::wstring& caption, MessageIcon)
{
    std::cerr << WideToUtf8(caption) << ": " << WideToUtf8(text) << "\n";
}

void CConsoleUserInterface::ShowStatus(const std::wstring& text)
{
    std::cerr << WideToUtf8(text) << "\n";
}

void QuietToolkitMessages()
{
    qInstallMessageHandler(ToolkitMessage);
}
