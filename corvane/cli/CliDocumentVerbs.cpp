#include "CliDocumentVerbs.h"

#include <filesystem>
#include <iostream>
#include <map>

#include <QCoreApplication>
#include <memory>

#include "CliInputs.h"
#include "CliOutputClaims.h"
#include "ConsoleUserInterface.h"
#include "CorvaneDoc.h"
#include "GeoTagFile.h"
#include "Interruption.h"
#include "GeocodingSettings.h"
#include "MetadataTable.h"
#include "QtSettingsStore.h"
#include "StampCommands.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

// The pictures given, grouped by their folder, in the order given.
std::map<std::string, std::vector<std::string>> ByFolder(const std::vector<std::string>& files)
{
    std::map<std::string, std::vector<std::string>> folders;
    for (const auto& f : files) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(f, ec).lexically_normal();
        folders[absolute.parent_path().string()].push_back(absolute.string());
    }
    return folders;
}

// A document holding the named pictures of one folder; `Picked` are those
// whose geotag could be read (the others are named on standard error).
struct LoadedFolder {
    LoadedFolder(IDocumentUserInterface& ui, ISettingsStore& settings, const std::string& folder,
                 const std::vector<std::string>& paths)
        : Doc(ui, settings)
    {
        Doc.OnNavigationComplete(folder);
        Doc.LoadPictures(paths);
        for (int index = 0; index < Doc.Count(); ++index) {
            if (Doc.Item(index).Current()) {
                Picked.push_back(index);
                continue;
            }
            std::string error = "unreadable";
            ReadGeoTag(Doc.Item(index).Path, nullptr, &error);  // for the reason
            std::cerr << Doc.Item(index).Path << ": " << error << "\n";
        }
    }
    bool AllPicked() const { return static_cast<int>(Picked.size()) == Doc.Count(); }
    CCorvaneDoc Doc;
    std::vector<int> Picked;
};

std::string TargetOf(const CliOptions& o, const CCorvaneDoc& doc, int index)
{
    if (o.OutDir.empty()) return doc.DestinationOf(index);
    return (fs::path(o.OutDir) / fs::path(doc.Item(index).Path).filename()).string();
}

std::string ChangedNames(const PictureItem& item)
{
    std::vector<bool> seen(GeoFieldCount, false);
    for (const auto& list : item.ChangedFieldLists)
        for (std::int32_t f : list)
            if (f >= 0 && f < GeoFieldCount) seen[static_cast<size_t>(f)] = true;
    std::string names;
    for (int f = 0; f < GeoFieldCount; ++f) {
        if (!seen[static_cast<size_t>(f)]) continue;
        if (!names.empty()) names += ", ";
        names += WideToUtf8(MetadataTable::ColumnTitle(f));
    }
    return names;
}

// What a save of the picture would do, for --dry-run.
std::string WhatWouldChange(const PictureItem& item, const std::string& stamp)
{
    std::string what;
    if (!stamp.empty())
        for (const PendingOperation& p : item.PendingOperations)
            if (p.Operation && !p.Operation->IsMetadataOperation()) what = "draw the " + stamp + " stamp";
    const std::string fields = ChangedNames(item);
    if (!fields.empty()) what += (what.empty() ? "change " : " and change ") + fields;
    return what;
}

// Saves the pictures with unsaved changes, into --out when given; with
// --dry-run, says what each save would do instead.
bool SaveTouched(const CliOptions& o, CCorvaneDoc& doc, COutputClaims& claims, const std::string& stamp = {})
{
    bool ok = true;
    for (int i = 0; i < doc.Count() && !InterruptSignal(); ++i) {
        if (!doc.HasUnsavedChangesAt(i)) continue;
        const std::string target = TargetOf(o, doc, i);
        std::string error;
        if (!target.empty() && !claims.Claim(doc.Item(i).Path, target, error)) {
            std::cerr << doc.Item(i).Path << ": " << error << "\n";
            ok = false;
        } else if (o.DryRun && target.empty()) {
            std::cerr << doc.Item(i).Path << ": would " << WhatWouldChange(doc.Item(i), stamp)
                      << ", but the settings name no place to save it\n";
            ok = false;
        } else if (o.DryRun) {
            std::cout << doc.Item(i).Path << ": would " << WhatWouldChange(doc.Item(i), stamp) << ", then save to "
                      << target << "\n";
        } else {
            std::vector<std::wstring> leftOut;
            const HRESULT hr = doc.SavePicture(i, o.OutDir.empty() ? std::string() : target, false, &error, &leftOut);
            // A stamp left out is work not done: named with its reason, and the run fails.
            for (const std::wstring& note : leftOut) std::cerr << doc.Item(i).Path << ": " << WideToUtf8(note) << "\n";
            if (!leftOut.empty()) ok = false;
            if (FAILED(hr)) {
                std::cerr << doc.Item(i).Path << ": " << error << "\n";
                ok = false;
            } else if (hr == S_FALSE) {
                std::cerr << doc.Item(i).Path << ": not saved: nothing else to save\n";
            } else {
                std::cout << target << ": saved\n";
            }
        }
        for (const auto& warning : doc.TakeSaveWarnings())
            std::cerr << warning.Path << ": warning: " << WideToUtf8(warning.Text) << "\n";
    }
    return ok;
}

