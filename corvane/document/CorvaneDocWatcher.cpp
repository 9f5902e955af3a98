// Applying the folder watcher's events to the items, on the user-interface thread.
#include <algorithm>
#include <filesystem>

#include "CorvaneDoc.h"
#include "FolderWatcher.h"
#include "GeoTagFile.h"
#include "PictureFormat.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

bool IsPictureFile(const fs::path& path)
{
    std::error_code ec;
    const std::string name = path.filename().string();
    return !name.empty() && name[0] != '.' && PictureKindFromName(name) != PictureFormatOther &&
           !fs::is_symlink(path, ec) && fs::is_regular_file(path, ec);
}

// Lowers indices above a removed one and drops those equal to it.
void Renumber(std::vector<int>& indices, int removed)
{
    indices.erase(std::remove(indices.begin(), indices.end(), removed), indices.end());
    for (int& i : indices)
        if (i > removed) --i;
}

}  // namespace

void CCorvaneDoc::StartWatcher()
{
    StopWatcher();
    watcher_ = std::make_unique<CFolderWatcher>(currentFolder_, [this] { ui_.PostCommand(kCommandFolderChanged); });
}

void CCorvaneDoc::StopWatcher()
{
    watcher_.reset();
}

bool CCorvaneDoc::IsWatching() const
{
    return watcher_ && watcher_->Running();
}

void CCorvaneDoc::RemoveItem(int index)
{
    if (index < 0 || index >= Count()) return;
    items_.erase(items_.begin() + index);
    Renumber(rowOrder_, index);
    Renumber(savingNow_, index);
    std::vector<int> renames(renameQueue_.begin(), renameQueue_.end());
    Renumber(renames, index);
    renameQueue_.assign(renames.begin(), renames.end());
    for (auto* list : {&undoList_, &redoList_}) {
        for (ChangeUnit& unit : *list) Renumber(unit.Indices, index);
        list->erase(std::remove_if(list->begin(), list->end(), [](const ChangeUnit& u) { return u.Indices.empty(); }),
                    list->end());
    }
}

void CCorvaneDoc::ReloadPicture(int index)
{
    PictureItem& item = Item(index);
    std::shared_ptr<const CBitmap> thumbnail = thumbnailMaker_ ? thumbnailMaker_(item.Path) : nullptr;
    std::unique_ptr<CGPSMetadataInfo> record;
    std::string error;
    if (item.History.size() <= 1 && item.PendingOperations.empty() && item.UndoneOperations.empty())
        record = ReadGeoTag(item.Path, nullptr, &error);
    if (!record && item.History.empty()) item.ReadError = error.empty() ? std::string("not read") : error;
    ApplyReload(index, std::move(thumbnail), std::move(record));
}

void CCorvaneDoc::ApplyReload(int index, std::shared_ptr<const CBitmap> thumbnail,
                              std::unique_ptr<CGPSMetadataInfo> record)
{
    PictureItem& item = Item(index);
    if (thumbnailMaker_) item.Thumbnail = std::move(thumbnail);
    // A file changed elsewhere is read again unless the user has changes of
    // their own on it (those stay, as the record they were made on), also
    // undone ones that redo would bring back.
    if (record && item.History.size() <= 1 && item.PendingOperations.empty() && item.UndoneOperations.empty()) {
        item.History.clear();
        item.RedoHistory.clear();
        item.History.push_back(std::move(record));
        item.ReadError.clear();
    }
}

// The kernel dropped notifications: the items are brought in line with the
// folder as it is now. Pictures with changes of the user's keep them.
void CCorvaneDoc::RescanFolder()
{
    const std::vector<std::string> paths = ListFolderPictures();
    for (int i = Count() - 1; i >= 0; --i)
        if (!std::binary_search(paths.begin(), paths.end(), Item(i).Path)) RemoveItem(i);
    for (const std::string& path : paths) {
        const int index = FindItemByName(Utf8OrLatin1ToWide(fs::path(path).filename().string()));
        if (index >= 0) {
            if (std::find(savingNow_.begin(), savingNow_.end(), index) == savingNow_.end()) ReloadPicture(index);
            continue;
        }
        items_.push_back(LoadPictureDetails(path));
        rowOrder_.push_back(Count() - 1);
    }
    ownWrites_.clear();  // what our saves caused is part of what was just read
}

void CCorvaneDoc::ProcessFolderChanges()
{
    if (!watcher_) return;
    // A worker holds pointers into the items: the changes wait for the run's end.
    if (busy_) {
        folderChangesWaiting_ = true;
        return;
    }
    std::vector<FolderEvent> events = watcher_->TakeEvents();
    const bool overflowed = std::any_of(events.begin(), events.end(),
                                        [](const FolderEvent& e) { return e.What == FolderEvent::Overflow; });
    if (overflowed) {
        RescanFolder();  // covers every event of the batch, lost or not
        return;
    }
    for (size_t i = 0; i < events.size(); ++i) {
        FolderEvent e = events[i];
        if (e.IsFolder) continue;  // the sub-folder of modified pictures, say
        if (e.What == FolderEvent::MovedFrom) {
            // A rename within the folder pairs with the MovedTo of the same cookie.
            auto to = std::find_if(events.begin() + static_cast<long>(i) + 1, events.end(), [&](const FolderEvent& t) {
                return t.What == FolderEvent::MovedTo && t.Cookie == e.Cookie;
            });
            const int index = FindItemByName(Utf8OrLatin1ToWide(e.Name));
            if (to == events.end()) {
                e.What = FolderEvent::Removed;  // moved out of the folder
                ApplyFolderEvent(e);
                continue;
            }
            if (index >= 0 && IsPictureFile(fs::path(currentFolder_) / to->Name) &&
                FindItemByName(Utf8OrLatin1ToWide(to->Name)) < 0) {
                PictureItem& item = Item(index);
                item.Path = (fs::path(currentFolder_) / to->Name).string();
                item.Name = Utf8OrLatin1ToWide(to->Name);
                ReloadPicture(index);
                to->What = FolderEvent::Handled;
                continue;
            }
            if (index >= 0) {
                e.What = FolderEvent::Removed;
                ApplyFolderEvent(e);
            }
            continue;
        }
        if (e.What == FolderEvent::Handled) continue;
        ApplyFolderEvent(e);
    }
}

void CCorvaneDoc::ApplyFolderEvent(const FolderEvent& e)
{
    const std::wstring name = Utf8OrLatin1ToWide(e.Name);
    const fs::path path = fs::path(currentFolder_) / e.Name;
    // What our own saves cause is ours already.
    auto own = std::find_if(ownWrites_.begin(), ownWrites_.end(), [&](const std::wstring& n) { return EqualsNoCase(n, name); });
    if (own != ownWrites_.end() && e.What != FolderEvent::Removed) {
        ownWrites_.erase(own);
        return;
    }
    const int index = FindItemByName(name);
    if (index >= 0 && std::find(savingNow_.begin(), savingNow_.end(), index) != savingNow_.end()) return;
    switch (e.What) {
    case FolderEvent::Removed:
        if (index >= 0) RemoveItem(index);
        break;
    case FolderEvent::Added:
    case FolderEvent::MovedTo:
    case FolderEvent::Modified:
        if (index >= 0) {
            ReloadPicture(index);
        } else if (IsPictureFile(path)) {
            items_.push_back(LoadPictureDetails(path.string()));
            rowOrder_.push_back(Count() - 1);
        }
        break;
    default: break;
    }
}
