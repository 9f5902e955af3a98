// The files one run writes pictures to. Two pictures of a run never go to
// the same file (two folders' IMG_0001.jpg into one --out folder: the first
// would be lost), and no picture is saved over another picture of the run.
#pragma once

#include <sys/types.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class COutputClaims {
public:
    // `pictures`: every picture the run works on.
    explicit COutputClaims(const std::vector<std::string>& pictures);
    // True when `source` may be saved to `target` (claimed for it from now
    // on); false with `refusal` saying why not.
    bool Claim(const std::string& source, const std::string& target, std::string& refusal);

private:
    using FileIdentity = std::pair<dev_t, ino_t>;
    std::map<std::string, std::string> claimed_;  // target as the file system resolves it -> source
    std::set<FileIdentity> pictures_;
};
