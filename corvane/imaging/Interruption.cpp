#include "Interruption.h"

#include <signal.h>

#include <atomic>

namespace {

std::atomic<int> requested{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler stores into it");

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void Note(int signal)
{
    int none = 0;
    if (requested.compare_exchange_strong(none, signal) || signal == SIGPIPE) return;
    // Asked twice: whoever asks knows the run is stuck (a hung network file
    // system, say) and wants it gone now. A broken pipe repeats on its own,
    // so it never counts as asking twice.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

}  // namespace

void InstallInterruptHandlers()
{
    struct sigaction action {};
    action.sa_handler = Note;
    sigemptyset(&action.sa_mask);
    // Reads and writes go on as if nothing happened (a report to a terminal
    // must not fail half way); a sleep still ends early, which is all a wait needs.
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
}

int InterruptSignal()
{
    return requested.load();
}

int InterruptExitStatus(int signal)
{
    return 128 + signal;
}

const char* InterruptSignalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGPIPE: return "SIGPIPE";
    default: return "a signal";
    }
}
