// Raised by a reader or writer that is used before its Initialize succeeded.
// what() keeps the standard text; the message is read with GetMessageW.
#pragma once

#include <exception>
#include <string>

#include "SharedExport.h"

class CORVANE_SHARED_API CUnInitializedException : public std::exception {
public:
    CUnInitializedException();
    explicit CUnInitializedException(const std::wstring& text);
    ~CUnInitializedException() override;

    std::wstring GetMessageW() const;

private:
    std::wstring message;
};
