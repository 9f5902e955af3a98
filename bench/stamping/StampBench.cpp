// Stamps the GPS band onto one picture and saves it, as a save with a GPS
// stamp pending does: usage: bench-stamp IN OUT. Prints the seconds the save
// took. With "--text IN" it prints the stamp's text instead, for the peers.
#include <chrono>
#include <cstdio>
#include <string>

#include <QGuiApplication>

#include "GeoTagFile.h"
#include "GeoTagMetadataDecoder.h"
#include "StampText.h"
#include "StringUtil.h"
#include "StampedSave.h"
#include "StampingOperations.h"

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--text") {
        CMemorySettingsStore settings;
        WriteDefaultSettings(settings);
        std::string error;
        auto picture = CPictureMetadata::OpenFile(argv[2], &error);
        if (!picture) return 1;
        CGeoTagMetadataDecoder decoder(picture->Root(), picture->Format());
        std::printf("%s\n", WideToUtf8(CStampTextComposer(settings).ComposeGPSStampText(decoder)).c_str());
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench-stamp IN OUT\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    CMemorySettingsStore settings;
    WriteDefaultSettings(settings);
    std::wstring fontError;
    auto stamp = CImageGPSStampingOperation::Create(settings, &fontError);
    std::string error;
    auto record = ReadGeoTag(argv[1], nullptr, &error);
    if (!stamp || !record) {
        std::fprintf(stderr, "bench-stamp: %s\n", stamp ? error.c_str() : "no font");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const HRESULT hr = SaveStampedPicture(argv[1], argv[2], *record, {{stamp.get(), L""}}, &error);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (FAILED(hr)) {
        std::fprintf(stderr, "bench-stamp: %s\n", error.c_str());
        return 1;
    }
    std::printf("%.3f\n", took.count());
    return 0;
}
