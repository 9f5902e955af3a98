#include "GPXFilesEncoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "GPXElementWriter.h"
#include "GPXNamespaces.h"
#include "HiddenTemporary.h"
#include "ReplaceTarget.h"
#include "StringUtil.h"
#include "UniqueFd.h"
#include "UnfinishedFiles.h"
#include "XmlPullReader.h"
#include "XmlStreamWriter.h"

namespace {

const char* const kProgram = "velloc";

std::string DescribeFailure(HRESULT hr)
{
    if (hr == E_FAIL)
        return "writing was abandoned";
    if ((static_cast<unsigned>(hr) & 0xFFFF0000u) == 0x80070000u)
        return std::strerror(static_cast<int>(static_cast<unsigned>(hr) & 0xFFFFu));
    char text[32];
    std::snprintf(text, sizeof text, "status 0x%08x", static_cast<unsigned>(hr));
    return text;
}

void SyncFolder(const std::string& folder)
{
    CUniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());  // makes the rename itself durable
}

}  // namespace

struct CGPXFilesEncoder::Impl {
    CXmlStreamWriter writer;
    ReplaceTarget target;
    std::string temporary;  // until it is put in place or removed
    CUniqueFd modeFd;       // the temporary file, given the replaced file's mode last
    int slot = -1;          // among the unfinished files a signal handler removes
    bool open = false;      // initialised, not yet finalised
    bool abandoned = false;
    std::string errorText;

    ~Impl() { Discard(); }

    void Discard()
    {
        if (temporary.empty())
            return;
        writer.Close();
        modeFd.Close();
        ::unlink(temporary.c_str());
        temporary.clear();
        UnregisterUnfinishedFile(slot);
        slot = -1;
    }

    HRESULT Fail(HRESULT hr, const std::string& text)
    {
        errorText = text;
        Discard();
        return hr;
    }

    // Creates the temporary file beside the target, checked and given the
    // target's owner and attributes; the writer writes into it.
    HRESULT Create(const std::string& path)
    {
        std::string error;
        HRESULT hr = ResolveReplaceTarget(path, target, &error);
        if (FAILED(hr))
            return Fail(hr, error);
        const std::string folder = FolderOfPath(target.Path);
        RemoveStaleTemporaries(folder, kProgram);
        if (target.Exists && IsReadOnlyFile(target.Path, target.Status))
            return Fail(HResultFromErrno(EACCES), "read-only");
        CUniqueFd fd(CreateHiddenTemporary(folder, kProgram, NameOfPath(target.Path), target.Exists ? 0600 : 0666,
                                           temporary));
        if (fd.Get() < 0)
            return Fail(HResultFromErrno(errno), "cannot create a temporary file in " + folder + ": " +
                                                     std::strerror(errno));
        slot = RegisterUnfinishedFile(temporary);
        if (target.Exists) {
            if (!KeepOwnerAndAttributes(target.Path, target.Status, fd.Get(), &error))
                return Fail(HResultFromErrno(EPERM), error);
            modeFd.Reset(::dup(fd.Get()));
            if (modeFd.Get() < 0)
                return Fail(HResultFromErrno(errno), std::strerror(errno));
        }
        return writer.OpenDescriptor(fd.Release(), true);
    }

    // Closes the temporary file and renames it over the target.
    HRESULT Place(HRESULT hr)
    {
        std::string error;
        if (SUCCEEDED(hr) && target.Exists && !KeepModeOf(target.Status, modeFd.Get(), &error))
            return Fail(HResultFromErrno(EPERM), error);
        const HRESULT closed = writer.Close();
        if (SUCCEEDED(hr))
            hr = closed;
        if (FAILED(hr))
            return Fail(hr, DescribeFailure(hr));
        // Something else put at the path since (a link, a FIFO) is not replaced.
        struct stat now;
        if (::lstat(target.Path.c_str(), &now) == 0 && !S_ISREG(now.st_mode))
            return Fail(E_NOT_REGULAR_FILE, "not a regular file");
        if (std::rename(temporary.c_str(), target.Path.c_str()) != 0)
            return Fail(HResultFromErrno(errno), std::strerror(errno));
        temporary.clear();
        modeFd.Close();
        UnregisterUnfinishedFile(slot);
        slot = -1;
        SyncFolder(FolderOfPath(target.Path));
        return S_OK;
    }
};

