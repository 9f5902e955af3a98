// Writes a GPXRoot tree as a GPX 1.1 file, with the Garmin GPX extensions v3
// when asked to. The tree is only read.
//
// Use: construct, Initialize, WriteGpxRoot once, Finalize. The file is built
// beside the target under a temporary name and replaces the target in one
// step when Finalize succeeds; an encoder destroyed before that, or whose
// writing failed, leaves the target as it was.
#pragma once

#include <memory>
#include <string>

#include "GPXModel.h"
#include "HResult.h"
#include "VellocExport.h"

class VELLOC_API CGPXFilesEncoder {
public:
    // The creator attribute is written as "NAME vVERSION".
    CGPXFilesEncoder(const std::wstring& path, const std::wstring& applicationName,
                     const std::wstring& applicationVersion, bool garminExtensions);
    ~CGPXFilesEncoder();
    CGPXFilesEncoder(const CGPXFilesEncoder&) = delete;
    CGPXFilesEncoder& operator=(const CGPXFilesEncoder&) = delete;

    // Creates the file and writes the prologue: the XML declaration and the
    // "gpx" start tag with its attributes and namespace declarations.
    long Initialize();

    // Writes the metadata, waypoints, routes and tracks in that order; E_ABORT
    // for a null root or a root with nothing to write, else the last write's
    // status. Invalid data raises std::invalid_argument, a time without a
    // calendar date CStatusException; the output is then abandoned.
    long WriteGpxRoot(GPXRoot* root);

    // Closes the document and puts the file in place; the first failure.
    long Finalize();

private:
    struct Impl;

    std::wstring path;
    std::wstring applicationName;
    std::wstring applicationVersion;
    std::wstring gpxNamespace;
    std::wstring garminNamespace;
    std::wstring garminPrefix;
    bool garminExtensions;
    std::unique_ptr<Impl> impl;
};
