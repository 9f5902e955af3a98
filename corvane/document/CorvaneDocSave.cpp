// Saving pictures: where each goes, the metadata-only and stamped paths, Save As names and Save All.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "CorvaneDoc.h"
#include "GeoTagFile.h"
#include "StampedSave.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

const wchar_t* const kSaveAllContent = L"The application is performing the applied operations on the pictures";

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A sub-folder name must name one folder inside the picture's folder.
bool IsPlainFolderName(const std::string& name)
{
    return name != "." && name != ".." && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

}  // namespace

std::string CCorvaneDoc::DestinationOf(int index) const
{
    const PictureItem& item = Item(index);
    const int mode = ReadIntSetting(settings_, "OverwriteOriginalPics");
    if (mode == 0) return item.Path;
    if (mode != 1) return {};
    const std::string sub = WideToUtf8(ReadStringSetting(settings_, "ModifiedPicsLocation"));
    const fs::path original(item.Path);
    if (sub.empty()) return item.Path;
    if (!IsPlainFolderName(sub)) return {};
    return (original.parent_path() / sub / original.filename()).string();
}

std::string CCorvaneDoc::SaveAsPath(const std::string& chosen, int typeIndex)
{
    const fs::path path(chosen);
    const std::string extension = path.filename().has_extension() ? path.extension().string() : std::string();
    const std::string cut = chosen.substr(0, chosen.size() - extension.size());
    const std::string e = Lower(extension);
    if (typeIndex == 2) return cut + (e == ".tif" || e == ".tiff" ? extension : ".TIF");
    return cut + (e == ".jpg" || e == ".jpeg" || e == ".jpe" || e == ".jfif" ? extension : ".JPG");
}

HRESULT CCorvaneDoc::SavePicture(int index, const std::string& targetPath, bool force, std::string* error)
{
    if (index < 0 || index >= Count()) return E_INVALIDARG;
    PictureItem& item = Item(index);
    if (item.Saved && !force) return S_FALSE;
    if (item.History.empty()) {
        auto record = ReadGeoTag(item.Path, nullptr, error);
        if (!record) return E_FAIL;
        item.History.push_back(std::move(record));
    }
    std::string target = targetPath.empty() ? DestinationOf(index) : targetPath;
    if (target.empty()) {
        if (error) *error = "write failed: the settings name no place to save to";
        return E_FAIL;
    }
    // The sub-folder, on demand; when it cannot be made, its reason is the
    // failure (not the missing folder the write would trip over next).
    std::error_code ec;
    const fs::path folder = fs::path(target).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            if (error) *error = "write failed: cannot create the folder " + folder.string() + " (" + ec.message() + ")";
            return E_FAIL;
        }
    }

    std::vector<PendingOperation*> stamps;
    for (PendingOperation& p : item.PendingOperations)
        if (p.Operation && !p.Operation->IsMetadataOperation()) stamps.push_back(&p);
    // The watcher must not take our own write for another program's.
    const bool inShownFolder = fs::path(target).parent_path() == fs::path(currentFolder_);
    if (inShownFolder) ownWrites_.push_back(Utf8OrLatin1ToWide(fs::path(target).filename().string()));
    savingNow_.push_back(index);
    HRESULT hr;
    std::vector<std::string> warnings;
    if (stamps.empty())
        hr = SaveGeoTag(item.Path, target, *item.Current(), error, &warnings);
    else if (stampedSaver_)
        hr = stampedSaver_(item.Path, target, *item.Current(), stamps, error);
    else
        hr = SaveStampedPicture(item.Path, target, *item.Current(), stamps, error, nullptr, &warnings);
    if (SUCCEEDED(hr))
        for (const auto& w : warnings) saveWarnings_.push_back({item.Path, Utf8OrLatin1ToWide(w)});
    savingNow_.erase(std::remove(savingNow_.begin(), savingNow_.end(), index), savingNow_.end());
    if (FAILED(hr) && inShownFolder && !ownWrites_.empty()) ownWrites_.pop_back();
    if (SUCCEEDED(hr) && target == item.Path) ReloadPicture(index);
    // A picture whose write failed keeps counting as unsaved, so that leaving
    // the folder still asks before its changes are lost.
    if (SUCCEEDED(hr)) item.Saved = true;
    return hr;
}

std::vector<CCorvaneDoc::SaveWarning> CCorvaneDoc::TakeSaveWarnings()
{
    std::vector<SaveWarning> taken;
    taken.swap(saveWarnings_);
    return taken;
}

void CCorvaneDoc::SaveAll()
{
    if (!HasUnsavedChanges()) return;
    ui_.Runner().Run(kSaveAllContent, Count(), [this](int& index) {
        while (index < Count() && Item(index).Saved) ++index;
        if (index >= Count()) return S_OK;
        return SavePicture(index, std::string(), false);
    });
}
