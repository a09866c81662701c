// CliSignals: the handler only records the signal; the job polls it between chunks.
#include "cli/CliSignals.h"

#include <atomic>
#include <csignal>

namespace cli {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can reach nothing but static data; a lock-free atomic is safe to set there.
std::atomic<int> caughtSignal{0};
struct sigaction previous[3];

void OnStopSignal(int signal) {
    int none = 0;
    caughtSignal.compare_exchange_strong(none, signal);
}

} // namespace

TStopSignals::TStopSignals() {
    caughtSignal.store(0);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Reads and writes in progress go on; the job notices the signal at its next chunk.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &action, &previous[i]);
}

TStopSignals::~TStopSignals() {
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &previous[i], nullptr);
}

int TStopSignals::Caught() {
    return caughtSignal.load();
}

} // namespace cli
