#include "Workspace.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

#include "TestSupport.h"

namespace invariants {

using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::WriteFile;

std::string Shell(const std::string& text)
{
    return testsupport::Quote(text);
}

fs::path PictureFolder(bool* isCorpus)
{
    const char* corpus = std::getenv("CORVANE_CORPUS");
    if (isCorpus) *isCorpus = corpus && *corpus;
    if (corpus && *corpus) return fs::absolute(corpus);
    return fs::path(CORVANE_SAMPLES) / "pictures";
}

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// "jpg" or "tif" by content, "" for anything else.
std::string KindOf(const fs::path& file)
{
    const std::string head = ReadFile(file).substr(0, 4);
    if (head.rfind("\xFF\xD8\xFF", 0) == 0) return "jpg";
    if (head == std::string("II*\0", 4) || head == std::string("MM\0*", 4)) return "tif";
    return "";
}

bool PictureExtension(const std::string& extension)
{
    const std::string e = Lower(extension);
    return e == ".jpg" || e == ".jpeg" || e == ".jpe" || e == ".jfif" || e == ".tif" || e == ".tiff";
}

std::string SafeName(const std::string& name)
{
    std::string out;
    for (unsigned char c : name) out += std::isalnum(c) || c == '.' || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    return out;
}

}  // namespace

std::vector<Picture> FindPictures(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(it->path());
    std::sort(files.begin(), files.end());
    std::vector<Picture> pictures;
    for (const fs::path& f : files) {
        const std::string kind = KindOf(f);
        if (kind.empty() && !PictureExtension(f.extension().string())) continue;
        if (kind.empty()) continue;  // named like a picture, but not one: nothing to edit
        Picture p;
        p.Original = f;
        p.Relative = fs::relative(f, folder).string();
        p.IsTiff = kind == "tif";
        char index[8];
        std::snprintf(index, sizeof index, "%03zu-", pictures.size());
        std::string name = SafeName(f.filename().string());
        if (!PictureExtension(f.extension().string())) name += "." + kind;
        p.WorkName = index + name;
        pictures.push_back(std::move(p));
    }
    return pictures;
}

Workspace::Workspace(const fs::path& root) : root_(root)
{
    fs::create_directories(root_ / "home");
    fs::create_directories(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
}

fs::path Workspace::CopyPictures(const std::string& name, const std::vector<Picture>& pictures) const
{
    const fs::path folder = root_ / name;
    fs::create_directories(folder);
    for (const Picture& p : pictures) {
        const fs::path to = folder / p.WorkName;
        fs::copy_file(p.Original, to, fs::copy_options::overwrite_existing);
        fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    }
    return folder;
}

std::string Workspace::Environment(const std::string& locale) const
{
    return "env LC_ALL=" + locale + " LANG=" + locale + " HOME=" + Shell((root_ / "home").string()) +
           " XDG_CONFIG_HOME=" + Shell((root_ / "config").string()) + " XDG_RUNTIME_DIR=" +
           Shell((root_ / "runtime").string()) + " QT_QPA_PLATFORM=offscreen ";
}

void Workspace::MakeSettings(bool overOriginal) const
{
    // The program writes its defaults on a first run; then only where to save changes.
    const fs::path ini = root_ / "config/Halvorn/Corvane.ini";
    if (!fs::exists(ini)) Run("stamp title first-run", {root_ / "no-such-picture.jpg"}, "C");
    std::istringstream in(ReadFile(ini));
    std::string text, line;
    while (std::getline(in, line)) {
        if (line.rfind("OverwriteOriginalPics=", 0) == 0) line = "OverwriteOriginalPics=" + std::string(overOriginal ? "0" : "1");
        if (line.rfind("ModifiedPicsLocation=", 0) == 0) line = "ModifiedPicsLocation=Modified";
        text += line + "\n";
    }
    WriteFile(ini, text);
}

namespace {

// "PATH: message" lines; the message of the first ": " after the path.
void ReadLines(const std::string& text, bool fromStdout, CliRun& run)
{
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(": ");
        if (colon == std::string::npos || line[0] != '/') continue;
        const fs::path path = line.substr(0, colon);
        const std::string message = line.substr(colon + 2);
        PictureOutcome& o = run.Outcomes[path.filename().string()];
        if (fromStdout && message == "saved") {
            o.What = PictureOutcome::Saved;
            o.Output = path;
        } else if (fromStdout && message == "no change" && o.What != PictureOutcome::Saved) {
            o.What = PictureOutcome::NoChange;
        } else if (!fromStdout && o.What == PictureOutcome::Missing) {
            o.What = PictureOutcome::Refused;
            o.Reason = message;
        }
    }
}

}  // namespace

CliRun Workspace::Run(const std::string& arguments, const std::vector<fs::path>& targets, const std::string& locale) const
{
    CliRun run;
    std::string command = Environment(locale) + CORVANE_CLI + std::string(" ") + arguments;
    for (const fs::path& t : targets) command += " " + Shell(t.string());
    const fs::path err = root_ / "stderr.txt";
    run.Out = RunCommand(command + " 2>" + Shell(err.string()), &run.Status);
    run.Err = ReadFile(err);
    ReadLines(run.Out, true, run);
    ReadLines(run.Err, false, run);
    return run;
}

}  // namespace invariants
