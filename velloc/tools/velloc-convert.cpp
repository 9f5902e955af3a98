// velloc-convert IN.gpx OUT.gpx [--garmin] [--creator NAME VERSION]
// Reads a GPX file and writes it again; the library's smoke test. On a
// failure, one line names the file and the cause, the exit status is 1 and
// OUT is left as it was. Stopped by SIGINT, SIGTERM or SIGHUP, it removes
// its unfinished output and exits with 128 + the signal's number.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "GPXFilesDecoder.h"
#include "GPXFilesEncoder.h"
#include "ReplaceTarget.h"
#include "StatusException.h"

namespace {

std::wstring Widen(const char* text)
{
    std::mbstate_t state{};
    std::wstring out(std::strlen(text), L'\0');
    const std::size_t n = std::mbsrtowcs(out.data(), &text, out.size(), &state);
    out.resize(n == static_cast<std::size_t>(-1) ? 0 : n);
    return out;
}

int Fail(const char* file, const std::string& cause)
{
    std::fprintf(stderr, "velloc-convert: %s: %s\n", file, cause.c_str());
    return 1;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

std::string Status(long hr)
{
    char text[32];
    std::snprintf(text, sizeof text, "status 0x%08lx", static_cast<unsigned long>(hr) & 0xFFFFFFFFul);
    return text;
}

// The decoded tree of a long track is hundreds of megabytes of small records.
// Faulting that in 4 KiB pages dominates the run on machines where page
// faults are dear, so the tool asks glibc's malloc to back its heap with
// transparent huge pages. The setting is a tunable read only at start-up:
// the tool sets it and executes itself again, once. Anything unexpected
// (a tunable already chosen by the user, no /proc) leaves the process as it
// was; the conversion is the same either way.
void UseHugePagesForTheHeap(char** argv)
{
    constexpr const char* kTunable = "glibc.malloc.hugetlb";
    const char* found = std::getenv("GLIBC_TUNABLES");
    if (found && std::strstr(found, kTunable))
        return;  // chosen already (also by our own first run)
    const bool had = found != nullptr;
    const std::string before = had ? found : "";
    const std::string value = (before.empty() ? "" : before + ":") + kTunable + "=1";
    if (::setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0)
        return;
    ::execv("/proc/self/exe", argv);
    // Still here: run as we are, without the setting.
    if (had)
        ::setenv("GLIBC_TUNABLES", before.c_str(), 1);
    else
        ::unsetenv("GLIBC_TUNABLES");
}

// The conversion cannot stop between two steps (one step is the whole
// file), so the handler itself removes the unfinished output and exits.
void StopNow(int signal)
{
    CGPXFilesEncoder::RemoveUnfinishedFiles();
    static const char message[] = "velloc-convert: stopped; the output file was not written\n";
    if (::write(STDERR_FILENO, message, sizeof message - 1) < 0) {
        // Nothing more to do on the way out.
    }
    ::_exit(128 + signal);
}

void StopCleanlyOnSignals()
{
    struct sigaction action {};
    action.sa_handler = StopNow;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(signal, &action, nullptr);
}

int Usage()
{
    std::fprintf(stderr, "usage: velloc-convert IN.gpx OUT.gpx [--garmin] [--creator NAME VERSION]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    UseHugePagesForTheHeap(argv);
    StopCleanlyOnSignals();
    std::setlocale(LC_ALL, "");
    const char* in = argv[1];
    const char* out = argv[2];
    bool garmin = false;
    std::wstring name = L"velloc-convert", version = L"1.0";
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--garmin") == 0) {
            garmin = true;
        } else if (std::strcmp(argv[i], "--creator") == 0 && i + 2 < argc) {
            name = Widen(argv[i + 1]);
            version = Widen(argv[i + 2]);
            i += 2;
        } else {
            return Usage();
        }
    }

    std::unique_ptr<GPXRoot> root;
    try {
        CGPXFilesDecoder decoder(Widen(in));
        long hr = decoder.Initialize();
        if (hr == E_NOT_REGULAR_FILE)
            return Fail(in, "cannot open: not a regular file");
        if (hr < 0)
            return Fail(in, "cannot open: " + std::string(std::strerror(static_cast<int>(hr & 0xFFFF))));
        GPXRoot* tree = nullptr;
        hr = decoder.ReadGPXRoot(&tree);
        root.reset(tree);
        if (hr != S_OK)
            return Fail(in, Narrow(decoder.GetErrorText()));
    } catch (const CStatusException& e) {
        return Fail(in, e.Error() == E_FAIL ? "invalid time" : "time out of range");
    }

    try {
        CGPXFilesEncoder encoder(Widen(out), name, version, garmin);
        long hr = encoder.Initialize();
        if (hr >= 0) {
            encoder.WriteGpxRoot(root.get());
            hr = encoder.Finalize();
        }
        if (hr < 0) {
            const std::wstring why = encoder.GetErrorText();
            return Fail(out, "cannot write: " + (why.empty() ? Status(hr) : Narrow(why)));
        }
    } catch (const std::invalid_argument& e) {
        return Fail(out, std::string("cannot write: ") + e.what());
    } catch (const CStatusException& e) {
        return Fail(out, std::string("cannot write: ") + e.what());
    }
    return 0;
}
