#include "CliDocumentVerbs.h"

#include <filesystem>
#include <iostream>
#include <map>

#include <QCoreApplication>
#include <memory>

#include "AtomicFileWriter.h"
#include "ConsoleUserInterface.h"
#include "CorvaneDoc.h"
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
        const fs::path absolute = fs::absolute(f, ec);
        folders[absolute.parent_path().string()].push_back(absolute.filename().string());
    }
    return folders;
}

// A document with one folder loaded; `picked` are the indices of `names`.
struct LoadedFolder {
    LoadedFolder(IDocumentUserInterface& ui, ISettingsStore& settings, const std::string& folder,
                 const std::vector<std::string>& names)
        : Doc(ui, settings)
    {
        Doc.OnNavigationComplete(folder);
        Doc.LoadFolder();
        for (const auto& name : names) {
            const int index = Doc.FindItemByName(Utf8OrLatin1ToWide(name));
            if (index >= 0) Picked.push_back(index);
        }
    }
    CCorvaneDoc Doc;
    std::vector<int> Picked;
};

bool ExpandOrReport(const CliOptions& o, std::vector<std::string>& files)
{
    std::vector<std::string> missing;
    files = ExpandInputs(o.Inputs, missing);
    for (const auto& m : missing) std::cerr << m << ": unreadable: no such file or folder\n";
    return missing.empty();
}

// Saves the pictures with unsaved changes, into --out when given.
bool SaveTouched(const CliOptions& o, CCorvaneDoc& doc)
{
    bool ok = true;
    for (int i = 0; i < doc.Count(); ++i) {
        if (!doc.HasUnsavedChangesAt(i)) continue;
        std::string error;
        const std::string target =
            o.OutDir.empty() ? std::string() : (fs::path(o.OutDir) / fs::path(doc.Item(i).Path).filename()).string();
        if (FAILED(doc.SavePicture(i, target, false, &error))) {
            std::cerr << doc.Item(i).Path << ": " << error << "\n";
            ok = false;
        } else {
            std::cout << (target.empty() ? doc.DestinationOf(i) : target) << ": saved\n";
        }
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
    std::vector<std::string> files;
    bool ok = ExpandOrReport(o, files);
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
    for (const auto& [folder, names] : ByFolder(files)) {
        LoadedFolder loaded(ui, settings, folder, names);
        if (o.Places) loaded.Doc.SetPlacesIndexPath(*o.Places);
        if (!loaded.Doc.ReverseGeocode(loaded.Picked)) {
            ok = false;
            continue;
        }
        // Pictures the service stopped answering, or nothing could answer, failed.
        if (loaded.Doc.LastAddressRun().NotAnswered > 0) ok = false;
        for (int index : loaded.Picked)
            if (!loaded.Doc.HasUnsavedChangesAt(index)) std::cout << loaded.Doc.Item(index).Path << ": no change\n";
        if (!o.DryRun) ok = SaveTouched(o, loaded.Doc) && ok;
    }
    return ok ? 0 : 1;
}

int RunExportCsv(const CliOptions& o)
{
    if (o.Inputs.size() < 2) {
        std::cerr << "corvane-cli: export-csv needs pictures or folders and then the CSV file\n" << CliUsage();
        return 2;
    }
    CliOptions inputs = o;
    const std::string csvPath = inputs.Inputs.back();
    inputs.Inputs.pop_back();
    std::vector<std::string> files;
    bool ok = ExpandOrReport(inputs, files);
    CMemorySettingsStore settings;
    CConsoleUserInterface ui;
    std::vector<std::unique_ptr<LoadedFolder>> folders;
    std::vector<MetadataTable::Row> rows;
    for (const auto& [folder, names] : ByFolder(files)) {
        folders.push_back(std::make_unique<LoadedFolder>(ui, settings, folder, names));
        for (int index : folders.back()->Picked) {
            const PictureItem& item = folders.back()->Doc.Item(index);
            if (!item.Current()) {
                std::cerr << item.Path << ": unreadable\n";
                ok = false;
            }
            rows.push_back({item.Name, item.Current()});
        }
    }
    const std::wstring separator = o.Separator ? *o.Separator : MetadataTable::LocaleListSeparator();
    std::string error;
    if (FAILED(WriteFileAtomically(csvPath, MetadataTable::ToCsv(rows, separator), &error))) {
        std::cerr << csvPath << ": " << error << "\n";
        return 1;
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
    std::vector<std::string> files;
    bool ok = ExpandOrReport(o, files);
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
    for (const auto& [folder, names] : ByFolder(files)) {
        LoadedFolder loaded(ui, settings, folder, names);
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
        if (!o.DryRun) ok = SaveTouched(o, loaded.Doc) && ok;
    }
    return ok ? 0 : 1;
}
