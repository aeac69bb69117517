#include "kvrtest.h"

#include <QDirIterator>
#include <QFile>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <acl/libacl.h>

namespace KvrTest {

namespace {
const uint kNobody = 65534;
}

bool IsWindows()
{
    return false;
}

bool UnderWine()
{
    return false;
}

bool IsRoot()
{
    return geteuid() == 0;
}

quint64 ThreadId()
{
    return static_cast<quint64>(gettid());
}

void RestrictNewFiles()
{
    umask(077);
}

QString NoAccessLists()
{
    return QString();
}

bool OpenToEveryone(const QString& path)
{
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 && (info.st_mode & 0666) == 0666;
}

QString AccessList(const QString& path, const QString& set, bool inherited)
{
    const QByteArray name = QFile::encodeName(path);
    const acl_type_t type = inherited ? ACL_TYPE_DEFAULT : ACL_TYPE_ACCESS;
    acl_t acl = set.isEmpty() ? acl_get_file(name.constData(), type) : acl_from_text(set.toLatin1().constData());
    const bool failed = !acl || (!set.isEmpty() && acl_set_file(name.constData(), type, acl) != 0);
    char* text = failed ? nullptr : acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS);
    const QString result = text ? QString::fromLatin1(text) : QStringLiteral("-");
    acl_free(text); // acl_free() ignores null pointers
    acl_free(acl);
    return result;
}

void SetTempFolder(const QString& folder)
{
    qputenv("TMPDIR", QFile::encodeName(folder));
}

QString LogFallbackFolder(const QString& scratch)
{
    const QString folder = scratch + QStringLiteral("/nested/state");
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder));
    return folder;
}

QString NoUiLanguage(const QStringList& /*values: read when the language is asked for*/)
{
    return QString();
}

QString NoOtherUser()
{
    if (WindowsProgram())
        return QStringLiteral("wine runs every program as one Windows user");
    return IsRoot() ? QString() : QStringLiteral("needs root to run as nobody");
}

bool AsOtherUser(const std::function<bool()>& check)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0 && check() ? 0 : 1);
    int status = -1;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QStringList AsOtherUserCommand(const QString& program, const QStringList& arguments)
{
    return QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", program} + arguments;
}

bool StartOtherProgram(QProcess& process)
{
    process.start("sleep", {"600"});
    return process.waitForStarted(10000);
}

QString MountSmallVolume(const QString& path)
{
    if (!IsRoot() || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", path}) != 0)
        return QStringLiteral("cannot mount a small tmpfs here (needs root)");
    return QString();
}

void UnmountSmallVolume(const QString& path)
{
    QProcess::execute("umount", {path});
}

bool MakeSymbolicLink(const QString& target, const QString& link)
{
    return QFile::link(target, link);
}

void GiveToNobody(const QString& path)
{
    auto give = [](const QString& p) {
        if (::lchown(QFile::encodeName(p).constData(), kNobody, kNobody) != 0)
            qWarning("chown %s failed", qPrintable(p));
    };
    give(path);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        give(it.next());
}

void Sandbox::giveToNobody() const
{
    GiveToNobody(path());
}

quint64 FileIdentity(const QString& path, qint64* size)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    if (size != nullptr)
        *size = st.st_size;
    return st.st_ino;
}

void MoveAsideWhenLarge(const QString& path, qint64 limit)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_size > limit && FileIdentity(path) == st.st_ino)
        ::rename(name.constData(), (name + ".1").constData());
    ::close(fd);
}

} // namespace KvrTest
