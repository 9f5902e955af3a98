#include "CorvaneDoc.h"

#include <algorithm>

#include "AddressCache.h"
#include "FolderWatcher.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "LogCategories.h"
#include "StringUtil.h"

namespace {

const wchar_t* const kValueRefusedCaption = L"Value Not Accepted";
const wchar_t* const kUndoCaption = L"Undo";

bool IsRecordKind(int kind)
{
    return kind >= 4 && kind <= 6;
}

}  // namespace

CCorvaneDoc::CCorvaneDoc(IDocumentUserInterface& ui, ISettingsStore& settings) : ui_(ui), settings_(settings)
{
    InstallLogCategories();
}

CCorvaneDoc::~CCorvaneDoc()
{
    StopWatcher();
}

PictureItem* CCorvaneDoc::GetItemAtRow(int row)
{
    if (row < 0 || row >= static_cast<int>(rowOrder_.size())) return nullptr;
    const int index = rowOrder_[static_cast<size_t>(row)];
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

int CCorvaneDoc::FindItemByName(const std::wstring& name) const
{
    for (size_t i = 0; i < items_.size(); ++i)
        if (EqualsNoCase(items_[i]->Name, name)) return static_cast<int>(i);
    return -1;
}

HRESULT CCorvaneDoc::EditRecord(int index, CGPSMetadataInfo** record)
{
    if (index < 0 || index >= Count() || !record) return E_INVALIDARG;
    PictureItem& item = Item(index);
    if (item.History.empty()) {
        std::string error;
        auto read = ReadGeoTag(item.Path, nullptr, &error);
        if (!read) return E_FAIL;
        item.History.push_back(std::move(read));
    }
    item.History.push_back(std::unique_ptr<CGPSMetadataInfo>(item.History.back()->Clone()));
    *record = item.History.back().get();
    return S_OK;
}

void CCorvaneDoc::ApplyMetadataChange(const std::vector<int>& indices, std::vector<MetadataChange> changes)
{
    if (indices.empty() || changes.size() != indices.size()) return;
    const int kind = changes.back().Operation ? changes.back().Operation->GetKind() : MetadataManipulationOperation;
    std::vector<int> changedIndices;
    CMetadataManipulationUpdatePack pack;
    std::wstring refusal;
    for (size_t i = 0; i < indices.size(); ++i) {
        const int index = indices[i];
        MetadataChange& change = changes[i];
        if (index < 0 || index >= Count() || !change.Operation) continue;
        PictureItem& item = Item(index);
        PendingOperation pending;
        if (!change.Operation->IsMetadataOperation()) {
            pending.Updates = std::move(change.Updates);
            pending.Operation = std::move(change.Operation);
            item.PendingOperations.push_back(std::move(pending));
            item.Saved = false;
            changedIndices.push_back(index);
            continue;
        }
        CGPSMetadataInfo* version = nullptr;
        if (FAILED(EditRecord(index, &version))) continue;
        std::vector<UpdateEntry*> entries;
        for (auto& u : change.Updates) entries.push_back(u.get());
        std::vector<std::int32_t> changed;
        HRESULT hr = change.Operation->AttachRecord(version);
        if (SUCCEEDED(hr)) hr = change.Operation->ApplyUpdates(entries.data(), static_cast<int>(entries.size()), changed);
        change.Operation->Uninitialize();
        const auto* manipulation = dynamic_cast<const CImageMetadataManipulationOperation*>(change.Operation.get());
        if (hr == E_INVALIDARG && manipulation && refusal.empty()) refusal = manipulation->Refusal();
        if (FAILED(hr) || changed.empty()) {
            item.History.pop_back();  // a change that changes nothing leaves no trace
            continue;
        }
        if (pack.ChangedFieldLists.empty()) pack.ChangedFieldLists.push_back(changed);
        item.ChangedFieldLists.push_back(std::move(changed));
        pending.Updates = std::move(change.Updates);
        pending.Operation = std::move(change.Operation);
        item.PendingOperations.push_back(std::move(pending));
        item.Saved = false;
        changedIndices.push_back(index);
    }
    // A value the pictures cannot take changes none of them, and says why.
    if (!refusal.empty()) ui_.ShowMessage(L"The change was not applied: " + refusal + L".", kValueRefusedCaption,
                                          MessageIcon::Warning);
    if (changedIndices.empty()) return;
    ClearRedo();
    pack.Indices = changedIndices;
    // The unit goes on the undo list first: the views ask for the state of Undo and Save when told.
    undoList_.push_back({changedIndices, kind});
    ui_.UpdateAllViews(pack);
}

void CCorvaneDoc::ApplyPictureOperation(const std::vector<int>& indices, std::vector<PictureOperation> operations)
{
    if (indices.empty() || operations.size() != indices.size() || !operations.back().Operation) return;
    const int kind = operations.back().Operation->GetKind();
    std::vector<int> applied;
    for (size_t i = 0; i < indices.size(); ++i) {
        const int index = indices[i];
        if (index < 0 || index >= Count() || !operations[i].Operation) continue;
        PendingOperation pending;
        pending.Text = operations[i].Text;
        pending.Operation = std::move(operations[i].Operation);
        Item(index).PendingOperations.push_back(std::move(pending));
        Item(index).Saved = false;
        applied.push_back(index);
    }
    if (applied.empty()) return;
    ClearRedo();
    undoList_.push_back({applied, kind});
    // No field changed, but the views mark the pictures that now wait to be saved.
    CMetadataManipulationUpdatePack pack;
    pack.Indices = applied;
    ui_.UpdateAllViews(pack);
}

void CCorvaneDoc::ClearRedo()
{
    for (const ChangeUnit& unit : redoList_) {
        for (int index : unit.Indices) {
            if (index < 0 || index >= Count()) continue;
            PictureItem& item = Item(index);
            if (!item.UndoneOperations.empty()) item.UndoneOperations.pop_back();
            if (IsRecordKind(unit.Kind) && !item.RedoHistory.empty()) item.RedoHistory.pop_back();
            if (IsRecordKind(unit.Kind) && !item.UndoneChangedFieldLists.empty())
                item.UndoneChangedFieldLists.pop_back();
        }
    }
    redoList_.clear();
}

template <typename T>
static void MoveNewest(std::deque<T>& from, std::deque<T>& to)
{
    if (from.empty()) return;
    to.push_back(std::move(from.back()));
    from.pop_back();
}

void CCorvaneDoc::Undo()
{
    if (undoList_.empty()) return;
    ChangeUnit unit = std::move(undoList_.back());
    undoList_.pop_back();
    std::vector<std::wstring> stampedPictures;
    for (int index : unit.Indices) {
        if (index < 0 || index >= Count()) continue;
        PictureItem& item = Item(index);
        MoveNewest(item.PendingOperations, item.UndoneOperations);
        if (IsRecordKind(unit.Kind)) {
            // Never the version read from the file: it is what the file holds.
            if (item.History.size() > 1) MoveNewest(item.History, item.RedoHistory);
            MoveNewest(item.ChangedFieldLists, item.UndoneChangedFieldLists);
        }
        if (!item.UndoneOperations.empty()) {
            const PendingOperation& undone = item.UndoneOperations.back();
            if (undone.Written) item.RewriteNeeded = true;
            if (undone.InPicture) stampedPictures.push_back(item.Name);
        }
        item.Saved = false;
    }
    redoList_.push_back(std::move(unit));
    if (!stampedPictures.empty()) TellStampsStay(stampedPictures);
}

void CCorvaneDoc::TellStampsStay(const std::vector<std::wstring>& names)
{
    std::wstring list;
    for (size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? L"" : i + 1 == names.size() ? L" and " : L", ") + names[i];
    ui_.ShowMessage(L"The stamp is already saved in the pixels of " + list +
                        L" and stays there: undo takes it off the pending changes, but saving again cannot remove "
                        L"it. Changes to the geotag can still be undone and saved.",
                    kUndoCaption, MessageIcon::Information);
}

void CCorvaneDoc::Redo()
{
    if (redoList_.empty()) return;
    ChangeUnit unit = std::move(redoList_.back());
    redoList_.pop_back();
    for (int index : unit.Indices) {
        if (index < 0 || index >= Count()) continue;
        PictureItem& item = Item(index);
        MoveNewest(item.UndoneOperations, item.PendingOperations);
        if (!item.PendingOperations.empty() && item.PendingOperations.back().Written) item.RewriteNeeded = true;
        if (IsRecordKind(unit.Kind)) {
            MoveNewest(item.RedoHistory, item.History);
            MoveNewest(item.UndoneChangedFieldLists, item.ChangedFieldLists);
            item.Saved = item.History.size() < 2;
        } else {
            item.Saved = item.PendingOperations.empty();
        }
    }
    undoList_.push_back(std::move(unit));
}

bool CCorvaneDoc::HasUnsavedChangesAt(int index) const
{
    if (index < 0 || index >= Count()) return false;
    const PictureItem& item = Item(index);
    if (item.Saved) return false;
    if (item.RewriteNeeded) return true;  // the file holds a change since taken back
    if (item.PendingOperations.empty()) return false;
    for (const ChangeUnit& unit : undoList_)
        if (std::find(unit.Indices.begin(), unit.Indices.end(), index) != unit.Indices.end()) return true;
    return false;
}

bool CCorvaneDoc::HasUnsavedChanges() const
{
    for (int index = 0; index < Count(); ++index)
        if (HasUnsavedChangesAt(index)) return true;
    return false;
}
