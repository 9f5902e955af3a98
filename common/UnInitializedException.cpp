#include "UnInitializedException.h"

CUnInitializedException::CUnInitializedException() = default;

CUnInitializedException::CUnInitializedException(const std::wstring& text) : message(text) {}

CUnInitializedException::~CUnInitializedException() = default;

std::wstring CUnInitializedException::GetMessageW() const
{
    return message;
}
