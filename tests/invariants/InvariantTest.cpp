// The invariant suite: every edit of Edits.cpp on every picture of the
// picture folder, checked with exiftool, exiv2, djpeg and libtiff as
// independent readers. One test per edit; each picture's findings are
// reported by name and invariant number (Checks.h).
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <memory>

#include "AddressService.h"
#include "Checks.h"
#include "Edits.h"
#include "ImageData.h"
#include "KnownFailures.h"
#include "Listing.h"
#include "TestSupport.h"
#include "Workspace.h"

namespace invariants {

// The document API part (StampTwice.cpp).
void RunStampTwice(const Edit& edit, const std::vector<Picture>& pictures, const std::map<fs::path, Reading>& before,
                   const fs::path& folder, std::map<std::string, std::vector<Finding>>& findings);

namespace {

using testsupport::ReadFile;

const char* const kOtherLocales[] = {"de_DE.UTF-8", "fr_FR.UTF-8"};

const char* InvariantName(int n)
{
    static const char* const names[] = {"outcome",   "intended values", "other tags unchanged", "image data kept",
                                        "idempotent", "stored forms",   "no new warnings",      "locale"};
    return n >= 0 && n <= 7 ? names[n] : "?";
}

class EditTest : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override
    {
        folder_ = PictureFolder(&corpus_);
        pictures_ = FindPictures(folder_);
        ASSERT_FALSE(pictures_.empty()) << "no pictures in " << folder_;
        for (const char* tool : {"exiftool", "exiv2", "djpeg"}) REQUIRE_TOOL(tool);
        std::vector<fs::path> originals;
        for (const Picture& p : pictures_) originals.push_back(p.Original);
        const auto readings = ReadCached(originals, CORVANE_INVARIANT_CACHE);
        for (const Picture& p : pictures_) before_[p.WorkName] = readings.at(p.Original);
        workspace_ = std::make_unique<Workspace>(temp_.Path());
        if (TheEdit().Geocodes) service_ = std::make_unique<AddressService>();
    }

    const Edit& TheEdit() const { return AllEdits()[GetParam()]; }
    const Reading& Before(const Picture& p) const { return before_.at(p.WorkName); }
    void Note(const Picture& p, int number, const std::string& message)
    {
        findings_[p.Relative].push_back({number, message});
    }

    std::string Arguments() const;
    std::string ArgumentsFor(const Picture& p) const;
    std::map<std::string, PictureOutcome> RunEdit(const fs::path& folder, const std::string& locale);
    void CheckOutcome(const Picture& p, const PictureOutcome& o, const fs::path& folder);
    void CheckSaved(const std::map<std::string, PictureOutcome>& outcomes);
    void CheckAgain(const std::map<std::string, PictureOutcome>& first);
    void CheckLocale(const std::string& locale, const std::map<std::string, PictureOutcome>& first);
    void Report();

