#include "ConsoleUserInterface.h"

#include <unistd.h>

#include <iostream>

#include "StringUtil.h"

namespace {

void ShowProgress(int position, int count)
{
    std::cerr << "\r" << position << "/" << count << (position >= count ? "\n" : "") << std::flush;
}

}  // namespace

CConsoleUserInterface::CConsoleUserInterface()
    : runner_(::isatty(STDERR_FILENO) ? CSynchronousStepRunner(ShowProgress) : CSynchronousStepRunner())
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
