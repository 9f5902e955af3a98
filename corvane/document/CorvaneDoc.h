// The program's single document: the pictures of the shown folder with their
// record histories, every change applied but not yet saved, undo and redo,
// folder navigation with its history, saving, address retrieval and the
// watcher that follows other programs' changes to the folder. It reaches the
// user interface only through IDocumentUserInterface.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DocumentInterfaces.h"
#include "HResult.h"
#include "PictureItem.h"
#include "SaveJob.h"
#include "SettingsStore.h"

class CFolderWatcher;
class CAtomicFileBatch;
class CAddressLookup;
struct FolderEvent;

// Tells whether the address service can be reached (called off the window's thread).
using ConnectionCheck = std::function<bool()>;

class CCorvaneDoc {
public:
    CCorvaneDoc(IDocumentUserInterface& ui, ISettingsStore& settings);
    ~CCorvaneDoc();
    CCorvaneDoc(const CCorvaneDoc&) = delete;
    CCorvaneDoc& operator=(const CCorvaneDoc&) = delete;

    static constexpr double ThumbnailSize = 96.0;

    // Services the program may plug in (each must be safe to call from
    // another thread: the long runs call them on a worker). Without them there are no thumbnails, the
    // configured address service is probed with a TCP connection, and
    // stamped pictures are saved by SaveStampedPicture.
    void SetThumbnailMaker(ThumbnailMaker maker) { thumbnailMaker_ = std::move(maker); }
    void SetConnectionCheck(ConnectionCheck check) { connectionCheck_ = std::move(check); }
    void SetStampedSaver(StampedSaver saver) { stampedSaver_ = std::move(saver); }

    // --- folder and navigation ---------------------------------------------
    // A navigation is about to happen; a failure refuses it (E_ABORT for an
    // archive, E_FAIL when the user keeps the unsaved changes).
    HRESULT OnNavigationPending(const std::string& folder);
    // A folder was reached: history, command 1099 posted, watcher started.
    HRESULT OnNavigationComplete(const std::string& folder);
    // Rebuilds the items from the current folder (command 1099). The files
    // are read on a worker thread; the items shown stay until the new ones
    // are all read (or the user cancels: then those read so far are shown).
    void LoadFolder();
    // The pictures of the current folder, as LoadFolder lists them, sorted.
    std::vector<std::string> ListFolderPictures() const;
    // Rebuilds the items from these files of the current folder, whatever
    // their names (the command line names pictures a folder leaves out).
    void LoadPictures(const std::vector<std::string>& paths);
    const std::string& CurrentFolder() const { return currentFolder_; }
    std::optional<std::string> TakeBackTarget();
    std::optional<std::string> TakeForwardTarget();
    const std::deque<std::string>& BackList() const { return backList_; }
    const std::deque<std::string>& ForwardList() const { return forwardList_; }
    void AddObserver(IBrowseLocationChangeSink* observer) { observers_.push_back(observer); }
    // An archive (its type is an archive type), as opposed to a folder whose name merely says "zip".
    static bool IsZippedFolder(const std::string& folder);

    // --- items ---------------------------------------------------------------
    int Count() const { return static_cast<int>(items_.size()); }
    PictureItem& Item(int index) { return *items_.at(static_cast<size_t>(index)); }
    const PictureItem& Item(int index) const { return *items_.at(static_cast<size_t>(index)); }
    // The item shown in `row`; nullptr (invalid argument) outside the rows.
    PictureItem* GetItemAtRow(int row);
    std::vector<int>& RowOrder() { return rowOrder_; }
    int FindItemByName(const std::wstring& name) const;
    // The version a metadata change may modify: a copy of the current one, appended.
    HRESULT EditRecord(int index, CGPSMetadataInfo** record);

    // --- changes -------------------------------------------------------------
    void ApplyMetadataChange(const std::vector<int>& indices, std::vector<MetadataChange> changes);
    void ApplyPictureOperation(const std::vector<int>& indices, std::vector<PictureOperation> operations);
    void Undo();
    void Redo();
    bool CanUndo() const { return !undoList_.empty(); }
    bool CanRedo() const { return !redoList_.empty(); }
    bool HasUnsavedChanges() const;
    bool HasUnsavedChangesAt(int index) const;
    const std::deque<ChangeUnit>& UndoList() const { return undoList_; }
    const std::deque<ChangeUnit>& RedoList() const { return redoList_; }

    // --- saving ----------------------------------------------------------------
    // Saves one picture: to `targetPath`, or where the settings say when it is
    // empty. S_FALSE without `force` when nothing is unsaved, and when every
    // change pending is a stamp the picture cannot take (nothing is written).
    // Stamps a save left out, and why, go to `notes`; without `notes` they
    // are shown to the user, as is the reason of a failure without `error`.
    HRESULT SavePicture(int index, const std::string& targetPath, bool force, std::string* error = nullptr,
                        std::vector<std::wstring>* notes = nullptr);
    // The Save As name for a chosen path and type (1 JPEG, 2 TIFF).
    static std::string SaveAsPath(const std::string& chosen, int typeIndex);
    // Saves every picture with unsaved changes through the step runner.
    void SaveAll();
    // Where a save without a target name puts the picture.
    std::string DestinationOf(int index) const;
    // What the saves since the last call stored other than the records said
    // (a city cut to IPTC's 32 bytes), for the user to read after saving;
    // the list is emptied.
    struct SaveWarning {
        std::string Path;  // the picture's file
        std::wstring Text;  // "City is longer than the 32 bytes IPTC allows: ..."
    };
    std::vector<SaveWarning> TakeSaveWarnings();

