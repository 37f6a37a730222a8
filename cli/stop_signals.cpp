#include "stop_signals.h"

#include <csignal>

namespace {

std::atomic_bool stopRequested{false};
std::atomic_int caughtSignal{0};

#ifdef SIGHUP
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM};
#endif

extern "C" void onStopSignal(int signal)
{
    static_assert(std::atomic_bool::is_always_lock_free && std::atomic_int::is_always_lock_free,
                  "a signal handler may touch lock-free atomics only");
    caughtSignal.store(signal);
    stopRequested.store(true);
    std::signal(signal, SIG_DFL); // the next one ends the program
}

// A closed standard output and a file-size limit are failures of a write,
// said as such, not deaths without a word.
void ignoreWriteSignals()
{
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace

StopSignals::StopSignals()
{
    for (const int signal : kSignals)
        std::signal(signal, onStopSignal);
    ignoreWriteSignals();
}

const std::atomic_bool *StopSignals::flag() const
{
    return &stopRequested;
}

int StopSignals::caught() const
{
    return caughtSignal.load();
}

const char *StopSignals::name(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
#ifdef SIGHUP
    case SIGHUP:
        return "SIGHUP";
#endif
    default:
        return "a signal";
    }
}
