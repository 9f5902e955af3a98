#include "CliInputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>
#include <utility>

#include "GeoTagFile.h"
#include "Interruption.h"
#include "PictureFormat.h"

namespace fs = std::filesystem;

namespace {

using FileIdentity = std::pair<dev_t, ino_t>;

struct Expansion {
    ExpandedInputs Result;
    std::set<FileIdentity> Seen;  // a file named twice (or by a link and by name) is worked on once

    void AddFile(const std::string& path, const struct stat& st)
    {
        if (Seen.insert({st.st_dev, st.st_ino}).second) Result.Files.push_back(path);
    }
    void AddProblem(const std::string& input, std::string reason)
    {
        Result.Problems.push_back({input, std::move(reason)});
    }
};

// The JPEG and TIFF pictures of a folder, by name; hidden files, sub-folders
// and anything else are not pictures of the folder.
void ExpandFolder(const std::string& folder, Expansion& e)
{
    std::error_code ec;
    std::vector<std::string> found;
    fs::directory_iterator it(folder, ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || PictureKindFromName(name) == PictureFormatOther) continue;
        found.push_back(it->path().string());
    }
    // A listing that fails part way still gives the pictures listed so far.
    if (ec) e.AddProblem(folder, "cannot list the folder (" + ec.message() + ")");
    std::sort(found.begin(), found.end());
    for (const auto& path : found) {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            // A dangling link is no picture of the folder; anything else that
            // hides a picture from us is said.
            if (errno != ENOENT) e.AddProblem(path, std::string("unreadable: ") + std::strerror(errno));
            continue;
        }
        if (S_ISREG(st.st_mode)) e.AddFile(path, st);
    }
}

}  // namespace

ExpandedInputs ExpandInputs(const std::vector<std::string>& inputs)
{
    Expansion e;
    for (const auto& input : inputs) {
        struct stat st;
        if (::stat(input.c_str(), &st) != 0) {
            e.AddProblem(input, errno == ENOENT ? std::string("unreadable: no such file or folder")
                                                : std::string("unreadable: ") + std::strerror(errno));
        } else if (S_ISDIR(st.st_mode)) {
            ExpandFolder(input, e);
        } else if (S_ISREG(st.st_mode)) {
            e.AddFile(input, st);
        } else {
            // A FIFO would block the read forever, a device is no picture.
            e.AddProblem(input, "unreadable: not a regular file");
        }
    }
    return std::move(e.Result);
}

bool ReportInputProblems(const std::vector<InputProblem>& problems)
{
    for (const auto& p : problems) std::cerr << p.Input << ": " << p.Reason << "\n";
    return problems.empty();
}

bool LoadPictures(const std::vector<std::string>& inputs, std::vector<LoadedPicture>& pictures)
{
    const ExpandedInputs expanded = ExpandInputs(inputs);
    bool ok = ReportInputProblems(expanded.Problems);
    for (const auto& path : expanded.Files) {
        if (InterruptSignal()) break;
        std::string error;
        auto record = ReadGeoTag(path, nullptr, &error);
        if (!record) {
            std::cerr << path << ": " << error << "\n";
            ok = false;
            continue;
        }
        pictures.push_back({path, std::move(record)});
    }
    return ok;
}
