// Folder navigation, its history, and loading the pictures of a folder.
#include <QMimeDatabase>
#include <QString>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "BusyRun.h"
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
const wchar_t* const kLoadContent = L"The application is reading the pictures of the folder";
// Pictures read per step of a folder load: few enough for Cancel to be seen
// at once, enough for the hand-over between threads to cost nothing.
constexpr int kPicturesPerStep = 16;
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

namespace {

// A picture's item as read from its file; touches nothing else, so that it
// may run on any thread.
std::unique_ptr<PictureItem> ReadPictureItem(const std::string& path)
{
    auto item = std::make_unique<PictureItem>();
    item->Path = path;
    item->Name = Utf8OrLatin1ToWide(fs::path(path).filename().string());
    std::string error;
    if (auto record = ReadGeoTag(path, nullptr, &error)) {
        item->History.push_back(std::move(record));
    } else {
        item->ReadError = error.empty() ? std::string("not read") : error;
        LogWarning(LogArea::Metadata, path + ": " + item->ReadError);
    }
    return item;
}

// Reads a folder's pictures on the worker, a few per step; the window's
// thread only collects the items.
class CFolderLoad : public IBackgroundLoop {
public:
    CFolderLoad(const std::vector<std::string>& paths, ThumbnailMaker thumbnails)
        : paths_(paths), thumbnails_(std::move(thumbnails))
    {
    }
    int Steps() const { return static_cast<int>((paths_.size() + kPicturesPerStep - 1) / kPicturesPerStep); }
    std::vector<std::unique_ptr<PictureItem>> TakeItems() { return std::move(items_); }

    bool Prepare(int& step) override
    {
        first_ = static_cast<size_t>(step) * kPicturesPerStep;
        last_ = std::min(paths_.size(), first_ + kPicturesPerStep);
        return first_ < last_;
    }
    void Work(const std::atomic_bool&) override
    {
        // Thumbnails are made on a second thread while this one reads the records.
        std::vector<std::shared_ptr<const CBitmap>> thumbnails(last_ - first_);
        std::thread thumbnailer;
        if (thumbnails_)
            thumbnailer = std::thread([&] {
                for (size_t i = first_; i < last_; ++i) thumbnails[i - first_] = thumbnails_(paths_[i]);
            });
        struct Join {
            std::thread& t;
            ~Join() { if (t.joinable()) t.join(); }
        } join{thumbnailer};
        for (size_t i = first_; i < last_; ++i) read_.push_back(ReadPictureItem(paths_[i]));
        if (thumbnailer.joinable()) thumbnailer.join();
        for (size_t i = 0; i < read_.size() && i < thumbnails.size(); ++i) read_[i]->Thumbnail = thumbnails[i];
    }
    void Apply() override
    {
        for (auto& item : read_) items_.push_back(std::move(item));
        read_.clear();
    }

private:
    const std::vector<std::string>& paths_;
    ThumbnailMaker thumbnails_;
    size_t first_ = 0, last_ = 0;
    std::vector<std::unique_ptr<PictureItem>> read_;   // the worker's, until Apply
    std::vector<std::unique_ptr<PictureItem>> items_;  // the window thread's
};

}  // namespace

std::unique_ptr<PictureItem> CCorvaneDoc::LoadPictureDetails(const std::string& path, bool withThumbnail)
{
    auto item = ReadPictureItem(path);
    if (withThumbnail && thumbnailMaker_) item->Thumbnail = thumbnailMaker_(path);
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
    if (busy_) {
        loadWaiting_ = true;
        return;
    }
    std::error_code ec;
    if (currentFolder_.empty() || !fs::is_directory(currentFolder_, ec)) return;
    LoadPictures(ListFolderPictures());
}

void CCorvaneDoc::LoadPictures(const std::vector<std::string>& paths)
{
    if (busy_) return;
    CFolderLoad load(paths, thumbnailMaker_);
    {
        CBusyRun run(*this);
        ui_.Runner().RunInBackground(kLoadContent, load.Steps(), load);
    }
    DiscardItems();
    items_ = load.TakeItems();
    for (int i = 0; i < Count(); ++i) rowOrder_.push_back(i);
    for (IBrowseLocationChangeSink* observer : observers_) observer->OnBrowseLocationChanged(currentFolder_);
}
