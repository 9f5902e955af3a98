#include "CliCommands.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>

#include "CliInputs.h"
#include "CliOutputClaims.h"
#include "GeoTagFile.h"
#include "ImageMetadataManipulationOperation.h"
#include "Interruption.h"
#include "MetadataTable.h"
#include "StringUtil.h"

namespace fs = std::filesystem;

namespace {

void ReportFailure(const std::string& path, const std::string& reason)
{
    std::cerr << path << ": " << reason << "\n";
}

std::wstring FileName(const std::string& path)
{
    return Utf8OrLatin1ToWide(fs::path(path).filename().string());
}

void PrintTable(const std::vector<LoadedPicture>& pictures)
{
    using namespace MetadataTable;
    std::vector<std::vector<std::wstring>> cells;
    std::vector<size_t> widths(ColumnCount, 0);
    std::vector<std::wstring> header;
    for (int c = 0; c < ColumnCount; ++c) header.push_back(ColumnTitle(c));
    cells.push_back(header);
    for (size_t i = 0; i < pictures.size(); ++i) {
        std::vector<std::wstring> row;
        for (int c = 0; c < ColumnCount; ++c)
            row.push_back(CellText(pictures[i].Record.get(), c, static_cast<int>(i) + 1, FileName(pictures[i].Path)));
        cells.push_back(row);
    }
    for (const auto& row : cells)
        for (int c = 0; c < ColumnCount; ++c) widths[c] = std::max(widths[c], row[c].size());
    for (const auto& row : cells) {
        std::wstring line;
        for (int c = 0; c < ColumnCount; ++c) {
            line += row[c];
            if (c + 1 < ColumnCount) line += std::wstring(widths[c] - row[c].size() + 2, L' ');
        }
        while (!line.empty() && line.back() == L' ') line.pop_back();
        std::cout << WideToUtf8(line) << "\n";
    }
}

}  // namespace

int RunShow(const CliOptions& o)
{
    std::vector<LoadedPicture> pictures;
    const bool ok = LoadPictures(o.Inputs, pictures);
    if (o.Csv) {
        std::vector<MetadataTable::Row> rows;
        rows.reserve(pictures.size());
        for (const auto& p : pictures) rows.push_back({FileName(p.Path), p.Record.get()});
        std::cout << MetadataTable::ToCsv(rows, o.Separator ? *o.Separator : MetadataTable::LocaleListSeparator());
    } else {
        PrintTable(pictures);
    }
    std::cout.flush();
    return ok ? 0 : 1;
}

