#include "GPXFilesEncoder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "GPXElementWriter.h"
#include "GPXNamespaces.h"
#include "StringUtil.h"
#include "XmlPullReader.h"
#include "XmlStreamWriter.h"

namespace {

// Creates an empty file beside `target` under a name nobody else holds.
HRESULT CreateTemporaryBeside(const std::string& target, std::string& created)
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        std::string candidate = target + suffix;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            created = std::move(candidate);
            return S_OK;
        }
        if (errno != EEXIST)
            return HResultFromErrno(errno);
    }
    return HResultFromErrno(EEXIST);
}

}  // namespace

struct CGPXFilesEncoder::Impl {
    CXmlStreamWriter writer;
    std::string target;
    std::string temporary;
    bool abandoned = false;
    ~Impl()
    {
        if (!temporary.empty()) {
            writer.Close();
            std::remove(temporary.c_str());
        }
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
    auto state = std::make_unique<Impl>();
    state->target = WideToUtf8(path);
    HRESULT hr = CreateTemporaryBeside(state->target, state->temporary);
    if (FAILED(hr))
        return hr;
    CXmlStreamWriter& w = state->writer;
    const std::wstring none;
    const std::wstring creator = applicationName + L" v" + applicationVersion;
    const HRESULT steps[] = {
        w.OpenFile(state->temporary, true),
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
            return step;
    impl = std::move(state);
    return steps[std::size(steps) - 1];
}

long CGPXFilesEncoder::WriteGpxRoot(GPXRoot* root)
{
    if (!root)
        return E_ABORT;
    if (!impl)
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
    if (!impl)
        return E_FAIL;
    CXmlStreamWriter& w = impl->writer;
    HRESULT hr = impl->abandoned ? E_FAIL : w.WriteFullEndElement();
    if (SUCCEEDED(hr))
        hr = w.WriteEndDocument();
    if (SUCCEEDED(hr))
        hr = w.Close();
    if (SUCCEEDED(hr) && std::rename(impl->temporary.c_str(), impl->target.c_str()) != 0)
        hr = HResultFromErrno(errno);
    if (SUCCEEDED(hr))
        impl->temporary.clear();  // now the target: nothing to remove
    impl.reset();
    return hr;
}
