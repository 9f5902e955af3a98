// Builds a small tree the way a caller does (fields set with new, points
// deleted with the tree), writes it, reads it back, and meets the decoder's
// refusal before Initialize: through the installed headers only.
#include <GPXFilesDecoder.h>
#include <GPXFilesEncoder.h>
#include <GPXModel.h>

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char** argv)
{
    const std::string path = std::string(argc > 1 ? argv[1] : "/tmp") + "/consumer.gpx";
    const std::wstring file(path.begin(), path.end());
    GPXRoot root;
    auto* track = new GPXTrack();
    auto* segment = new GPXTrackSegment();
    auto* point = new GPXTrackPoint();
    point->lat = 46.5;
    point->lon = 7.25;
    point->ele = new double(372.5);
    auto* extension = new GPXGARTrackPointExtension();
    extension->Temperature = new double(21.5);
    point->garminExtension = extension;
    segment->trkpt.push_back(point);
    track->trkseg.push_back(segment);
    root.trk.push_back(track);

    CGPXFilesEncoder encoder(file, L"consumer", L"1", true);
    if (encoder.Initialize() != S_OK || encoder.WriteGpxRoot(&root) < 0 || encoder.Finalize() < 0)
        return 1;

    CGPXFilesDecoder unready(file);
    try {
        GPXRoot* none = nullptr;
        unready.ReadGPXRoot(&none);
        return 2;
    } catch (const CUnInitializedException&) {
    }
    CGPXFilesDecoder decoder(file);
    GPXRoot* read = nullptr;
    if (decoder.Initialize() != S_OK || decoder.ReadGPXRoot(&read) != S_OK)
        return 3;
    std::unique_ptr<GPXRoot> back(read);
    const GPXTrackPoint* again = back->trk.at(0)->trkseg.at(0)->trkpt.at(0);
    const auto* garmin = static_cast<const GPXGARTrackPointExtension*>(again->garminExtension);
    if (!again->ele || *again->ele != 372.5 || !garmin || !garmin->Temperature || *garmin->Temperature != 21.5)
        return 4;
    std::remove(path.c_str());
    std::puts("velloc consumer ran");
    return 0;
}
