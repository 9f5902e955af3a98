// geotag: the pictures placed from GPS tracks by their capture time, one
// picture at a time (read once, placed, staged), the staged files saved
// together as set saves them.
#include <QByteArray>
#include <filesystem>
#include <iostream>

#include "CaptureTime.h"
#include "CliCommands.h"
#include "CliGeotag.h"
#include "CliInputs.h"
#include "CliOutputClaims.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "Interruption.h"
#include "TrackGeotagging.h"
#include "TrackLog.h"
#include "TrackMatcher.h"

namespace fs = std::filesystem;

namespace {

// Every track, or nothing: a track that cannot be read would leave pictures
// unplaced (or placed from the others only) without the user knowing.
bool LoadTracks(const std::vector<std::string>& paths, CTrackLog& log)
{
    bool ok = true;
    for (const std::string& path : paths) {
        std::string error;
        if (!log.AddFile(path, error)) {
            std::cerr << path << ": cannot be used as a track: " << error << "\n";
            ok = false;
        }
    }
    if (!ok) return false;
    const CTrackLog::Counts& c = log.Totals();
    const std::size_t segments = log.Segments().size();
    std::cout << "tracks: " << c.Points << " fixes in " << segments << (segments == 1 ? " segment" : " segments")
              << " of " << paths.size() << (paths.size() == 1 ? " file" : " files");
    if (c.Untimed) std::cout << ", " << c.Untimed << " points without time left out";
    if (c.Invalid) std::cout << ", " << c.Invalid << " points with invalid coordinates left out";
    if (c.OutOfRange) std::cout << ", " << c.OutOfRange << " times out of range left out";
    if (c.SameTime) std::cout << ", " << c.SameTime << " points at a time already taken left out";
    std::cout << "\n";
    return true;
}

// The camera clock's error from the true time a picture shows.
bool SynchroniseClock(const ClockSync& sync, GeotagSettings& settings)
{
    std::string error;
    const auto picture = OpenPictureForEdit(sync.Picture, &error);
    if (!picture) {
        std::cerr << sync.Picture << ": cannot synchronise the clock with it: " << error << "\n";
        return false;
    }
    const auto record = DecodeGeoTag(*picture);
    const CaptureStamp stamp = StampForRecord(ReadCaptureStamp(*picture->Root(), picture->Format()),
                                              record ? record->DateTaken : nullptr);
    double trueUtc = 0;
    ParseInstant(sync.Time, settings.Clock.Zone, trueUtc);  // its form was checked with the options
    const auto correction = ClockCorrectionFor(stamp, settings.Clock, trueUtc);
    if (!correction) {
        std::cerr << sync.Picture << ": cannot synchronise the clock with it: it has no date taken\n";
        return false;
    }
    settings.Clock.Correction = *correction;
    std::cout << "camera clock: " << FormatCorrection(*correction) << " (from " << sync.Picture << ")\n";
    return true;
}

bool BuildSettings(const CliOptions& o, GeotagSettings& settings)
{
    if (o.TimeZone) settings.Clock.Zone = QTimeZone(QByteArray::fromStdString(*o.TimeZone));
    if (o.ClockOffset) settings.Clock.Correction = *o.ClockOffset;
    if (o.MaxGap) settings.Limits.MaxGap = *o.MaxGap;
    if (o.MaxOutside) settings.Limits.MaxOutside = *o.MaxOutside;
    settings.ReplaceCoordinates = o.Overwrite;
    return !o.Sync || SynchroniseClock(*o.Sync, settings);
}

std::string ZoneText(const CaptureInstant& capture, const GeotagSettings& settings)
{
    return FormatOffset(capture.OffsetSeconds) +
           (capture.OffsetFromPicture ? " from the picture" : " " + settings.Clock.Zone.id().toStdString());
}

// "taken 2013-05-07 12:04:00.5 (+02:00 Europe/Paris) = 2013-05-07T10:04:00.5Z, "
std::string CaptureText(const CaptureStamp& stamp, const PicturePlacement& p, const GeotagSettings& settings)
{
    if (!p.Capture) return {};
    std::string text = "taken " + FormatCameraTime(stamp) + " (" + ZoneText(*p.Capture, settings) + ")";
    if (settings.Clock.Correction != 0) text += " " + FormatCorrection(settings.Clock.Correction);
    return text + " = " + FormatUtc(p.Capture->Utc) + ", ";
}

std::string NotPlacedText(const PicturePlacement& p)
{
    std::string text = "not placed: " + ResultText(p);
    if (p.Result == PlacementResult::AlreadyGeotagged) return text + " (give --overwrite to replace its coordinates)";
    if (p.Capture && p.Match.Outcome != MatchOutcome::NoTrack)
        text += " (nearest fix " + DurationText(p.Match.NearestFix) + " away)";
    return text;
}

std::string PlacedText(const PicturePlacement& p, bool dryRun)
{
    return std::string(dryRun ? "would be placed at " : "placed at ") + PositionText(p.Match) + " (" + ResultText(p) +
           ", nearest fix " + DurationText(p.Match.NearestFix) + " away)";
}

std::string TargetPath(const CliOptions& o, const std::string& path)
{
    if (o.OutDir.empty()) return path;
    return (fs::path(o.OutDir) / fs::path(path).filename()).string();
}

struct Run {
    const CliOptions& Options;
    const CTrackMatcher& Matcher;
    const GeotagSettings& Settings;
    COutputClaims& Claims;
    CAtomicFileBatch Batch;
    std::vector<std::string> Staged;
    PlacementSummary Summary;
    int Failed = 0;

