// Findings the suite reports as known instead of failing, in two tables:
//  - faults being mended elsewhere, each with its one-line description; an
//    entry that no longer matches anything in an edit it lists fails the
//    run over tests/data, so that the table empties as the mends arrive;
//  - what the metadata library itself makes impossible, with the reason.
#pragma once

#include <string>
#include <vector>

namespace invariants {

struct KnownFailure {
    const char* Edits;    // globs over edit names, separated by spaces
    const char* Picture;  // glob over picture paths relative to the picture folder
    int Invariant;        // as in Checks.h
    const char* Message;  // substring of the finding; a final '$' anchors it at the end
    const char* Fault;    // the fault, in one line (a library limit: why it cannot be kept)
};

const std::vector<KnownFailure>& KnownFailures();
const std::vector<KnownFailure>& LibraryLimits();

bool CoversEdit(const KnownFailure& k, const std::string& edit);
// The entry of `table` that explains a finding, or null.
const KnownFailure* FindKnown(const std::vector<KnownFailure>& table, const std::string& edit,
                              const std::string& picture, int invariant, const std::string& message);

}  // namespace invariants
