#include "platform/process.h"

#include "platform/log.h"
#include "platform/tempfolder.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QList>

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {

// How long a stop waits for the stopped process to end.
const int kTerminateWaitMs = 5000;

// ---- the lock: an exclusive flock on "<name>.lock" -------------------------------------------

// $XDG_RUNTIME_DIR when it is a folder of the user, else the private temporary folder; empty,
// with errno set, when neither can be used.
QString LockFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/')) {
        struct stat info {};
        if (stat(runtime.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid())
            return QFile::decodeName(runtime);
        LogMessage(kProgramComponent, 1, "XDG_RUNTIME_DIR %s is not a folder of the user", runtime.constData());
    }
    return UserTempFolder();
}

// Opens (creating it when missing) the file behind the lock; -1 with errno set when it cannot
// be used or could have been planted by somebody else.
int OpenLockFile(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String("..")) {
        errno = EINVAL;
        return -1;
    }
    const QString folder = LockFolder();
    if (folder.isEmpty())
        return -1;
    return OpenPrivateFile(folder + QLatin1Char('/') + name + QStringLiteral(".lock"), PrivateFileMode::Keep,
                           "lock file");
}

// 0 when the lock is taken, EWOULDBLOCK when another open file holds it, else the error.
int TakeLock(int fd)
{
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            return errno == EAGAIN ? EWOULDBLOCK : errno;
    }
    return 0;
}

// ---- processes ---------------------------------------------------------------------------------

// Process file descriptors pin the identity of a process, so that a recycled id is never hit.
// Where the kernel lacks them the plain id is used.
int PidFdOpen(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int PidFdSignal(int pidfd, int signal)
{
#ifdef SYS_pidfd_send_signal
    return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0));
#else
    (void)pidfd;
    (void)signal;
    errno = ENOSYS;
    return -1;
#endif
}

int SendSignal(const Platform::ProcessHandle& process, int signal)
{
    if (process.handle >= 0)
        return PidFdSignal(static_cast<int>(process.handle), signal);
    return kill(static_cast<pid_t>(process.id), signal);
}

// Contents of a /proc file; empty when it cannot be read.
QByteArray ReadProcFile(const QByteArray& path)
{
    QByteArray content;
    const int fd = open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[1024];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got > 0) {
            content.append(buffer, static_cast<int>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(fd);
    return content;
}

// 0 when pid is a process (not a thread) run by this user from this program's executable,
// else ESRCH (no such running process) or EPERM (somebody else's or another program).
int CheckProcessOfThisProgram(pid_t pid)
{
    const QByteArray proc = QByteArray("/proc/") + QByteArray::number(pid);
    const QByteArray status = ReadProcFile(proc + "/status");
    if (status.isEmpty())
        return ESRCH;
    qint64 group = -1;
    QList<QByteArray> uids;
    for (const QByteArray& line : status.split('\n')) {
        if (line.startsWith("Tgid:"))
            group = line.mid(5).trimmed().toLongLong();
        else if (line.startsWith("Uid:"))
            uids = line.mid(4).simplified().split(' ');
    }
    if (group != pid)
        return ESRCH;
    const QByteArray user = QByteArray::number(static_cast<qulonglong>(geteuid()));
    if (uids.size() < 2 || uids.at(0) != user || uids.at(1) != user)
        return EPERM;

    struct stat self {};
    struct stat other {};
    if (stat("/proc/self/exe", &self) != 0)
        return EPERM;
    if (stat((proc + "/exe").constData(), &other) != 0)
        return errno == ENOENT ? ESRCH : EPERM; // ENOENT: a zombie or gone
    if (self.st_dev != other.st_dev || self.st_ino != other.st_ino)
        return EPERM;
    return 0;
}

// True when the process has ended: gone, or a zombie waiting for its parent.
bool HasEnded(const Platform::ProcessHandle& process)
{
    if (process.handle >= 0) {
        pollfd entry{static_cast<int>(process.handle), POLLIN, 0};
        return poll(&entry, 1, 0) > 0;
    }
    // "pid (name) state ...": the name may itself hold parentheses.
    const QByteArray line = ReadProcFile("/proc/" + QByteArray::number(process.id) + "/stat");
    const int nameEnd = line.lastIndexOf(')');
    if (line.isEmpty() || nameEnd < 0 || nameEnd + 2 >= line.size())
        return true;
    const char state = line.at(nameEnd + 2);
    return state == 'Z' || state == 'X';
}

void WaitForEnd(const Platform::ProcessHandle& process, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!HasEnded(process)) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            LogMessage(kProgramComponent, 0, "Process %lld has not ended within %d ms", process.id, timeoutMs);
            return;
        }
        if (process.handle >= 0) {
            pollfd entry{static_cast<int>(process.handle), POLLIN, 0};
            poll(&entry, 1, static_cast<int>(left));
        } else {
            const timespec pause{0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
    }
}

} // namespace

