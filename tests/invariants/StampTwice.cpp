// "Save a stamped picture twice in overwrite mode", which the command line
// cannot say: one document session stamps a picture, saves it over the
// original, changes its city and saves again. The second save must draw
// nothing: its image data is the first save's, and only the city differs.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "Checks.h"
#include "CorvaneDoc.h"
#include "FakeUserInterface.h"
#include "ImageData.h"
#include "ImageMetadataManipulationOperation.h"
#include "SettingsStore.h"
#include "StampCommands.h"
#include "StringUtil.h"
#include "TestSupport.h"
#include "Workspace.h"

namespace invariants {

namespace {

void SetCity(CCorvaneDoc& doc, int index, const std::wstring& city)
{
    std::vector<MetadataChange> changes(1);
    changes[0].Operation = std::make_unique<CImageMetadataManipulationOperation>();
    changes[0].Updates.push_back(std::make_unique<UpdateEntry>());
    changes[0].Updates.back()->Field = CityField;
    changes[0].Updates.back()->SetText(city);
    doc.ApplyMetadataChange({index}, std::move(changes));
}

}  // namespace

void RunStampTwice(const Edit& edit, const std::vector<Picture>& pictures, const std::map<fs::path, Reading>& before,
                   const fs::path& folder, std::map<std::string, std::vector<Finding>>& findings)
{
    std::vector<Picture> stamped;
    for (const Picture& p : pictures)
        if (HasCoordinates(before.at(p.Original).ExifTool) && before.at(p.Original).Decodes) stamped.push_back(p);
    fs::create_directories(folder / "first");
    for (const Picture& p : stamped) {
        fs::copy_file(p.Original, folder / p.WorkName);
        fs::permissions(folder / p.WorkName, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    }

    CMemorySettingsStore settings;
    EnsureDefaultSettings(settings);
    settings.SetInt("OverwriteOriginalPics", 0);
    FakeUserInterface ui;
    CCorvaneDoc doc(ui, settings);
    ASSERT_EQ(doc.OnNavigationComplete(folder.string()), S_OK);
    doc.LoadFolder();
    std::vector<fs::path> firsts, seconds;
    std::vector<const Picture*> saved;
    for (const Picture& p : stamped) {
        auto note = [&](int n, const std::string& m) { findings[p.Relative].push_back({n, m}); };
        const int index = doc.FindItemByName(Utf8ToWide(p.WorkName));
        if (index < 0) {
            note(Outcome, "the document did not load the picture");
            continue;
        }
        const fs::path path = folder / p.WorkName;
        std::string error;
        if (!StampGPS({doc, ui, settings}, {index}) || FAILED(doc.SavePicture(index, "", false, &error))) {
            note(Outcome, "the stamped save failed: " + error);
            continue;
        }
        fs::copy_file(path, folder / "first" / p.WorkName);
        SetCity(doc, index, L"Twice");
        if (FAILED(doc.SavePicture(index, "", false, &error))) {
            note(Outcome, "the second save failed: " + error);
            continue;
        }
        firsts.push_back(folder / "first" / p.WorkName);
        seconds.push_back(path);
        saved.push_back(&p);
    }
    std::vector<fs::path> all = firsts;
    all.insert(all.end(), seconds.begin(), seconds.end());
    const auto readings = ReadNow(all);
    for (size_t i = 0; i < saved.size(); ++i) {
        auto& list = findings[saved[i]->Relative];
        // The first save is the reference: the second changes the city only.
        for (const Finding& f : CompareReadings(edit, readings.at(firsts[i]), readings.at(seconds[i]), saved[i]->IsTiff))
            list.push_back(f);
        if (ImageDataOf(firsts[i]) != ImageDataOf(seconds[i]))
            list.push_back({ImageDataKept, "the second save changed the image data again (the stamp was drawn again)"});
    }
}

}  // namespace invariants
