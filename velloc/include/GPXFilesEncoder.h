// Writes a GPXRoot tree as a GPX 1.1 file, with the Garmin GPX extensions v3
// when asked to. The tree is only read.
//
// Use: construct, Initialize, WriteGpxRoot once, Finalize. The file is built
// beside the target under a hidden temporary name (".velloc-NAME-XXXXXX")
// and replaces the target in one step when Finalize succeeds; an encoder
// destroyed before that, or whose writing failed, leaves the target as it
// was and removes its temporary file. Temporary files a killed program left
// are removed by the next encoder writing into that folder, an hour later.
//
// The target must be a regular file or not exist: a symbolic link stays a
// link and the file it points at is written; a FIFO, device or folder is
// refused, as is a file this process may not write. A replaced file keeps
// its owner, group, mode, ACLs and extended attributes, or is refused.
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

    // Why Initialize or Finalize failed, in words; empty when they did not.
    std::wstring GetErrorText() const;

    // For a program's signal handler: removes the temporary file of every
    // encoder of this process that has not finished. Async-signal-safe.
    static void RemoveUnfinishedFiles();

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