// The address cache's database driver is loaded through Qt's application object.
std::unique_ptr<QCoreApplication> EnsureApplication()
{
    if (QCoreApplication::instance()) return nullptr;
    static int argc = 1;
    static char name[] = "corvane-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QCoreApplication>(argc, argv);
}

}  // namespace

int RunGeocode(const CliOptions& o)
{
    const auto application = EnsureApplication();
    const ExpandedInputs inputs = ExpandInputs(o.Inputs);
    bool ok = ReportInputProblems(inputs.Problems);
    CQtSettingsStore stored;
    EnsureDefaultSettings(stored);
    COverlaySettingsStore settings(stored);
    if (o.Server) settings.SetString("GeoNamesServer", Utf8ToWide(*o.Server));
    if (o.User) settings.SetString("GeoNamesUser", Utf8ToWide(*o.User));
    if (o.Offline) settings.SetString("AddressSource", L"Offline");
    if (!o.OutDir.empty()) settings.SetInt("OverwriteOriginalPics", 0);
    const GeocodingConfig config = ReadGeocodingConfig(settings);
    if (config.Source == AddressSource::Online && config.Service.user.empty()) {
        std::cerr << "corvane-cli: no GeoNames account is set: make a free one on the GeoNames web site, enable its "
                     "web services there, and give it with --user NAME (or as GeoNamesUser in the settings); "
                     "or use --offline\n";
        return 1;
    }
    CConsoleUserInterface ui;
    COutputClaims claims(inputs.Files);
    for (const auto& [folder, paths] : ByFolder(inputs.Files)) {
        if (InterruptSignal()) break;
        LoadedFolder loaded(ui, settings, folder, paths);
        ok = loaded.AllPicked() && ok;
        if (loaded.Picked.empty()) continue;
        if (o.Places) loaded.Doc.SetPlacesIndexPath(*o.Places);
        if (!loaded.Doc.ReverseGeocode(loaded.Picked)) {
            ok = false;
            continue;
        }
        // Pictures the service stopped answering, or nothing could answer, failed.
        if (loaded.Doc.LastAddressRun().NotAnswered > 0) ok = false;
        for (int index : loaded.Picked)
            if (!loaded.Doc.HasUnsavedChangesAt(index)) std::cout << loaded.Doc.Item(index).Path << ": no change\n";
        ok = SaveTouched(o, loaded.Doc, claims) && ok;
    }
    return ok ? 0 : 1;
}

int RunStamp(CliOptions o)
{
    if (o.Inputs.empty()) return 2;
    const std::string kind = o.Inputs.front();
    o.Inputs.erase(o.Inputs.begin());
    std::wstring title;
    if (kind == "title" && !o.Inputs.empty()) {
        title = Utf8ToWide(o.Inputs.front());
        o.Inputs.erase(o.Inputs.begin());
    }
    if ((kind != "gps" && kind != "title" && kind != "address") || o.Inputs.empty() ||
        (kind == "title" && title.empty())) {
        std::cerr << "corvane-cli: stamp gps|address|title TEXT, then pictures or folders\n" << CliUsage();
        return 2;
    }
    const ExpandedInputs inputs = ExpandInputs(o.Inputs);
    bool ok = ReportInputProblems(inputs.Problems);
    CQtSettingsStore stored;
    EnsureDefaultSettings(stored);
    COverlaySettingsStore settings(stored);
    const char* locationKey = kind == "gps" ? "GPSStampngLocation" : kind == "title" ? "TitleStampngLocation"
                                                                                      : "AddrStampngLocation";
    if (o.StampLocation) settings.SetString(locationKey, *o.StampLocation);
    if (o.StampUse) settings.SetString("UseOfStamping", *o.StampUse);
    if (o.Server) settings.SetString("GeoNamesServer", Utf8ToWide(*o.Server));
    if (o.User) settings.SetString("GeoNamesUser", Utf8ToWide(*o.User));
    CConsoleUserInterface ui;
    COutputClaims claims(inputs.Files);
    const std::string stampName = kind == "gps" ? "GPS" : kind;
    for (const auto& [folder, paths] : ByFolder(inputs.Files)) {
        if (InterruptSignal()) break;
        LoadedFolder loaded(ui, settings, folder, paths);
        ok = loaded.AllPicked() && ok;
        if (loaded.Picked.empty()) continue;  // each was named with its reason
        const StampCommandContext context{loaded.Doc, ui, settings};
        bool queued = false;
        if (kind == "gps") {
            queued = StampGPS(context, loaded.Picked);
        } else if (kind == "address") {
            queued = StampAddress(context, loaded.Picked);
        } else {
            queued = StampTitle(context, loaded.Picked, [&](std::wstring& t, bool& rtl) {
                t = title;
                rtl = o.RightToLeft;
                return true;
            });
        }
        if (!queued) {
            ok = false;
            continue;
        }
        ok = SaveTouched(o, loaded.Doc, claims, stampName) && ok;
    }
    return ok ? 0 : 1;
}
