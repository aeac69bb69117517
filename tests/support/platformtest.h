// What the suites need of the operating system: one implementation per platform, in posix/ and
// win32/. Rows that differ between the platforms are chosen with IsWindows().
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

namespace KvrTest {

// True in the Windows build, and when that build runs under wine.
bool IsWindows();
bool UnderWine();
// Id of the calling thread as the log writes it.
quint64 ThreadId();
// Makes link a symbolic link to target; false when the system cannot.
bool MakeSymbolicLink(const QString& target, const QString& link);
// For the suites of the Linux build alone (the Windows build has none that needs them): true when the
// tests run as root, so that non-administrator paths can be tried as nobody; and hands a file, or a
// folder with all it holds, to the nobody account (links themselves, not their targets).
bool IsRoot();
void GiveToNobody(const QString& path);

// An identity of the file at path that changes when another file takes its name (0 when there is
// none), and its size.
quint64 FileIdentity(const QString& path, qint64* size = nullptr);
// Moves the log file at path aside to "<path>.1" once it passes limit bytes. Suites of several
// checkouts run at once, so the move is made under a lock on the file itself, and only by the one
// that still sees it at the path.
void MoveAsideWhenLarge(const QString& path, qint64 limit);

// Makes the files created from now on private to their owner, so that a check sees what the code
// itself opens up.
void RestrictNewFiles();
// Why access lists cannot be set and read back here; empty when they can.
QString NoAccessLists();
// True when every interactive user may read and write the file.
bool OpenToEveryone(const QString& path);
// The access list of path in a short text form, after setting it from such text when given; with
// inherited, the list that a folder passes on. "-" when it cannot be set or read.
QString AccessList(const QString& path, const QString& set = QString(), bool inherited = false);

// Points the temporary folder of this process, and of the processes it starts, at folder.
void SetTempFolder(const QString& folder);
// Directs the log's per-user fallback into scratch where the platform allows it, and returns the
// folder the fallback will use.
QString LogFallbackFolder(const QString& scratch);

// Why the locale variables LC_ALL, LC_MESSAGES and LANG cannot give this process the values as its
// interface language here; empty when they can.
QString NoUiLanguage(const QStringList& values);

// Why nothing can run as another, unprivileged user here; empty when it can.
QString NoOtherUser();
// Runs check in a copy of this process as that user; true when it returned true there.
bool AsOtherUser(const std::function<bool()>& check);
// The command (program first) that runs program with arguments as that user.
QStringList AsOtherUserCommand(const QString& program, const QStringList& arguments);
// Starts a program other than this one that runs until it is killed.
bool StartOtherProgram(QProcess& process);

// Mounts a small volume at the folder path; empty when done, else why it cannot be done here.
QString MountSmallVolume(const QString& path);
void UnmountSmallVolume(const QString& path);

} // namespace KvrTest
