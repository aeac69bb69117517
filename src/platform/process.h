// Processes of this program: the lock that lets one updater work at a time, process ids,
// stopping a background downloader, and the administrator test. A function that fails leaves
// the system error in Platform::LastError().
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdint>

namespace Platform {

// Handle of a named lock shared by the processes of one user. It stays open until the
// process ends; the system drops the lock when its holder ends.
using NamedLock = std::intptr_t;
constexpr NamedLock kNoNamedLock = -1;

enum class NamedLockState {
    Opened,   // the lock exists: another process holds it; lock keeps a handle to it
    NotFound, // nobody holds it: CreateNamedLock takes it (a backend may already hold it in lock)
    Failed    // the last error holds the reason; lock is kNoNamedLock
};

// Looks for the lock of this name. A lock whose backing object another user could have
// planted is refused (Failed), so that the caller runs without a lock.
NamedLockState OpenNamedLock(const QString& name, NamedLock& lock);
// Creates and holds the lock; false when that fails.
bool CreateNamedLock(const QString& name, NamedLock& lock);
// Gives a held lock up so that the next process can take it; the handle stays open.
bool ReleaseNamedLock(NamedLock lock);

// Id of the calling process.
qint64 CurrentProcessId();

// A process opened so that it can be terminated.
struct ProcessHandle {
    qint64 id = 0;
    std::intptr_t handle = -1;
};

// Opens the running process with this id, provided it is an instance of this program started
// by the same user (never the calling process itself). Otherwise false; the last error tells
// whether there is no such process (ESRCH on POSIX) or it is somebody else's or another
// program (EPERM).
bool OpenProcessOfThisProgram(qint64 id, ProcessHandle& process);
// Terminates the process and waits, for a bounded time, until it has ended so that the
// locks it held are free. False when it cannot be terminated.
bool TerminateProcessAndWait(const ProcessHandle& process);
void CloseProcess(ProcessHandle& process);

// True when the calling process has administrator rights.
bool IsAdministrator();

} // namespace Platform
