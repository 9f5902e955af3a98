// Every input a fuzzer once failed on, kept in tests/data/fuzz/<target>/, run
// again through the target's entry: each must now be handled without a crash
// or a broken promise (and, in the sanitizer build, without a memory error).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzEntries.h"

namespace {

namespace fs = std::filesystem;

const fs::path kKeptInputs = fs::path(CORVANE_SAMPLES) / "fuzz";

struct KeptInput {
    const FuzzTarget* Target;
    fs::path File;
};

std::vector<KeptInput> AllKeptInputs()
{
    std::vector<KeptInput> inputs;
    for (std::size_t i = 0; i < kFuzzTargetCount; ++i) {
        const fs::path folder = kKeptInputs / kFuzzTargets[i].Name;
        if (!fs::is_directory(folder)) continue;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) inputs.push_back({&kFuzzTargets[i], file});
    }
    return inputs;
}

// Names the file in test output (instead of the parameter's bytes).
void PrintTo(const KeptInput& input, std::ostream* out)
{
    *out << input.Target->Name << "/" << input.File.filename().string();
}

std::string TestName(const testing::TestParamInfo<KeptInput>& info)
{
    std::string name = std::string(info.param.Target->Name) + "_" + info.param.File.filename().string();
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class KeptFuzzInput : public testing::TestWithParam<KeptInput> {};

TEST_P(KeptFuzzInput, IsHandled)
{
    std::ifstream in(GetParam().File, std::ios::binary);
    ASSERT_TRUE(in) << GetParam().File;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(0, GetParam().Target->Entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(Inputs, KeptFuzzInput, testing::ValuesIn(AllKeptInputs()), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(KeptFuzzInput);

// A folder that names no target would be kept but never replayed.
TEST(KeptFuzzInputs, EveryFolderNamesATarget)
{
    ASSERT_TRUE(fs::is_directory(kKeptInputs)) << kKeptInputs;
    for (const auto& entry : fs::directory_iterator(kKeptInputs)) {
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') continue;
        const bool known = std::any_of(kFuzzTargets, kFuzzTargets + kFuzzTargetCount,
                                       [&](const FuzzTarget& t) { return name == t.Name; });
        EXPECT_TRUE(known && entry.is_directory()) << name << " is not the folder of a fuzz target";
    }
}

}  // namespace
