// Saving pictures: where each goes, the metadata-only and stamped paths, Save As names and Save All.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "CorvaneDoc.h"
#include "GeoTagFile.h"
#include "LogSink.h"
#include "StampedSave.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

const wchar_t* const kSaveAllContent = L"The application is performing the applied operations on the pictures";
const wchar_t* const kSaveReportCaption = L"Saving Pictures";

// Why the record being saved cannot take a stamp; empty when it can. A GPS
// stamp without a position would be an empty band that states nothing.
std::wstring StampRefusal(const CImageOperation& operation, const CGPSMetadataInfo& record)
{
    if (operation.GetKind() == GPSStampOperation && !(record.Latitude && record.Longitude))
        return L"GPS stamp left out: the picture has no GPS coordinates";
    return std::wstring();
}

// A metadata change is pending, or one already written was undone or redone.
bool HasRecordToWrite(const PictureItem& item)
{
    return item.RewriteNeeded ||
           std::any_of(item.PendingOperations.begin(), item.PendingOperations.end(), [](const PendingOperation& p) {
               return p.Operation && p.Operation->IsMetadataOperation();
           });
}

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

std::vector<PendingOperation*> CCorvaneDoc::StampsToDraw(PictureItem& item, std::vector<std::wstring>& notes) const
{
    std::vector<PendingOperation*> stamps;
    for (PendingOperation& p : item.PendingOperations) {
        // Metadata changes are in the record; a stamp already in the picture
        // is in the pixels every save starts from.
        if (!p.Operation || p.Operation->IsMetadataOperation() || p.InPicture) continue;
        const std::wstring refusal = StampRefusal(*p.Operation, *item.Current());
        if (refusal.empty())
            stamps.push_back(&p);
        else
            notes.push_back(refusal);
    }
    return stamps;
}

HRESULT CCorvaneDoc::WritePicture(int index, const std::string& target, const std::vector<PendingOperation*>& stamps,
                                  std::string* error)
{
    PictureItem& item = Item(index);
    // The watcher must not take our own write for another program's.
    const bool inShownFolder = fs::path(target).parent_path() == fs::path(currentFolder_);
    if (inShownFolder) ownWrites_.push_back(Utf8OrLatin1ToWide(fs::path(target).filename().string()));
    savingNow_.push_back(index);
    HRESULT hr;
    std::vector<std::string> warnings;
    if (stamps.empty()) {
        hr = SaveGeoTag(item.Path, target, *item.Current(), error, &warnings);
    } else {
        StampedSaveOptions options;
        options.MaxStampMegapixels = ReadIntSetting(settings_, "MaxStampMegapixels");
        hr = stampedSaver_ ? stampedSaver_(item.Path, target, *item.Current(), stamps, error, options, &warnings)
                           : SaveStampedPicture(item.Path, target, *item.Current(), stamps, error, nullptr, options,
                                                &warnings);
    }
    if (SUCCEEDED(hr))
        for (const auto& w : warnings) saveWarnings_.push_back({item.Path, Utf8OrLatin1ToWide(w)});
    for (const auto& w : warnings) LogWarning(LogArea::Save, target + ": " + w);
    if (FAILED(hr)) LogWarning(LogArea::Save, target + ": not written: " + (error ? *error : std::string("failed")));
    savingNow_.erase(std::remove(savingNow_.begin(), savingNow_.end(), index), savingNow_.end());
    if (FAILED(hr) && inShownFolder && !ownWrites_.empty()) ownWrites_.pop_back();
    return hr;
}

HRESULT CCorvaneDoc::SavePicture(int index, const std::string& targetPath, bool force, std::string* error,
                                 std::vector<std::wstring>* notes)
{
    if (index < 0 || index >= Count()) return E_INVALIDARG;
    PictureItem& item = Item(index);
    if (item.Saved && !force) return S_FALSE;
    std::string failure;
    std::vector<std::wstring> leftOut;
    const HRESULT hr = SaveItem(index, targetPath, force, failure, leftOut);
    if (notes)
        notes->insert(notes->end(), leftOut.begin(), leftOut.end());
    else
        for (const std::wstring& note : leftOut) saveReport_.push_back(item.Name + L": " + note);
    if (FAILED(hr) && error) *error = failure;
    if (FAILED(hr) && !error) saveReport_.push_back(item.Name + L": not saved: " + Utf8OrLatin1ToWide(failure));
    if (!savingAll_) ReportSaves();
    return hr;
}

HRESULT CCorvaneDoc::SaveItem(int index, const std::string& targetPath, bool force, std::string& failure,
                              std::vector<std::wstring>& leftOut)
{
    PictureItem& item = Item(index);
    if (item.History.empty()) {
        auto record = ReadGeoTag(item.Path, nullptr, &failure);
        if (!record) return E_FAIL;
        item.History.push_back(std::move(record));
    }
    std::string target = targetPath.empty() ? DestinationOf(index) : targetPath;
    if (target.empty()) {
        failure = "write failed: the settings name no place to save to";
        return E_FAIL;
    }
    const std::vector<PendingOperation*> stamps = StampsToDraw(item, leftOut);
    // Stamps the picture cannot take were all there was: nothing to write.
    if (stamps.empty() && !leftOut.empty() && !HasRecordToWrite(item) && !force && targetPath.empty()) {
        item.Saved = true;
        return S_FALSE;
    }
    // The sub-folder, on demand; when it cannot be made, its reason is the
    // failure (not the missing folder the write would trip over next).
    std::error_code ec;
    const fs::path folder = fs::path(target).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        fs::create_directories(folder, ec);
        if (ec) {
            failure = "write failed: cannot create the folder " + folder.string() + " (" + ec.message() + ")";
            return E_FAIL;
        }
    }
    const HRESULT hr = WritePicture(index, target, stamps, &failure);
    // A picture whose write failed keeps counting as unsaved, so that leaving
    // the folder still asks before its changes are lost.
    if (FAILED(hr)) return hr;
    const bool overPicture = target == item.Path;
    for (PendingOperation& p : item.PendingOperations) {
        const bool drawn = std::find(stamps.begin(), stamps.end(), &p) != stamps.end();
        if (drawn && overPicture) p.InPicture = true;
        if (drawn || p.InPicture || (p.Operation && p.Operation->IsMetadataOperation())) p.Written = true;
    }
    item.RewriteNeeded = false;
    if (overPicture) ReloadPicture(index);
    item.Saved = true;
    return hr;
}

std::vector<CCorvaneDoc::SaveWarning> CCorvaneDoc::TakeSaveWarnings()
{
    std::vector<SaveWarning> taken;
    taken.swap(saveWarnings_);
    return taken;
}

void CCorvaneDoc::ReportSaves()
{
    if (saveReport_.empty()) return;
    std::wstring text;
    for (const std::wstring& line : saveReport_) text += (text.empty() ? L"" : L"\n") + line;
    saveReport_.clear();
    ui_.ShowMessage(text, kSaveReportCaption, MessageIcon::Warning);
}

void CCorvaneDoc::SaveAll()
{
    if (!HasUnsavedChanges()) return;
    // What single saves leave out or fail at is told once, after the run.
    savingAll_ = true;
    ui_.Runner().Run(kSaveAllContent, Count(), [this](int& index) {
        while (index < Count() && Item(index).Saved) ++index;
        if (index >= Count()) return S_OK;
        return SavePicture(index, std::string(), false);
    });
    savingAll_ = false;
    ReportSaves();
}
