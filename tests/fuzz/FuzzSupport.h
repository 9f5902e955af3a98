// What the fuzz entries share: the check of a broken promise and the file an
// entry that reads from a path writes its input to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Stops the process with `what` when a promise of the code under test is
// broken: the fuzzer keeps the input, the replay test fails.
void FuzzCheck(bool condition, const char* what);

// One temporary file per process and suffix, rewritten with each input and
// removed at exit. Its path, or empty when it cannot be written.
std::string WriteFuzzInputFile(const std::uint8_t* data, std::size_t size, const char* suffix);