    bool corpus_ = false;
    fs::path folder_;
    std::vector<Picture> pictures_;
    std::map<std::string, Reading> before_;  // by work name
    testsupport::TempDir temp_;
    std::unique_ptr<Workspace> workspace_;
    std::unique_ptr<AddressService> service_;
    std::map<std::string, std::vector<Finding>> findings_;  // by picture
};

std::string EditTest::Arguments() const
{
    std::string args = TheEdit().Arguments;
    const size_t at = args.find("{server}");
    if (at != std::string::npos) args.replace(at, 8, service_ ? service_->Url() : std::string());
    return args;
}

// "set the value it already has": the picture's own city and latitude, as exiftool reads them.
std::string EditTest::ArgumentsFor(const Picture& p) const
{
    const Listing& l = Before(p).ExifTool;
    std::string args;
    if (l.Has("IPTC:City")) args += " --city " + Shell(l.ByKey.at("IPTC:City"));
    if (l.Has("GPS:GPSLatitude") && l.Has("GPS:GPSLatitudeRef")) {
        const bool south = l.ByKey.at("GPS:GPSLatitudeRef") == "S";
        args += " --lat " + std::string(south ? "-" : "") + l.ByKey.at("GPS:GPSLatitude");
    }
    return args.empty() ? args : "set" + args;
}

std::map<std::string, PictureOutcome> EditTest::RunEdit(const fs::path& folder, const std::string& locale)
{
    std::map<std::string, PictureOutcome> outcomes;
    if (TheEdit().Kind == EditKind::CliEachPicture) {
        for (const Picture& p : pictures_) {
            const std::string args = ArgumentsFor(p);
            if (args.empty()) {
                outcomes[p.WorkName].What = PictureOutcome::NoChange;
                continue;
            }
            const CliRun run = workspace_->Run(args, {folder / p.WorkName}, locale);
            outcomes[p.WorkName] = run.Outcomes.count(p.WorkName) ? run.Outcomes.at(p.WorkName) : PictureOutcome();
        }
        return outcomes;
    }
    const CliRun run = workspace_->Run(Arguments(), {folder}, locale);
    outcomes = run.Outcomes;
    for (const Picture& p : pictures_) outcomes[p.WorkName];  // Missing unless reported
    if (run.Status == 0 || run.Status == 1) return outcomes;
    // The run died: each picture it did not reach is tried alone, to name the one that kills it.
    for (const Picture& p : pictures_) {
        if (outcomes[p.WorkName].What != PictureOutcome::Missing) continue;
        const CliRun alone = workspace_->Run(Arguments(), {folder / p.WorkName}, locale);
        if (alone.Outcomes.count(p.WorkName)) outcomes[p.WorkName] = alone.Outcomes.at(p.WorkName);
        if (alone.Status != 0 && alone.Status != 1 && locale == "C")
            Note(p, Outcome, "corvane-cli died (status " + std::to_string(alone.Status) + "): " + alone.Err.substr(0, 200));
    }
    return outcomes;
}

void EditTest::CheckOutcome(const Picture& p, const PictureOutcome& o, const fs::path& folder)
{
    const Edit& edit = TheEdit();
    const Reading& before = Before(p);
    const fs::path copy = folder / p.WorkName;
    const bool untouched = ReadFile(copy) == ReadFile(p.Original);
    const bool withoutCoordinates = edit.NeedsCoordinates && !HasCoordinates(before.ExifTool) &&
                                    !(edit.AddressWillDo && HasAddress(before.ExifTool));
    bool dataFound = false;
    ImageDataOf(p.Original, &dataFound);
    // A picture a decoder or exiftool finds fault with may be refused; a sound one may not.
    bool faulted = false;
    for (const std::string& w : before.ExifTool.Warnings) faulted = faulted || w.find("[minor]") == std::string::npos;
    const bool damaged = !before.Decodes || !dataFound || faulted;
    switch (o.What) {
    case PictureOutcome::Missing:
        if (edit.Kind != EditKind::CliEachPicture) Note(p, Outcome, "no outcome reported for this picture");
        break;
    case PictureOutcome::Refused:
        if (!untouched) Note(p, Outcome, "refused (\"" + o.Reason + "\") but the file changed");
        if (!damaged && !withoutCoordinates) Note(p, Outcome, "a sound picture was refused: " + o.Reason);
        break;
    case PictureOutcome::NoChange:
        if (!untouched) Note(p, Outcome, "\"no change\" but the file changed");
        if (edit.Reencodes && !withoutCoordinates && !damaged) Note(p, Outcome, "not stamped (\"no change\")");
        if (!withoutCoordinates)
            for (const Finding& f : CheckIntents(edit, before.ExifTool, before.ExifTool)) Note(p, f.Number, f.Message);
        break;
    case PictureOutcome::Saved:
        if (withoutCoordinates) Note(p, Outcome, "saved, although the picture has no coordinates for this edit");
        if (!edit.OverOriginal && !untouched) Note(p, Outcome, "saved into the sub-folder, but the original changed");
        if (edit.OverOriginal && o.Output != copy) Note(p, Outcome, "saved to " + o.Output.string() + ", not over the original");
        if (!edit.OverOriginal && o.Output.parent_path().filename() != "Modified")
            Note(p, Outcome, "saved to " + o.Output.string() + ", not into the sub-folder");
        if (!fs::exists(o.Output)) Note(p, Outcome, "reported saved, but " + o.Output.string() + " does not exist");
        break;
    }
}

void EditTest::CheckSaved(const std::map<std::string, PictureOutcome>& outcomes)
{
    std::vector<fs::path> outputs;
    for (const auto& [name, o] : outcomes)
        if (o.What == PictureOutcome::Saved && fs::exists(o.Output)) outputs.push_back(o.Output);
    const auto after = ReadNow(outputs);
    for (const Picture& p : pictures_) {
        const PictureOutcome& o = outcomes.at(p.WorkName);
        if (o.What != PictureOutcome::Saved || !after.count(o.Output)) continue;
        const Reading& before = Before(p);
        for (const Finding& f : CompareReadings(TheEdit(), before, after.at(o.Output), p.IsTiff))
            Note(p, f.Number, f.Message);
        if (before.Decodes && !after.at(o.Output).Decodes) Note(p, Outcome, "the saved picture no longer decodes");
        if (TheEdit().Reencodes) continue;
        bool found = false;
        const std::string was = ImageDataOf(p.Original, &found);
        const std::string is = ImageDataOf(o.Output);
        if (!found && ReadFile(o.Output) != ReadFile(p.Original))
            Note(p, ImageDataKept, "rewritten, though its image data cannot be located to be kept");
        else if (was != is)
            Note(p, ImageDataKept, "image data changed: " + std::to_string(was.size()) + " bytes became " +
                                       std::to_string(is.size()));
    }
}

// The same edit again on what the first run wrote.
void EditTest::CheckAgain(const std::map<std::string, PictureOutcome>& first)
{
    const fs::path again = temp_.Path() / "again";
    fs::create_directories(again);
    for (const Picture& p : pictures_) {
        const PictureOutcome& o = first.at(p.WorkName);
        fs::copy_file(o.What == PictureOutcome::Saved ? o.Output : p.Original, again / p.WorkName);
        fs::permissions(again / p.WorkName, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    }
    const auto second = RunEdit(again, "C");
    for (const Picture& p : pictures_) {
        const PictureOutcome& o = first.at(p.WorkName);
        if (o.What != PictureOutcome::Saved) continue;
        const PictureOutcome& s = second.at(p.WorkName);
        if (s.What == PictureOutcome::Saved && ReadFile(s.Output) != ReadFile(o.Output))
            Note(p, Idempotent, "applied again, the edit changed the file again (" +
                                    std::to_string(fs::file_size(o.Output)) + " bytes became " +
                                    std::to_string(fs::file_size(s.Output)) + ")");
        else if (s.What == PictureOutcome::Refused)
            Note(p, Idempotent, "applied again, the edit was refused: " + s.Reason);
    }
}

void EditTest::CheckLocale(const std::string& locale, const std::map<std::string, PictureOutcome>& first)
{
    const auto other = RunEdit(workspace_->CopyPictures(locale, pictures_), locale);
    for (const Picture& p : pictures_) {
        const PictureOutcome& a = first.at(p.WorkName);
        const PictureOutcome& b = other.at(p.WorkName);
        if (a.What != b.What)
            Note(p, LocaleInvariant, "under " + locale + " the outcome differs (" + std::to_string(b.What) + " instead of " +
                                         std::to_string(a.What) + ")");
        else if (a.What == PictureOutcome::Saved && ReadFile(a.Output) != ReadFile(b.Output))
            Note(p, LocaleInvariant, "under " + locale + " the saved file differs from the one saved under C");
    }
}

void EditTest::Report()
{
    const Edit& edit = TheEdit();
    // Known findings are counted per entry and shown once, with one example.
    std::map<const KnownFailure*, std::pair<size_t, std::string>> known;
    for (const auto& [picture, list] : findings_) {
        for (const Finding& f : list) {
            const KnownFailure* k = FindKnown(KnownFailures(), edit.Name, picture, f.Number, f.Message);
            if (!k) k = FindKnown(LibraryLimits(), edit.Name, picture, f.Number, f.Message);
            if (k) {
                auto& entry = known[k];
                if (entry.first++ == 0) entry.second = picture + ": " + f.Message;
                continue;
            }
            ADD_FAILURE() << picture << " (" << edit.Name << "): invariant " << f.Number << " ("
                          << InvariantName(f.Number) << "): " << f.Message;
        }
    }
    const auto& limits = LibraryLimits();
    for (const auto& [k, seen] : known) {
        const bool library = k >= limits.data() && k < limits.data() + limits.size();
        std::cout << (library ? "[ LIBRARY  ]" : "[  KNOWN   ]") << " invariant " << k->Invariant << " ("
                  << InvariantName(k->Invariant) << "), " << seen.first << " finding(s), e.g. " << seen.second
                  << "\n             " << k->Fault << "\n";
    }
    std::cout << "[ SUMMARY  ] " << edit.Name << ": " << pictures_.size() << " pictures\n";
    if (corpus_) return;  // another collection need not show every known fault
    for (const KnownFailure& k : KnownFailures())
        if (CoversEdit(k, edit.Name) && !known.count(&k))
            ADD_FAILURE() << "known failure no longer happens in " << edit.Name
                          << "; remove the edit from its entry in KnownFailures.cpp: {\"" << k.Edits << "\", \""
                          << k.Picture << "\", " << k.Invariant << ", \"" << k.Message << "\"}";
}

TEST_P(EditTest, KeepsTheInvariants)
{
    const Edit& edit = TheEdit();
    if (edit.Kind == EditKind::DocumentStampTwice) {
        std::map<fs::path, Reading> byOriginal;
        for (const Picture& p : pictures_) byOriginal[p.Original] = Before(p);
        RunStampTwice(edit, pictures_, byOriginal, temp_.Path() / "document", findings_);
        Report();
        return;
    }
    workspace_->MakeSettings(edit.OverOriginal);
    const fs::path folder = workspace_->CopyPictures("C", pictures_);
    const auto outcomes = RunEdit(folder, "C");
    for (const Picture& p : pictures_) CheckOutcome(p, outcomes.at(p.WorkName), folder);
    CheckSaved(outcomes);
    if (edit.Idempotent()) CheckAgain(outcomes);
    for (const char* locale : kOtherLocales) CheckLocale(locale, outcomes);
    Report();
}

std::string TestName(const ::testing::TestParamInfo<size_t>& info)
{
    std::string name = AllEdits()[info.param].Name;
    for (char& c : name)
        if (c == '-') c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Edits, EditTest, ::testing::Range(size_t{0}, AllEdits().size()), TestName);

}  // namespace
}  // namespace invariants
