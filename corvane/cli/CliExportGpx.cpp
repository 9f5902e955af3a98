// export-gpx: the geotagged pictures named, as GPX waypoints in the order
// they were taken.
#include <QByteArray>
#include <filesystem>
#include <iostream>

#include "CliCommands.h"
#include "CliGeotag.h"
#include "CliInputs.h"
#include "CliTargetFile.h"
#include "GeoTagFile.h"
#include "GpxWaypointExport.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

// A file named .gpx whose start is text, or any file that starts as GPX.
bool IsGpxContent(const std::string& name, const std::string& head)
{
    if (head.empty() || (head.find("<gpx") != std::string::npos && head.find('\0') == std::string::npos)) return true;
    return HasExtension(name, L".gpx") && head.find('\0') == std::string::npos;
}

struct ReadPicture {
    std::unique_ptr<CGPSMetadataInfo> Record;
    WaypointPicture Picture;
};

// The geotag and capture stamp of each picture; each one that cannot be
// read is named on standard error. True when none failed.
bool ReadPictures(const std::vector<std::string>& inputs, std::vector<ReadPicture>& pictures)
{
    const ExpandedInputs expanded = ExpandInputs(inputs);
    bool ok = ReportInputProblems(expanded.Problems);
    for (const std::string& path : expanded.Files) {
        std::string error;
        const auto opened = CPictureMetadata::OpenFile(path, &error);
        if (!opened || opened->Format() == PictureFormatOther) {
            std::cerr << path << ": " << (opened ? "not a JPEG or TIFF picture" : error) << "\n";
            ok = false;
            continue;
        }
        ReadPicture p;
        p.Record = DecodeGeoTag(*opened);
        p.Picture.Name = Utf8OrLatin1ToWide(fs::path(path).filename().string());
        p.Picture.Record = p.Record.get();
        p.Picture.Stamp = ReadCaptureStamp(*opened->Root(), opened->Format());
        pictures.push_back(std::move(p));
    }
    return ok;
}

}  // namespace

int RunExportGpx(const CliOptions& o)
{
    if (o.Inputs.size() < 2) {
        std::cerr << "corvane-cli: export-gpx needs pictures or folders and then the GPX file\n" << CliUsage();
        return 2;
    }
    const std::string gpxPath = o.Inputs.back();
    const TargetRefusal refusal = ExportTargetRefusal(gpxPath, o.Force, IsGpxContent, "GPX");
    if (!refusal.Reason.empty()) {
        std::cerr << "corvane-cli: export-gpx writes the waypoints to the file named last, and " << gpxPath << " "
                  << refusal.Reason << " (name the GPX file last"
                  << (refusal.Forceable ? ", or give --force to replace it" : "") << ")\n"
                  << CliUsage();
        return 2;
    }
    std::vector<ReadPicture> read;
    const bool ok = ReadPictures({o.Inputs.begin(), o.Inputs.end() - 1}, read);
    std::vector<WaypointPicture> pictures;
    for (const ReadPicture& p : read) pictures.push_back(p.Picture);
    CameraClock clock;
    if (o.TimeZone) clock.Zone = QTimeZone(QByteArray::fromStdString(*o.TimeZone));
    const WaypointTree tree = BuildWaypoints(pictures, clock);
    const std::string counted = std::to_string(tree.Waypoints) + " waypoints (" +
                                std::to_string(tree.WithoutCoordinates) + " pictures without coordinates left out)";
    // A file of no waypoint would only replace a good one.
    if (tree.Waypoints == 0) {
        std::cerr << gpxPath << ": not written: none of the pictures has coordinates\n";
        return 1;
    }
    if (o.DryRun) {
        std::cout << gpxPath << ": would write " << counted << "\n";
        return ok ? 0 : 1;
    }
    std::string error;
    if (!WriteWaypointFile(gpxPath, *tree.Root, error)) {
        std::cerr << gpxPath << ": " << error << "\n";
        return 1;
    }
    std::cout << gpxPath << ": " << counted << "\n";
    return ok ? 0 : 1;
}