namespace Platform {

NamedLockState OpenNamedLock(const QString& name, NamedLock& lock)
{
    lock = kNoNamedLock;
    const int fd = OpenLockFile(name);
    if (fd < 0)
        return NamedLockState::Failed;
    const int taken = TakeLock(fd);
    if (taken == 0 || taken == EWOULDBLOCK) {
        // Taking the free lock right here leaves no gap in which another process could take it.
        lock = fd;
        return taken == 0 ? NamedLockState::NotFound : NamedLockState::Opened;
    }
    close(fd);
    errno = taken;
    return NamedLockState::Failed;
}

bool CreateNamedLock(const QString& name, NamedLock& lock)
{
    int fd = static_cast<int>(lock);
    const bool fresh = fd < 0;
    if (fresh) {
        fd = OpenLockFile(name);
        if (fd < 0)
            return false;
    }
    const int taken = TakeLock(fd);
    if (taken != 0) {
        if (fresh)
            close(fd);
        errno = taken;
        return false;
    }
    lock = fd;
    return true;
}

bool ReleaseNamedLock(NamedLock lock)
{
    return flock(static_cast<int>(lock), LOCK_UN) == 0;
}

qint64 CurrentProcessId()
{
    return static_cast<qint64>(getpid());
}

bool OpenProcessOfThisProgram(qint64 id, ProcessHandle& process)
{
    process = ProcessHandle();
    if (id <= 0 || id > INT_MAX) {
        errno = ESRCH;
        return false;
    }
    const pid_t pid = static_cast<pid_t>(id);
    if (pid == getpid()) {
        errno = EPERM;
        return false;
    }
    const int pidfd = PidFdOpen(pid);
    if (pidfd < 0 && errno != ENOSYS) {
        if (errno == EINVAL)
            errno = ESRCH; // the id of a thread
        return false;
    }
    ProcessHandle opened;
    opened.id = id;
    opened.handle = pidfd;
    int error = CheckProcessOfThisProgram(pid);
    // Still alive after the checks, so they were made on the very process now held.
    if (error == 0 && SendSignal(opened, 0) != 0)
        error = errno == EPERM ? EPERM : ESRCH;
    if (error != 0) {
        CloseProcess(opened);
        errno = error;
        return false;
    }
    process = opened;
    return true;
}

bool TerminateProcessAndWait(const ProcessHandle& process)
{
    if (SendSignal(process, SIGKILL) != 0) {
        // ESRCH: it has ended on its own since it was opened, which is what the caller wants.
        return errno == ESRCH;
    }
    WaitForEnd(process, kTerminateWaitMs);
    return true;
}

void CloseProcess(ProcessHandle& process)
{
    if (process.handle >= 0)
        close(static_cast<int>(process.handle));
    process = ProcessHandle();
}

bool IsAdministrator()
{
    return geteuid() == 0;
}

} // namespace Platform
