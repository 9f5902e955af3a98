// The pictures the suite edits and the corvane-cli runs it makes on copies
// of them, with settings in a folder of their own, as a user would.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace invariants {

namespace fs = std::filesystem;

struct Picture {
    fs::path Original;     // never written
    std::string Relative;  // its path inside the picture folder, for messages and the known failures
    std::string WorkName;  // the name of its copies: "007-Canon_40D.jpg"
    bool IsTiff = false;
};

// The picture folder: $CORVANE_CORPUS when set (scripts/test --corpus), else
// tests/data/pictures. `isCorpus` tells which.
fs::path PictureFolder(bool* isCorpus = nullptr);
// Every JPEG and TIFF under the folder, by extension or content, in name order.
std::vector<Picture> FindPictures(const fs::path& folder);

struct PictureOutcome {
    enum Kind { Missing, Saved, NoChange, Refused };
    Kind What = Missing;
    fs::path Output;     // Saved: where the new file is
    std::string Reason;  // Refused: what the program said
};

struct CliRun {
    int Status = -1;  // the exit status; -1 when killed by a signal
    std::map<std::string, PictureOutcome> Outcomes;  // by work name
    std::string Out, Err;
};

class Workspace {
public:
    explicit Workspace(const fs::path& root);
    // A folder holding a copy of each picture.
    fs::path CopyPictures(const std::string& name, const std::vector<Picture>& pictures) const;
    // Settings for the runs: the program's defaults, saving over the
    // originals or into "Modified".
    void MakeSettings(bool overOriginal) const;
    // Runs "corvane-cli ARGUMENTS TARGETS" under `locale`.
    CliRun Run(const std::string& arguments, const std::vector<fs::path>& targets, const std::string& locale) const;

private:
    std::string Environment(const std::string& locale) const;
    fs::path root_;
};

// "'" quoting for the shell.
std::string Shell(const std::string& text);

}  // namespace invariants