CGPXFilesEncoder::CGPXFilesEncoder(const std::wstring& path_, const std::wstring& applicationName_,
                                   const std::wstring& applicationVersion_, bool garminExtensions_)
    : path(path_),
      applicationName(applicationName_),
      applicationVersion(applicationVersion_),
      gpxNamespace(kGpxNamespace),
      garminNamespace(kGarminNamespace),
      garminPrefix(L"garmin"),
      garminExtensions(garminExtensions_)
{
}

CGPXFilesEncoder::~CGPXFilesEncoder() = default;

long CGPXFilesEncoder::Initialize()
{
    impl = std::make_unique<Impl>();
    HRESULT hr = impl->Create(WideToUtf8(path));
    if (FAILED(hr))
        return hr;
    CXmlStreamWriter& w = impl->writer;
    const std::wstring none;
    const std::wstring creator = applicationName + L" v" + applicationVersion;
    const HRESULT steps[] = {
        w.WriteStartDocument("no"),
        w.WriteStartElement(none, L"gpx", gpxNamespace),
        w.WriteAttributeString(none, L"creator", none, creator),
        w.WriteAttributeString(none, L"version", none, L"1.1"),
        garminExtensions ? w.WriteAttributeString(L"xmlns", garminPrefix, none, garminNamespace) : S_OK,
        w.WriteAttributeString(L"xmlns", L"xsi", none, kSchemaInstanceNamespace),
        w.WriteAttributeString(L"xsi", L"schemaLocation", kSchemaInstanceNamespace,
                               gpxNamespace + L" " + gpxNamespace + L"/gpx.xsd"),
    };
    // The writer stays failed after its first failure, so the later steps
    // only repeat that code; the first one is the answer.
    for (HRESULT step : steps)
        if (FAILED(step))
            return impl->Fail(step, DescribeFailure(step));
    impl->open = true;
    return steps[std::size(steps) - 1];
}

long CGPXFilesEncoder::WriteGpxRoot(GPXRoot* root)
{
    if (!root)
        return E_ABORT;
    if (!impl || !impl->open)
        return E_FAIL;  // not initialised
    // The writer keeps its first failure, so its status after an item is
    // the status of that item.
    HRESULT hr = E_ABORT;
    try {
        CGPXElementWriter items(impl->writer, garminExtensions);
        if (root->metadata) {
            items.Metadata(*root->metadata);
            hr = impl->writer.Status();
        }
        for (const GPXWayPoint* point : root->wpt) {
            items.WayPoint(*point);
            hr = impl->writer.Status();
        }
        for (const GPXRoute* route : root->rte) {
            items.Route(*route);
            hr = impl->writer.Status();
        }
        for (const GPXTrack* track : root->trk) {
            items.Track(*track);
            hr = impl->writer.Status();
        }
    } catch (...) {
        impl->abandoned = true;  // what was written so far is not a whole file
        throw;
    }
    return hr;
}

long CGPXFilesEncoder::Finalize()
{
    if (!impl || !impl->open)
        return E_FAIL;
    impl->open = false;
    CXmlStreamWriter& w = impl->writer;
    HRESULT hr = impl->abandoned ? E_FAIL : w.WriteFullEndElement();
    if (SUCCEEDED(hr))
        hr = w.WriteEndDocument();
    return impl->Place(hr);
}

std::wstring CGPXFilesEncoder::GetErrorText() const
{
    return impl ? Utf8ToWide(impl->errorText) : std::wstring();
}

void CGPXFilesEncoder::RemoveUnfinishedFiles()
{
    ::RemoveUnfinishedFiles();
}
