// A failure status raised as an exception: the decoder raises it for a time
// text that is not a valid date and time, the encoder for a time value that
// has no calendar date. Error() gives the status (E_FAIL or E_INVALIDARG).
#pragma once

#include <exception>
#include <string>

#include "HResult.h"
#include "VellocExport.h"

class VELLOC_API CStatusException : public std::exception {
public:
    CStatusException(HRESULT status, const std::string& why);
    ~CStatusException() override;
    HRESULT Error() const;
    const char* what() const noexcept override;

private:
    HRESULT status;
    std::string text;
};
