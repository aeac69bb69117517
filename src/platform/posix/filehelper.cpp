#include "platform/filehelper.h"

#include "platform/log.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

quint32 CFileHelper::GetDiskAvailableSpace(const QString& path, quint64* freeToCaller, quint64* totalBytes,
                                           quint64* totalFreeBytes)
{
    for (quint64* output : {freeToCaller, totalBytes, totalFreeBytes}) {
        if (output != nullptr)
            *output = 0;
    }
    errno = 0;
    const QByteArray native = QFile::encodeName(path);
    struct statvfs info {};
    int error = statvfs(native.constData(), &info) == 0 ? 0 : errno;
    if (error == 0) {
        // The volume of a file would do for statvfs, but only a folder is asked about here.
        struct stat object {};
        if (stat(native.constData(), &object) != 0)
            error = errno;
        else if (!S_ISDIR(object.st_mode))
            error = ENOTDIR;
    }
    switch (error) {
    case 0:
        break;
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return FH_PATH_NOT_FOUND;
    case EACCES:
        return FH_ACCESS_DENIED;
    default:
        LogMessage("AuthHelper", 0,
                   "CFileHelper::GetDiskAvailableSpace() : GetDiskFreeSpaceEx() for '%s' failed. Error code: %d",
                   path.toUtf8().constData(), error);
        return FH_FAILED;
    }
    const quint64 unit = info.f_frsize;
    if (freeToCaller != nullptr)
        *freeToCaller = static_cast<quint64>(info.f_bavail) * unit;
    if (totalBytes != nullptr)
        *totalBytes = static_cast<quint64>(info.f_blocks) * unit;
    if (totalFreeBytes != nullptr)
        *totalFreeBytes = static_cast<quint64>(info.f_bfree) * unit;
    return FH_OK;
}

bool CFileHelper::MoveFile(const QString& from, const QString& to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (from.isEmpty() || to.isEmpty() || rename(source.constData(), target.constData()) != 0) {
        const int error = from.isEmpty() || to.isEmpty() ? ENOENT : errno;
        LogMessage("AuthHelper", 0, "Unable to move file by error %#x. sFrom==>sTo:'%s' ==>'%s'",
                   static_cast<unsigned>(error), from.toUtf8().constData(), to.toUtf8().constData());
        return false;
    }
    // Commit the new directory entry, so that the replacement survives a power loss.
    const QByteArray folder = QFile::encodeName(QFileInfo(to).absolutePath());
    const int fd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || (fsync(fd) != 0 && errno != EINVAL)) {
        LogMessage("AuthHelper", 0, "Unable to commit the folder of '%s' to disk, error %#x", to.toUtf8().constData(),
                   static_cast<unsigned>(errno));
    }
    if (fd >= 0)
        close(fd);
    return true;
}

namespace {

// Descriptors are never inherited by child programs, and a FIFO cannot stall the open.
const int kTransferOpen = O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

bool IsTrustedOwner(uid_t owner)
{
    return owner == geteuid() || owner == 0;
}

// Clears O_NONBLOCK again once the descriptor is known to be a regular file.
int MakeBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1)
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

int FailWith(int fd, int error)
{
    if (fd >= 0)
        close(fd);
    errno = error;
    return -1;
}

} // namespace

CFileHelper::PathInfo CFileHelper::InspectPath(const QString& path)
{
    PathInfo info;
    struct stat object {};
    if (path.isEmpty() || lstat(QFile::encodeName(path).constData(), &object) != 0)
        return info;
    info.exists = true;
    info.regular = S_ISREG(object.st_mode);
    info.trusted = info.regular && object.st_nlink == 1 && IsTrustedOwner(object.st_uid);
    info.size = info.regular ? qint64(object.st_size) : 0;
    return info;
}

int CFileHelper::OpenTransferFile(const QString& path, bool append)
{
    if (path.isEmpty())
        return FailWith(-1, ENOENT);
    const QByteArray name = QFile::encodeName(path);
    int fd = open(name.constData(), kTransferOpen | O_WRONLY | O_CREAT | (append ? O_APPEND : 0), 0644);
    struct stat object {};
    const bool own = fd >= 0 && fstat(fd, &object) == 0 && S_ISREG(object.st_mode) && object.st_nlink == 1
                     && object.st_uid == geteuid();
    if (!own) {
        // A link, a file of somebody else or anything but a plain file: its name is removed (a
        // link's target is never touched) and a new file takes its place.
        if (fd >= 0)
            close(fd);
        if (unlink(name.constData()) != 0 && errno != ENOENT)
            return -1;
        fd = open(name.constData(), kTransferOpen | O_WRONLY | O_CREAT | O_EXCL | (append ? O_APPEND : 0), 0644);
        if (fd < 0)
            return -1;
        LogMessage(kProgramComponent, 1, "The file %s was not a plain file of the user and has been replaced.",
                   name.constData());
    } else if (!append && ftruncate(fd, 0) != 0) {
        return FailWith(fd, errno);
    }
    return MakeBlocking(fd);
}

int CFileHelper::OpenRegularFile(const QString& path)
{
    if (path.isEmpty())
        return FailWith(-1, ENOENT);
    const int fd = open(QFile::encodeName(path).constData(), kTransferOpen | O_RDONLY);
    if (fd < 0)
        return -1;
    struct stat object {};
    if (fstat(fd, &object) != 0)
        return FailWith(fd, errno);
    if (!S_ISREG(object.st_mode))
        return FailWith(fd, EINVAL);
    return MakeBlocking(fd);
}

void CFileHelper::CloseFile(int fd)
{
    if (fd >= 0)
        close(fd);
}

bool CFileHelper::OpenForReading(QFile& file)
{
    // A plain open of a named pipe blocks until a writer comes; without O_NONBLOCK it would wait for
    // ever for a writer that has already finished. Once open, reads block again as usual.
    const int fd = open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat object {};
    if (fd >= 0 && fstat(fd, &object) == 0 && !S_ISDIR(object.st_mode)) {
        const int flags = fcntl(fd, F_GETFL);
        if (flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0
            && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            return true;
    }
    if (fd >= 0)
        close(fd);
    // Qt's own open then fails the same way (a directory, no access, no such file) and leaves its
    // error text in the file; it cannot wait on a pipe, since the open above would have succeeded.
    return file.open(QIODevice::ReadOnly);
}
