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
#include <thread>

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
            // The tree is done with: it is freed while the output is made
            // durable, which is mostly a wait on the disk.
            std::thread freeing([tree = root.release()] { delete tree; });
            try {
                hr = encoder.Finalize();
            } catch (...) {
                freeing.join();
                throw;
            }
            freeing.join();
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
