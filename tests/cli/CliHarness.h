// corvane-cli run as a user runs it (its own settings folder, never the
// user's; optionally as an unprivileged user so that file modes bind even
// for root), and the state of a folder before and after a run.
#pragma once

#include <map>
#include <string>

#include "TestSupport.h"

namespace clitest {

namespace fs = std::filesystem;

struct CliResult {
    int Status = -1;
    std::string Out, Err;
};

class CliRunner {
public:
    // `env`: words for env(1) before the program ("-u NAME", "NAME=value").
    CliResult Run(const std::string& args, const std::string& env = "") const;
    // As "nobody" when the tests run as root, with `folder` (a temporary
    // folder of the test) and the runner's own files handed to that user;
    // as the user otherwise.
    CliResult RunUnprivileged(const fs::path& folder, const std::string& args, const std::string& env = "") const;
    // The settings file the runs read and write.
    fs::path SettingsFile() const { return dir_ / "config/Halvorn/Corvane.ini"; }

private:
    CliResult RunAs(const std::string& prefix, const std::string& args, const std::string& env) const;
    testsupport::TempDir dir_;
};

// Every file and folder below `folder`: its bytes, modification time and mode.
using FolderState = std::map<std::string, std::string>;
FolderState Snapshot(const fs::path& folder);
// The entries that differ between two states, one per line; empty when none.
std::string Differences(const FolderState& before, const FolderState& after);

// Sets a folder's mode for the scope and gives the old one back after it.
class ModeForScope {
public:
    ModeForScope(const fs::path& path, fs::perms mode);
    ~ModeForScope();

private:
    fs::path path_;
    fs::perms old_;
};

}  // namespace clitest
