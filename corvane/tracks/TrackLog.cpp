#include "TrackLog.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "GPXFilesDecoder.h"
#include "StatusException.h"
#include "StringUtil.h"

namespace {

TrackFix FixOf(const GPXTrackPoint& point)
{
    TrackFix fix;
    fix.Time = static_cast<double>(*point.time) + (point.timeFraction ? *point.timeFraction : 0.0);
    fix.Latitude = point.lat;
    fix.Longitude = point.lon;
    fix.Elevation = point.ele && std::isfinite(*point.ele) ? *point.ele : std::numeric_limits<double>::quiet_NaN();
    return fix;
}

// The decoded tree of a long track is far larger than its fixes: it is
// freed as soon as the fixes are taken.
bool Decode(const std::string& path, std::unique_ptr<GPXRoot>& root, CTrackLog::Counts& counts, std::string& error)
{
    try {
        CGPXFilesDecoder decoder(Utf8OrLatin1ToWide(path));
        const long opened = decoder.Initialize();
        if (opened < 0) {
            const int code = static_cast<int>(opened & 0xFFFF);
            error = std::string("cannot be read (") + std::strerror(code ? code : EIO) + ")";
            return false;
        }
        GPXRoot* tree = nullptr;
        const long hr = decoder.ReadGPXRoot(&tree);
        root.reset(tree);
        if (hr != 0) {
            error = WideToUtf8(decoder.GetErrorText());
            if (error.empty()) error = "not a GPX file";
            return false;
        }
        counts.Invalid += decoder.GetInvalidPointCount();
        counts.OutOfRange += decoder.GetSkippedTimeCount();
        return true;
    } catch (const CStatusException& e) {
        error = e.Error() == E_INVALIDARG ? "it holds a time that does not exist" : "it holds a time that is no time";
        return false;
    } catch (const std::bad_alloc&) {
        error = "it is too large to be read";
        return false;
    }
}

}  // namespace

bool CTrackLog::AddFile(const std::string& path, std::string& error)
{
    std::unique_ptr<GPXRoot> root;
    Counts counts;
    if (!Decode(path, root, counts, error)) return false;
    std::vector<std::vector<TrackFix>> found;
    for (const GPXTrack* track : root->trk)
        for (const GPXTrackSegment* segment : track->trkseg) {
            std::vector<TrackFix> fixes;
            fixes.reserve(segment->trkpt.size());
            for (const GPXTrackPoint* point : segment->trkpt) {
                if (point->time)
                    fixes.push_back(FixOf(*point));
                else
                    ++counts.Untimed;
            }
            if (!fixes.empty()) found.push_back(std::move(fixes));
        }
    root.reset();
    if (found.empty()) {
        error = "it has no track point with a time";
        return false;
    }
    counts_.Untimed += counts.Untimed;
    counts_.Invalid += counts.Invalid;
    counts_.OutOfRange += counts.OutOfRange;
    for (auto& fixes : found) AddSegment(std::move(fixes));
    files_.push_back(path);
    return true;
}

void CTrackLog::AddSegment(std::vector<TrackFix> fixes)
{
    // Loggers write in time order, but merged or edited files need not.
    std::stable_sort(fixes.begin(), fixes.end(), [](const TrackFix& a, const TrackFix& b) { return a.Time < b.Time; });
    // Two fixes at one time cannot both be interpolated from: the later one
    // in the file (the logger's correction) is kept.
    std::vector<TrackFix> kept;
    kept.reserve(fixes.size());
    for (const TrackFix& fix : fixes) {
        if (!kept.empty() && kept.back().Time == fix.Time) {
            kept.back() = fix;
            ++counts_.SameTime;
        } else {
            kept.push_back(fix);
        }
    }
    if (kept.empty()) return;
    counts_.Points += kept.size();
    segments_.push_back(std::move(kept));
}
