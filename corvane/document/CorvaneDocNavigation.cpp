// Folder navigation, its history, and loading the pictures of a folder.
#include <QMimeDatabase>
#include <QString>

#include <algorithm>
#include <filesystem>

#include "CorvaneDoc.h"
#include "FolderWatcher.h"
#include "GeoTagFile.h"
#include "LogSink.h"
#include "PictureFormat.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

const wchar_t* const kZippedText =
    L"Navigation to zipped folders is not allowed. You can un-zip the zipped folder and then navigate to extracted "
    L"contents.";
const wchar_t* const kZippedCaption = L"Navigation not Allowd";
const wchar_t* const kAwayTitle = L"Navigating Away";
const wchar_t* const kAwayInstruction = L"Do you want to navigate away from current location?";
const wchar_t* const kAwayContent =
    L"Navigating to another folder in the file system discards all the changes applied to items of current folder."
    L" You can cancel navigation and save your changes.";

// Archive types a file browser may offer to open like a folder.
const char* const kArchiveTypes[] = {"application/zip", "application/x-tar", "application/x-7z-compressed",
                                     "application/vnd.rar", "application/x-rar", "application/gzip",
                                     "application/x-bzip2", "application/x-xz", "application/x-compressed-tar",
                                     "application/x-cpio", "application/x-archive", "application/zstd",
                                     "application/x-iso9660-image"};

}  // namespace

bool CCorvaneDoc::IsZippedFolder(const std::string& folder)
{
    std::error_code ec;
    if (fs::is_directory(folder, ec) || !fs::exists(folder, ec)) return false;  // a real folder, whatever its name
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(folder));
    for (const char* archive : kArchiveTypes)
        if (type.inherits(QString::fromLatin1(archive))) return true;
    return false;
}

bool CCorvaneDoc::IsNavigateAwayRefused()
{
    if (!HasUnsavedChanges()) return false;
    if (ui_.AskYesNo(kAwayTitle, kAwayInstruction, kAwayContent, MessageIcon::Warning) != kAnswerNo) return false;
    // Keep the history as it was before the Back or Forward that started this.
    if (backMove_) {
        if (!forwardList_.empty()) {
            backList_.push_back(forwardList_.back());
            forwardList_.pop_back();
        }
        backMove_.reset();
    } else if (forwardMove_) {
        forwardList_.push_back(*forwardMove_);
        forwardMove_.reset();
    }
    return true;
}

HRESULT CCorvaneDoc::OnNavigationPending(const std::string& folder)
{
    if (!currentFolder_.empty() && currentFolder_ == folder) return S_OK;
    if (IsZippedFolder(folder)) {
        ui_.ShowMessage(kZippedText, kZippedCaption, MessageIcon::Error);
        return E_ABORT;
    }
    if (IsNavigateAwayRefused()) return E_FAIL;
    for (IBrowseLocationChangeSink* observer : observers_) {
        const HRESULT hr = observer->OnBrowseLocationChanging(folder);
        if (FAILED(hr)) return hr;
    }
    StopWatcher();
    return S_OK;
}

HRESULT CCorvaneDoc::OnNavigationComplete(const std::string& folder)
{
    if (!currentFolder_.empty() && currentFolder_ == folder) return S_OK;
    currentFolder_ = folder;
    if (backList_.empty() || backList_.back() != folder) backList_.push_back(folder);
    if (backMove_ || forwardMove_) {
        backMove_.reset();
        forwardMove_.reset();
    } else {
        forwardList_.clear();
    }
    ui_.PostCommand(kCommandLoadFolder);
    StartWatcher();
    return S_OK;
}

std::optional<std::string> CCorvaneDoc::TakeBackTarget()
{
    if (backList_.size() > 1) {
        forwardList_.push_back(backList_.back());
        backMove_ = backList_.back();
        backList_.pop_back();
    }
    if (backList_.empty()) return std::nullopt;
    return backList_.back();
}

std::optional<std::string> CCorvaneDoc::TakeForwardTarget()
{
    if (forwardList_.empty()) return std::nullopt;
    std::string target = forwardList_.back();
    forwardList_.pop_back();
    forwardMove_ = target;
    return target;
}

void CCorvaneDoc::DiscardItems()
{
    items_.clear();
    undoList_.clear();
    redoList_.clear();
    rowOrder_.clear();
    renameQueue_.clear();
    savingNow_.clear();
}

std::unique_ptr<PictureItem> CCorvaneDoc::LoadPictureDetails(const std::string& path)
{
    auto item = std::make_unique<PictureItem>();
    item->Path = path;
    item->Name = Utf8OrLatin1ToWide(fs::path(path).filename().string());
    std::string error;
    if (auto record = ReadGeoTag(path, nullptr, &error))
        item->History.push_back(std::move(record));
    else
        LogWarning(LogArea::Metadata, path + ": " + (error.empty() ? std::string("not read") : error));
    return item;
}

std::vector<std::string> CCorvaneDoc::ListFolderPictures() const
{
    std::error_code ec;
    std::vector<std::string> paths;
    for (fs::directory_iterator it(currentFolder_, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // Links, hidden (system) files and anything that is not a plain file are left out.
        if (name.empty() || name[0] == '.' || it->is_symlink(ec) || !it->is_regular_file(ec)) continue;
        if (PictureKindFromName(name) == PictureFormatOther) continue;
        paths.push_back(it->path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void CCorvaneDoc::LoadFolder()
{
    std::error_code ec;
    if (currentFolder_.empty() || !fs::is_directory(currentFolder_, ec)) return;
    LoadPictures(ListFolderPictures());
}

void CCorvaneDoc::LoadPictures(const std::vector<std::string>& paths)
{
    DiscardItems();
    for (const auto& path : paths) items_.push_back(LoadPictureDetails(path));
    for (int i = 0; i < Count(); ++i) rowOrder_.push_back(i);
    for (IBrowseLocationChangeSink* observer : observers_) observer->OnBrowseLocationChanged(currentFolder_);
}
