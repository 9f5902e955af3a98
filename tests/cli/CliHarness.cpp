#include "CliHarness.h"

#include <sys/stat.h>
#include <unistd.h>

namespace clitest {

using testsupport::Quote;
using testsupport::ReadFile;

CliResult CliRunner::RunAs(const std::string& prefix, const std::string& args, const std::string& env) const
{
    CliResult r;
    const fs::path err = dir_ / "stderr.txt";
    const std::string settings =
        "HOME=" + Quote(dir_ / "home") + " XDG_CONFIG_HOME=" + Quote(dir_ / "config") + " ";
    r.Out = testsupport::RunCommand(prefix + "env " + env + " " + settings + CORVANE_CLI + " " + args + " 2>" +
                                        Quote(err),
                                    &r.Status);
    r.Err = ReadFile(err);
    return r;
}

CliResult CliRunner::Run(const std::string& args, const std::string& env) const
{
    return RunAs("", args, env);
}

CliResult CliRunner::RunUnprivileged(const fs::path& folder, const std::string& args, const std::string& env) const
{
    if (::geteuid() != 0) return RunAs("", args, env);
    const std::string owner = "chown -R nobody:nogroup ";
    int status = -1;
    testsupport::RunCommand(owner + Quote(folder) + " " + Quote(dir_.Path()), &status);
    EXPECT_EQ(status, 0) << "chown to nobody failed";
    return RunAs("setpriv --reuid=nobody --regid=nogroup --clear-groups -- ", args, env);
}

FolderState Snapshot(const fs::path& folder)
{
    FolderState state;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st;
        if (::lstat(it->path().c_str(), &st) != 0) continue;
        std::string entry = "mode " + std::to_string(st.st_mode) + " mtime " + std::to_string(st.st_mtim.tv_sec) +
                            "." + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISREG(st.st_mode)) entry += " bytes " + ReadFile(it->path());
        state[fs::relative(it->path(), folder).string()] = entry;
    }
    return state;
}

std::string Differences(const FolderState& before, const FolderState& after)
{
    std::string differences;
    for (const auto& [name, entry] : before) {
        const auto now = after.find(name);
        if (now == after.end())
            differences += name + ": gone\n";
        else if (now->second != entry)
            differences += name + ": changed\n";
    }
    for (const auto& [name, entry] : after)
        if (!before.count(name)) differences += name + ": new\n";
    return differences;
}

ModeForScope::ModeForScope(const fs::path& path, fs::perms mode) : path_(path), old_(fs::status(path).permissions())
{
    fs::permissions(path_, mode);
}

ModeForScope::~ModeForScope()
{
    std::error_code ec;
    fs::permissions(path_, old_, ec);
}

}  // namespace clitest
