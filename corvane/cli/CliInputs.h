// The pictures a command line names. Every verb takes the same inputs: a
// named file is taken whatever its name (a link, a hidden file, a name
// without or with the wrong extension: its content decides whether it is a
// picture); a named folder stands for its JPEG and TIFF pictures by name, as
// the folder view shows them. A named input that cannot be used is a
// problem that names it with the reason; it is never skipped in silence.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GPSMetadataInfo.h"

struct InputProblem {
    std::string Input;
    std::string Reason;
};

struct ExpandedInputs {
    std::vector<std::string> Files;  // each file once, in the order named (a folder's in name order)
    std::vector<InputProblem> Problems;
};

ExpandedInputs ExpandInputs(const std::vector<std::string>& inputs);
// Writes each problem to standard error as "INPUT: REASON"; true when there was none.
bool ReportInputProblems(const std::vector<InputProblem>& problems);

struct LoadedPicture {
    std::string Path;
    std::unique_ptr<CGPSMetadataInfo> Record;
};

// Reads the geotag of every picture the inputs name. Each input or picture
// that cannot be read is named on standard error and left out; true when
// none was.
bool LoadPictures(const std::vector<std::string>& inputs, std::vector<LoadedPicture>& pictures);
