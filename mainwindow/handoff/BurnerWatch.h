// BurnerWatch: the signs that an external burner runs - the lock it holds and the process we
// started - and starting such a program detached from this one.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

// The file a running burner keeps locked (the other platform's named mutex "BRENNIX_RUNNING"):
// "BRENNIX_RUNNING" in the user's runtime folder ($XDG_RUNTIME_DIR); "" without that folder.
QString BurnerLockFile();
// Whether another process holds a lock on File, by flock or by an fcntl record lock. A missing
// file is not held, and the file is never created here.
bool LockFileHeld(const QString& File);

// A program started by StartProgram. The start time tells it from a later process that got the
// same id, since a detached process is not our child and leaves no handle to wait on.
struct TStartedProcess {
    int64_t Pid = 0; // 0: nothing was started
    uint64_t StartTime = 0;
};
// Starts Program with Arguments, detached, so it outlives this program; returns once the program
// has started. Pid 0 when it could not be started.
TStartedProcess StartProgram(const QString& Program, const QStringList& Arguments);
// Whether that process still runs (a process that has ended but was not reaped yet counts as
// ended).
bool ProcessRunning(const TStartedProcess& Process);