    void Fail(const std::string& path, const std::string& reason)
    {
        std::cerr << path << ": " << reason << "\n";
        ++Failed;
    }

    void Picture(const std::string& path);
    void Save(const std::string& path, CPictureMetadata& picture, CGPSMetadataInfo& version,
              std::unique_ptr<CLockedSource> source);
};

void Run::Picture(const std::string& path)
{
    std::string error;
    std::unique_ptr<CLockedSource> source;
    std::unique_ptr<CPictureMetadata> picture;
    bool committed = true;
    if (SUCCEEDED(LockForEdit(path, Batch, Staged, committed, source, error)))
        picture = OpenPictureForEdit(*source, &error);
    if (!committed) ++Failed;
    if (!picture) return Fail(path, error);
    std::unique_ptr<CGPSMetadataInfo> version = DecodeGeoTag(*picture);
    if (!version) return Fail(path, "unreadable: its geotag cannot be read");
    const CaptureStamp stamp =
        StampForRecord(ReadCaptureStamp(*picture->Root(), picture->Format()), version->DateTaken);
    const PicturePlacement placement =
        PlacePicture(stamp, version->Latitude && version->Longitude, Matcher, Settings);
    Summary.Add(placement);
    const std::string said = path + ": " + CaptureText(stamp, placement, Settings);
    if (placement.Result != PlacementResult::Placed) {
        std::cout << said << NotPlacedText(placement) << "\n";
        return;
    }
    auto entries = PlacementEntries(placement);
    std::vector<UpdateEntry*> raw;
    for (auto& e : entries) raw.push_back(e.get());
    CImageMetadataManipulationOperation operation;
    std::vector<std::int32_t> changed;
    operation.AttachRecord(version.get());
    operation.ApplyUpdates(raw.data(), static_cast<int>(raw.size()), changed);
    operation.Uninitialize();
    std::cout << said << PlacedText(placement, Options.DryRun) << (changed.empty() ? ", no change" : "") << "\n";
    if (!changed.empty() && !Options.DryRun) Save(path, *picture, *version, std::move(source));
}

void Run::Save(const std::string& path, CPictureMetadata& picture, CGPSMetadataInfo& version,
               std::unique_ptr<CLockedSource> source)
{
    const std::string target = TargetPath(Options, path);
    std::string error;
    if (!Claims.Claim(path, target, error)) return Fail(path, error);
    std::vector<std::string> warnings;
    if (FAILED(SaveGeoTag(picture, target, version, &error, &Batch, &warnings, std::move(source))))
        return Fail(path, error);
    for (const auto& warning : warnings) std::cerr << path << ": warning: " << warning << "\n";
    Staged.push_back(target);
    if (Batch.Full() && !CommitBatch(Batch, Staged)) ++Failed;
}

}  // namespace

int RunGeotag(const CliOptions& o)
{
    CTrackLog log;
    GeotagSettings settings;
    if (!LoadTracks(o.Tracks, log) || !BuildSettings(o, settings)) {
        std::cerr << "corvane-cli: no picture was changed\n";
        return 1;
    }
    std::error_code ec;
    if (!o.OutDir.empty() && !o.DryRun && !fs::is_directory(o.OutDir, ec) && !fs::create_directories(o.OutDir, ec)) {
        std::cerr << o.OutDir << ": write failed: cannot create the folder (" << ec.message() << ")\n";
        return 1;
    }
    const ExpandedInputs inputs = ExpandInputs(o.Inputs);
    bool ok = ReportInputProblems(inputs.Problems);
    const CTrackMatcher matcher(log);
    COutputClaims claims(inputs.Files);
    Run run{o, matcher, settings, claims, {}, {}, {}, 0};
    for (const std::string& path : inputs.Files) {
        if (InterruptSignal()) break;  // the files staged so far are still committed below
        run.Picture(path);
    }
    if (!CommitBatch(run.Batch, run.Staged)) ++run.Failed;
    std::cout << "geotag: " << run.Summary.Text();
    if (run.Failed) std::cout << ", " << run.Failed << " failed";
    std::cout << "\n";
    return ok && run.Failed == 0 ? 0 : 1;
}
