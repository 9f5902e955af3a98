// Saving pictures: where each goes, the metadata-only and stamped paths, Save As names and Save All.
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "BusyRun.h"
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
    // Likewise an address band of a picture with neither an address nor a
    // position to state.
    const CGPSMetadataInfo& r = record;
    if (operation.GetKind() == AddressStampOperation && !(r.Latitude && r.Longitude) &&
        !(r.SubLocation || r.City || r.ProvinceState || r.CountryName))
        return L"Address stamp left out: the picture has no address";
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

void SaveJob::Write()
{
    if (Stamps.empty())
        Result = SaveGeoTag(Source, Target, *Record, &Error, &Warnings);
    else
        Result = Saver ? Saver(Source, Target, *Record, Stamps, &Error, Options, &Warnings)
                       : SaveStampedPicture(Source, Target, *Record, Stamps, &Error, nullptr, Options, &Warnings);
    for (const auto& w : Warnings) LogWarning(LogArea::Save, Target + ": " + w);
    if (FAILED(Result)) LogWarning(LogArea::Save, Target + ": not written: " + (Error.empty() ? std::string("failed") : Error));
    if (FAILED(Result) || !OverPicture) return;
    // The picture's new file, read here so that the window's thread only takes it.
    if (Thumbnails) Thumbnail = Thumbnails(Target);
    std::string ignored;
    Reread = ReadGeoTag(Target, nullptr, &ignored);
}

HRESULT CCorvaneDoc::SavePicture(int index, const std::string& targetPath, bool force, std::string* error,
                                 std::vector<std::wstring>* notes)
{
    if (index < 0 || index >= Count()) return E_INVALIDARG;
    if (Item(index).Saved && !force) return S_FALSE;
    std::string failure;
    std::vector<std::wstring> leftOut;
    SaveJob job;
    HRESULT hr = BeginSave(index, targetPath, force, job, failure, leftOut);
    if (job.Ready) {
        WriteOffTheWindow(job);
        hr = EndSave(job, failure);
    }
    ReportSave(index, hr, failure, leftOut, error, notes);
    return hr;
}

// A single save writes on the worker too: a stamped or large picture takes
// long enough to freeze the window. Inside another run (or where no worker
// runs, as on the command line) it is written here.
void CCorvaneDoc::WriteOffTheWindow(SaveJob& job)
{
    class CSingleSaveLoop : public IBackgroundLoop {
    public:
        explicit CSingleSaveLoop(SaveJob& job) : job_(job) {}
        bool Prepare(int& index) override { return index == 0; }
        void Work(const std::atomic_bool&) override
        {
            job_.Write();
            written_ = true;
        }
        void Apply() override {}
        bool Written() const { return written_; }

    private:
        SaveJob& job_;
        std::atomic_bool written_{false};
    } loop(job);
    if (!busy_) {
        CBusyRun run(*this);
        ui_.Runner().RunInBackground(kSaveAllContent, 1, loop);
    }
    if (!loop.Written()) job.Write();
}

void CCorvaneDoc::ReportSave(int index, HRESULT hr, const std::string& failure,
                             const std::vector<std::wstring>& leftOut, std::string* error,
                             std::vector<std::wstring>* notes)
{
    const PictureItem& item = Item(index);
    if (notes)
        notes->insert(notes->end(), leftOut.begin(), leftOut.end());
    else
        for (const std::wstring& note : leftOut) saveReport_.push_back(item.Name + L": " + note);
    if (FAILED(hr) && error) *error = failure;
    if (FAILED(hr) && !error) saveReport_.push_back(item.Name + L": not saved: " + Utf8OrLatin1ToWide(failure));
    if (!savingAll_) ReportSaves();
}

HRESULT CCorvaneDoc::BeginSave(int index, const std::string& targetPath, bool force, SaveJob& job,
                               std::string& failure, std::vector<std::wstring>& leftOut)
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
    job.Index = index;
    job.Source = item.Path;
    job.Target = target;
    job.Record.reset(item.Current()->Clone());
    job.Stamps = stamps;
    job.Options.MaxStampMegapixels = ReadIntSetting(settings_, "MaxStampMegapixels");
    job.Saver = stampedSaver_;
    job.Thumbnails = thumbnailMaker_;
    job.OverPicture = target == item.Path;
    // The watcher must not take our own write for another program's.
    job.InShownFolder = folder == fs::path(currentFolder_);
    if (job.InShownFolder) ownWrites_.push_back(Utf8OrLatin1ToWide(fs::path(target).filename().string()));
    savingNow_.push_back(index);
    job.Ready = true;
    return S_OK;
}

HRESULT CCorvaneDoc::EndSave(SaveJob& job, std::string& failure)
{
    const int index = job.Index;
    PictureItem& item = Item(index);
    if (SUCCEEDED(job.Result))
        for (const auto& w : job.Warnings) saveWarnings_.push_back({item.Path, Utf8OrLatin1ToWide(w)});
    savingNow_.erase(std::remove(savingNow_.begin(), savingNow_.end(), index), savingNow_.end());
    // A picture whose write failed keeps counting as unsaved, so that leaving
    // the folder still asks before its changes are lost.
    if (FAILED(job.Result)) {
        if (job.InShownFolder && !ownWrites_.empty()) ownWrites_.pop_back();
        failure = job.Error;
        return job.Result;
    }
    for (PendingOperation& p : item.PendingOperations) {
        const bool drawn = std::find(job.Stamps.begin(), job.Stamps.end(), &p) != job.Stamps.end();
        if (drawn && job.OverPicture) p.InPicture = true;
        if (drawn || p.InPicture || (p.Operation && p.Operation->IsMetadataOperation())) p.Written = true;
    }
    item.RewriteNeeded = false;
    if (job.OverPicture) ApplyReload(index, std::move(job.Thumbnail), std::move(job.Reread));
    item.Saved = true;
    return job.Result;
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
    if (!HasUnsavedChanges() || busy_) return;
    // Each picture is written on the worker; the document takes the result
    // on this thread. Cancel lets the picture in hand be finished whole.
    class CSaveAllLoop : public IBackgroundLoop {
    public:
        explicit CSaveAllLoop(CCorvaneDoc& doc) : doc_(doc) {}
        bool Prepare(int& index) override
        {
            while (index < doc_.Count() && doc_.Item(index).Saved) ++index;
            if (index >= doc_.Count()) return false;
            job_ = SaveJob();
            failure_.clear();
            leftOut_.clear();
            const HRESULT hr = doc_.BeginSave(index, std::string(), false, job_, failure_, leftOut_);
            if (!job_.Ready) doc_.ReportSave(index, hr, failure_, leftOut_, nullptr, nullptr);
            return job_.Ready;
        }
        void Work(const std::atomic_bool&) override { job_.Write(); }
        void Apply() override
        {
            const HRESULT hr = doc_.EndSave(job_, failure_);
            doc_.ReportSave(job_.Index, hr, failure_, leftOut_, nullptr, nullptr);
        }

    private:
        CCorvaneDoc& doc_;
        SaveJob job_;
        std::string failure_;
        std::vector<std::wstring> leftOut_;
    } loop(*this);
    // What single saves leave out or fail at is told once, after the run.
    savingAll_ = true;
    {
        CBusyRun run(*this);
        ui_.Runner().RunInBackground(kSaveAllContent, Count(), loop);
    }
    savingAll_ = false;
    ReportSaves();
}