namespace {

using EntryList = std::vector<std::unique_ptr<UpdateEntry>>;

UpdateEntry& AddEntry(EntryList& entries, GeoField field, bool clear)
{
    entries.push_back(std::make_unique<UpdateEntry>());
    entries.back()->Field = field;
    entries.back()->Clear = clear;
    return *entries.back();
}

// The fixed precision value the table stores with each word.
double DopOfWord(const std::wstring& word)
{
    const std::pair<const wchar_t*, double> table[] = {{L"Ideal", 1.0},    {L"Excellent", 1.5}, {L"Good", 3.5},
                                                       {L"Moderate", 7.5}, {L"Fair", 15.0},     {L"Poor", 25.0}};
    for (const auto& t : table)
        if (word == t.first) return t.second;
    return 25.0;
}

EntryList SetEntries(const CliOptions& o)
{
    EntryList e;
    if (o.Date) AddEntry(e, DateTakenField, false).Number = o.Date->Value;
    if (o.Latitude) AddEntry(e, LatitudeField, false).Number = *o.Latitude;
    if (o.Longitude) AddEntry(e, LongitudeField, false).Number = *o.Longitude;
    if (o.Altitude) AddEntry(e, AltitudeField, false).Number = *o.Altitude;
    if (o.Direction) {
        UpdateEntry& d = AddEntry(e, ImageDirectionField, false);
        d.Number = o.Direction->Degrees;
        d.Reference = o.Direction->Reference;
    }
    if (o.Precision) {
        UpdateEntry& p = AddEntry(e, MeasurementPrecisionField, false);
        p.SetExtraText(*o.Precision);
        p.Number = DopOfWord(*o.Precision);
    }
    if (o.Datum) AddEntry(e, MapDatumField, false).SetText(*o.Datum);
    if (o.GpsDate) AddEntry(e, GPSDateField, false).Number = *o.GpsDate;
    if (o.GpsTime) AddEntry(e, GPSTimeField, false).Number = *o.GpsTime;
    if (o.Location) AddEntry(e, LocationField, false).SetText(*o.Location);
    if (o.City) AddEntry(e, CityField, false).SetText(*o.City);
    if (o.State) AddEntry(e, StateField, false).SetText(*o.State);
    if (o.Country) AddEntry(e, CountryField, false).SetText(*o.Country);
    return e;
}

const GeoField kGpsColumns[] = {LatitudeField,  LongitudeField, AltitudeField, ImageDirectionField,
                                MeasurementPrecisionField, MapDatumField, GPSDateField, GPSTimeField};
const GeoField kAddressColumns[] = {LocationField, CityField, StateField, CountryField};

struct ClearPlan {
    EntryList Entries;
    bool GpsWithoutColumns = false;  // version, speed, track, satellites, status...
};

ClearPlan ClearEntries(const CliOptions& o)
{
    const char* const names[] = {"",         "",         "date",     "latitude", "longitude",
                                 "altitude", "direction", "precision", "datum",   "gps-date",
                                 "gps-time", "location", "city",      "state",    "country"};
    std::vector<bool> wanted(GeoFieldCount, false);
    ClearPlan plan;
    for (const auto& f : o.Fields) {
        for (int i = DateTakenField; i < GeoFieldCount; ++i) wanted[i] = wanted[i] || f == names[i];
        if (f == "gps" || f == "all") {
            for (GeoField g : kGpsColumns) wanted[g] = true;
            plan.GpsWithoutColumns = true;
        }
        if (f == "address" || f == "all")
            for (GeoField g : kAddressColumns) wanted[g] = true;
        if (f == "all") wanted[DateTakenField] = true;
    }
    for (int i = DateTakenField; i < GeoFieldCount; ++i)
        if (wanted[i]) AddEntry(plan.Entries, static_cast<GeoField>(i), true);
    return plan;
}

// The GPS fields no column shows; true when one was present.
bool ClearGpsWithoutColumns(CGPSMetadataInfo& r)
{
    const bool any = r.GPSVersion || r.Satellites || r.Status || r.MeasureMode || r.SpeedRef || r.Speed ||
                     r.TrackRef || r.Track || r.Differential || r.HPositioningError;
    ClearField(r.GPSVersion);
    ClearField(r.Satellites);
    ClearField(r.Status);
    ClearField(r.MeasureMode);
    ClearField(r.SpeedRef);
    ClearField(r.Speed);
    ClearField(r.TrackRef);
    ClearField(r.Track);
    ClearField(r.Differential);
    ClearField(r.HPositioningError);
    return any;
}

std::string TargetPath(const CliOptions& o, const std::string& path)
{
    if (o.OutDir.empty()) return path;
    return (fs::path(o.OutDir) / fs::path(path).filename()).string();
}

std::string ChangedNames(const std::vector<std::int32_t>& changed)
{
    std::string names;
    for (std::int32_t f : changed) {
        if (!names.empty()) names += ", ";
        names += WideToUtf8(MetadataTable::ColumnTitle(f));
    }
    return names;
}

}  // namespace

bool CommitBatch(CAtomicFileBatch& batch, std::vector<std::string>& staged)
{
    const auto failures = batch.Commit();
    for (const auto& target : staged) {
        auto failed = std::find_if(failures.begin(), failures.end(),
                                   [&](const CAtomicFileBatch::Failure& f) { return f.Target == target; });
        if (failed == failures.end())
            std::cout << target << ": saved\n";
        else
            ReportFailure(target, failed->Error);
    }
    staged.clear();
    return failures.empty();
}

