// Replaces a file in one step: the new content goes to a temporary file
// ("TFR" prefix) in the target's folder, is flushed to disk, and is renamed
// over the target. The old file is never deleted first; on any failure the
// target is left as it was and no temporary file remains.
#pragma once

#include <string>

#include "HResult.h"

HRESULT WriteFileAtomically(const std::string& target, const std::string& bytes, std::string* error);

// Reads a whole file; false with `error` set when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string* error);
