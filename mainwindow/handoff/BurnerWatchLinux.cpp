// BurnerWatchLinux: the burner's lock file and the processes we start, through /proc and flock.
#include "mainwindow/handoff/BurnerWatch.h"

#include <QFile>
#include <QProcess>
#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Field 22 of /proc/<pid>/stat, the start time in clock ticks since boot; 0 when the process is
// gone or only a zombie. The name in field 2 may hold blanks and parentheses, so the fields are
// counted from its last ")".
uint64_t ProcessStartTime(int64_t Pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(Pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.read(4096);
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    if (fields.size() < 20 || fields[0].isEmpty())
        return 0;
    const char state = fields[0].at(0);
    if (state == 'Z' || state == 'X' || state == 'x')
        return 0;
    bool ok = false;
    const qulonglong start = fields[19].toULongLong(&ok);
    return ok ? start : 0;
}

} // namespace

QString BurnerLockFile() {
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        return {};
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + QStringLiteral("BRENNIX_RUNNING");
}

bool LockFileHeld(const QString& File) {
    if (File.isEmpty())
        return false;
    const QByteArray name = QFile::encodeName(File);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    // The probe is dropped at once; a burner starting in that instant sees it only as briefly as
    // the other platform's burner would see our open handle on its mutex.
    bool held = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::flock(fd, LOCK_UN);
    else
        held = errno == EWOULDBLOCK;
    if (!held) {
        struct flock probe {};
        probe.l_type = static_cast<short>(F_WRLCK);
        probe.l_whence = static_cast<short>(SEEK_SET);
        held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    }
    ::close(fd);
    return held;
}

TStartedProcess StartProgram(const QString& Program, const QStringList& Arguments) {
    qint64 pid = 0;
    if (Program.isEmpty() || !QProcess::startDetached(Program, Arguments, QString(), &pid) ||
        pid <= 0)
        return {};
    return {pid, ProcessStartTime(pid)};
}

bool ProcessRunning(const TStartedProcess& Process) {
    return Process.Pid > 0 && Process.StartTime != 0 &&
           ProcessStartTime(Process.Pid) == Process.StartTime;
}
