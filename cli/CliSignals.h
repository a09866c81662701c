// CliSignals: Ctrl+C, TERM and HUP while a command writes a file - they stop the job, so that
// its partial output can be removed before the tool exits, instead of ending the process at once.
#pragma once

namespace cli {

// Catches SIGINT, SIGTERM and SIGHUP from construction to destruction, which restores what was
// there before. A signal arriving again while one is being handled is taken as the same one.
class TStopSignals {
public:
    TStopSignals();
    ~TStopSignals();
    TStopSignals(const TStopSignals&) = delete;
    TStopSignals& operator=(const TStopSignals&) = delete;

    // The signal caught, 0 while none was. Safe on any thread.
    static int Caught();
    // The conventional exit status after the signal: 128 + its number (130 for SIGINT).
    static int ExitStatus(int Signal) { return 128 + Signal; }
};

} // namespace cli