    // --- addresses ---------------------------------------------------------------
    // Reverse-Geocode Selected / All; false when no address can be found at
    // all (no connection and no offline places, or the offline places chosen
    // and missing), after telling the user.
    bool ReverseGeocode(const std::vector<int>& indices);
    // The addresses of the pictures as one change; the user is told where
    // they came from (status) and why the service stopped, if it did.
    void RunReverseGeocoding(const std::vector<int>& indices, CAddressLookup& lookup);
    // One picture's address entries; E_ABORT when nothing could answer it.
    HRESULT RetrieveAddress(int index, std::vector<std::unique_ptr<UpdateEntry>>& entries, CAddressLookup& lookup);
    bool EnsureAddresses(const std::vector<int>& indices);
    // How the last run went, for the command line's exit status.
    struct AddressRunReport {
        bool Stopped = false;    // the service stopped answering (credits, overload)
        int NotAnswered = 0;     // pictures with coordinates nothing could answer
        std::wstring Summary;    // the status message
    };
    const AddressRunReport& LastAddressRun() const { return lastAddressRun_; }
    // Where the address cache and the offline places are (tests, benchmarks);
    // empty: the user's cache folder and the installed index.
    void SetAddressCachePath(const std::string& path);
    void SetPlacesIndexPath(const std::string& path) { placesIndexPath_ = path; }

    // --- folder watcher ------------------------------------------------------------
    // Applies the changes the watcher queued (command 1083); while a long
    // run works they wait, and the command is posted again when it ends.
    void ProcessFolderChanges();
    bool IsWatching() const;

    // A long run (loading, Save All, addresses) is working on a worker
    // thread: the document must not change until it ends.
    bool IsBusy() const { return busy_; }

private:
    friend class CorvaneDocTestAccess;
    friend class CBusyRun;

    void DiscardItems();
    std::unique_ptr<PictureItem> LoadPictureDetails(const std::string& path, bool withThumbnail = true);
    void ClearRedo();
    // Tells the user that undo cannot take stamps out of pixels already saved.
    void TellStampsStay(const std::vector<std::wstring>& names);
    void StartWatcher();
    void StopWatcher();
    void RemoveItem(int index);
    void ApplyFolderEvent(const FolderEvent& event);
    void ReloadPicture(int index);
    void RescanFolder();
    // The stamps a save of `item` draws; those the record cannot take are left out, with the reason in `notes`.
    std::vector<PendingOperation*> StampsToDraw(PictureItem& item, std::vector<std::wstring>& notes) const;
    // A save in three parts, the middle one (SaveJob::Write) free to run on
    // a worker: BeginSave readies the job (job.Ready) or ends the save with
    // its status; EndSave takes the written file into the document.
    HRESULT BeginSave(int index, const std::string& targetPath, bool force, SaveJob& job, std::string& failure,
                      std::vector<std::wstring>& leftOut);
    HRESULT EndSave(SaveJob& job, std::string& failure);
    void WriteOffTheWindow(SaveJob& job);
    // What a save left out or failed at, for `notes`/`error` or the report.
    void ReportSave(int index, HRESULT hr, const std::string& failure, const std::vector<std::wstring>& leftOut,
                    std::string* error, std::vector<std::wstring>* notes);
    // ReloadPicture with the thumbnail and record already made.
    void ApplyReload(int index, std::shared_ptr<const CBitmap> thumbnail, std::unique_ptr<CGPSMetadataInfo> record);
    // Shows what the saves since the last report left out or could not do.
    void ReportSaves();
    bool IsNavigateAwayRefused();
    // The lookup of one run: the account asked for when none is set, the
    // connection checked when the service is to be asked.
    // `canAnswer`: whether any address can be found (the service reached,
    // or the offline places usable); both are found out off the window's thread.
    std::unique_ptr<CAddressLookup> StartAddressLookup(bool& connected, bool& canAnswer);
    void ReportAddressRun(CAddressLookup& lookup, int found, int notAnswered);

    IDocumentUserInterface& ui_;
    ISettingsStore& settings_;
    ThumbnailMaker thumbnailMaker_;
    ConnectionCheck connectionCheck_;
    StampedSaver stampedSaver_;

    std::string currentFolder_;
    std::deque<std::string> backList_, forwardList_;
    std::optional<std::string> backMove_, forwardMove_;
    std::vector<IBrowseLocationChangeSink*> observers_;

    std::vector<std::unique_ptr<PictureItem>> items_;
    std::vector<int> rowOrder_;
    std::deque<ChangeUnit> undoList_, redoList_;
    std::vector<int> savingNow_;
    std::vector<SaveWarning> saveWarnings_;
    std::vector<std::wstring> saveReport_;  // lines for the user, shown after Save or Save All
    bool savingAll_ = false;
    std::deque<int> renameQueue_;
    std::vector<std::wstring> ownWrites_;  // names our saves are about to report
    std::unique_ptr<CFolderWatcher> watcher_;
    bool busy_ = false;
    bool folderChangesWaiting_ = false, loadWaiting_ = false;  // posted again when the run ends

    std::string addressCachePath_, placesIndexPath_;
    AddressRunReport lastAddressRun_;
};
