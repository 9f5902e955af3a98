// One libFuzzer target: CORVANE_FUZZ_ENTRY names its entry (FuzzEntries.h).
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return CORVANE_FUZZ_ENTRY(data, size);
}
