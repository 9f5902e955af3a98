// Reads a GPX 1.1 file, with or without the Garmin GPX extensions v3, into a
// GPXRoot tree. Elements are recognised by local name; unknown elements and
// attributes are ignored wherever they appear. Garmin extension records are
// only built when the root element declares the Garmin namespace.
//
// Use: construct, Initialize, ReadGPXRoot once, then Finalize or destroy.
// The caller owns and deletes the returned tree.
#pragma once

#include <memory>
#include <string>

#include "GPXModel.h"
#include "HResult.h"
#include "UnInitializedException.h"
#include "VellocExport.h"

// The root element of the file is not "gpx".
constexpr HRESULT VELLOC_E_NOTGPX = static_cast<HRESULT>(0x80040201u);

class VELLOC_API CGPXFilesDecoder {
public:
    explicit CGPXFilesDecoder(const std::wstring& path);
    ~CGPXFilesDecoder();
    CGPXFilesDecoder(const CGPXFilesDecoder&) = delete;
    CGPXFilesDecoder& operator=(const CGPXFilesDecoder&) = delete;

    // Opens the file and prepares the reader; the failing step's code
    // (for example the errno code of a missing file).
    long Initialize();

    // S_OK with a new tree in *root. Otherwise *root is null and the result
    // is the reader's failure code, S_FALSE for a file that ends before the
    // root element is closed, or VELLOC_E_NOTGPX. An invalid "time" raises
    // CStatusException (nothing is leaked, *root is null). Before a
    // successful Initialize: CUnInitializedException.
    long ReadGPXRoot(GPXRoot** root);

    // Whether the root element declared the Garmin namespace.
    bool HasGarminExtensions();

    // A one-line description of why ReadGPXRoot failed; empty after success.
    std::wstring GetErrorText() const;

    void Finalize();

private:
    struct Impl;
    std::wstring path;
    std::unique_ptr<Impl> impl;
    bool initialized = false;
    bool garminExtensions = false;
};
