#include "CliOutputClaims.h"

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The target with links and ".." resolved as far as it exists, so that two
// spellings of one file are one claim.
std::string Resolved(const std::string& path)
{
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? fs::absolute(path).lexically_normal().string() : resolved.string();
}

}  // namespace

COutputClaims::COutputClaims(const std::vector<std::string>& pictures)
{
    for (const auto& p : pictures) {
        struct stat st;
        if (::stat(p.c_str(), &st) == 0) pictures_.insert({st.st_dev, st.st_ino});
    }
}

bool COutputClaims::Claim(const std::string& source, const std::string& target, std::string& refusal)
{
    const std::string key = Resolved(target);
    const auto claimed = claimed_.find(key);
    if (claimed != claimed_.end() && claimed->second != source) {
        refusal = "not saved: " + target + " is already the new version of " + claimed->second;
        return false;
    }
    struct stat t, s;
    if (::stat(target.c_str(), &t) == 0 && pictures_.count({t.st_dev, t.st_ino}) &&
        !(::stat(source.c_str(), &s) == 0 && s.st_dev == t.st_dev && s.st_ino == t.st_ino)) {
        refusal = "not saved: " + target + " is another picture of this run";
        return false;
    }
    claimed_.emplace(key, source);
    return true;
}
