// Helpers shared by the tests: the sample folder, temporary folders, files
// and running the independent tools the tests compare against.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace testsupport {

namespace fs = std::filesystem;

// The test data of the repository (tests/data), or empty when it is missing.
fs::path SamplesDir();
// A test that needs the test data or a tool fails, never skips, without it:
// scripts/setup installs every tool and the data is part of the repository.
#define REQUIRE_SAMPLES()                                                               \
    do {                                                                                \
        ASSERT_FALSE(testsupport::SamplesDir().empty()) << "the test data is missing"; \
    } while (0)
#define REQUIRE_TOOL(tool)                                                                  \
    do {                                                                                    \
        ASSERT_TRUE(testsupport::HaveTool(tool)) << tool << " is not installed (scripts/setup)"; \
    } while (0)

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }
    // Copies a file in and returns its new path.
    fs::path Copy(const fs::path& from, const std::string& as = "") const;

private:
    fs::path path_;
};

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& bytes);
bool HaveTool(const std::string& name);
// Runs a shell command; returns its standard output, stores the exit status.
std::string RunCommand(const std::string& command, int* status = nullptr);
std::string Quote(const fs::path& path);

// A loopback TCP port nobody listens on right now.
int FreeLoopbackPort();

// The entropy-coded data of a JPEG (everything from the first scan on).
std::string JpegScanData(const std::string& jpeg);

}  // namespace testsupport
