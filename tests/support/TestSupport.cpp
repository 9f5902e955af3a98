#include "TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "JpegSegments.h"

namespace testsupport {

fs::path SamplesDir()
{
    const fs::path p = CORVANE_SAMPLES;
    std::error_code ec;
    return fs::is_directory(p / "pictures", ec) ? p : fs::path();
}

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (!::mkdtemp(&pattern[0])) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

fs::path TempDir::Copy(const fs::path& from, const std::string& as) const
{
    const fs::path to = path_ / (as.empty() ? from.filename().string() : as);
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add);
    return to;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool HaveTool(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string RunCommand(const std::string& command, int* status)
{
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    const int rc = ::pclose(pipe);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string Quote(const fs::path& path)
{
    std::string q = "'";
    for (char c : path.string()) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string JpegScanData(const std::string& jpeg)
{
    std::vector<JpegSegment> segments;
    ScanJpegSegments(reinterpret_cast<const std::uint8_t*>(jpeg.data()), jpeg.size(), segments);
    if (segments.empty() || segments.back().Marker != 0xDA) return {};
    return jpeg.substr(segments.back().Offset);
}

}  // namespace testsupport
