// Reads a GPX 1.1 (or 1.0) file, with or without the Garmin GPX extensions v3
// and Garmin's TrackPointExtension v1/v2, into a GPXRoot tree. Elements are
// recognised by namespace and local name: GPX elements in the GPX namespaces
// (or the root's own), Garmin records in Garmin's, wherever the namespace is
// declared. Elements of other namespaces are skipped with all they hold;
// unknown attributes are ignored.
//
// Values that cannot be right are left out rather than guessed: a point whose
// latitude or longitude is not a number within range is dropped, a time the
// model cannot hold (before 1970, after 9999) is not set; both are counted.
//
// Use: construct, Initialize, ReadGPXRoot once, then Finalize or destroy.
// The caller owns and deletes the returned tree.
#pragma once

#include <cstddef>
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

    // Whether the root element declared the Garmin namespace, or a Garmin
    // extension record was read.
    bool HasGarminExtensions();

    // After ReadGPXRoot: the points dropped for a coordinate that is not a
    // number within range, and the times left out for a date out of range.
    std::size_t GetInvalidPointCount() const;
    std::size_t GetSkippedTimeCount() const;

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