// Opens and locks a picture for its edit. A lock another run holds is
// waited for only while this run holds none (its staged files committed):
// two runs each holding what the other waits for would wait for ever.
HRESULT LockForEdit(const std::string& path, CAtomicFileBatch& batch, std::vector<std::string>& staged, bool& ok,
                    std::unique_ptr<CLockedSource>& source, std::string& error)
{
    const HRESULT hr = CLockedSource::Open(path, batch.StagedCount() ? LockWait::No : LockWait::Yes, source, &error);
    if (hr != E_SOURCE_LOCKED || batch.StagedCount() == 0) return hr;
    ok = CommitBatch(batch, staged) && ok;
    return CLockedSource::Open(path, LockWait::Yes, source, &error);
}


int RunSetOrClear(const CliOptions& o)
{
    const bool clearing = o.Verb == "clear";
    ClearPlan plan;
    if (clearing)
        plan = ClearEntries(o);
    else
        plan.Entries = SetEntries(o);
    if (plan.Entries.empty() && !plan.GpsWithoutColumns) {
        std::cerr << "corvane-cli: nothing to " << o.Verb << "\n" << CliUsage();
        return 2;
    }
    std::error_code ec;
    if (!o.OutDir.empty() && !o.DryRun && !fs::is_directory(o.OutDir, ec) && !fs::create_directories(o.OutDir, ec)) {
        std::cerr << o.OutDir << ": write failed: cannot create the folder (" << ec.message() << ")\n";
        return 1;
    }
    std::vector<UpdateEntry*> raw;
    for (auto& e : plan.Entries) raw.push_back(e.get());

    const ExpandedInputs inputs = ExpandInputs(o.Inputs);
    bool ok = ReportInputProblems(inputs.Problems);
    COutputClaims claims(inputs.Files);
    // One picture at a time: read once, change, stage its new file, let go.
    // The staged files reach the disk together, then replace their targets.
    CAtomicFileBatch batch;
    std::vector<std::string> staged;
    for (const auto& path : inputs.Files) {
        if (InterruptSignal()) break;  // the files staged so far are still committed below
        std::string error;
        std::unique_ptr<CLockedSource> source;
        std::unique_ptr<CPictureMetadata> picture;
        if (SUCCEEDED(LockForEdit(path, batch, staged, ok, source, error)))
            picture = OpenPictureForEdit(*source, &error);
        if (!picture) {
            ReportFailure(path, error);
            ok = false;
            continue;
        }
        std::unique_ptr<CGPSMetadataInfo> version = DecodeGeoTag(*picture);
        CImageMetadataManipulationOperation operation;
        std::vector<std::int32_t> changed;
        operation.AttachRecord(version.get());
        const HRESULT applied =
            raw.empty() ? S_OK : operation.ApplyUpdates(raw.data(), static_cast<int>(raw.size()), changed);
        operation.Uninitialize();
        if (FAILED(applied)) {
            // A value the picture cannot take changes nothing in it.
            ReportFailure(path, "not changed: " + WideToUtf8(operation.Refusal()));
            ok = false;
            continue;
        }
        const bool extra = plan.GpsWithoutColumns && ClearGpsWithoutColumns(*version);
        if (changed.empty() && !extra) {
            std::cout << path << ": no change\n";
            continue;
        }
        const std::string target = TargetPath(o, path);
        std::string refusal;
        if (!claims.Claim(path, target, refusal)) {
            ReportFailure(path, refusal);
            ok = false;
            continue;
        }
        if (o.DryRun) {
            std::cout << path << ": would change " << (changed.empty() ? "GPS fields" : ChangedNames(changed)) << "\n";
            continue;
        }
        std::vector<std::string> warnings;
        if (FAILED(SaveGeoTag(*picture, target, *version, &error, &batch, &warnings, std::move(source)))) {
            ReportFailure(path, error);
            ok = false;
            continue;
        }
        for (const auto& warning : warnings) std::cerr << path << ": warning: " << warning << "\n";
        staged.push_back(target);
        if (batch.Full()) ok = CommitBatch(batch, staged) && ok;
    }
    ok = CommitBatch(batch, staged) && ok;
    return ok ? 0 : 1;
}
