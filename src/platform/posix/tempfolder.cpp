#include "platform/tempfolder.h"

#include "platform/log.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Descriptors of the folder and its files are never inherited by child programs.
const int kNoFollow = O_NOFOLLOW | O_CLOEXEC;

} // namespace

QString UserTempFolder()
{
    const uid_t user = geteuid();
    const QString folder = QDir::tempPath() + QStringLiteral("/kvr_updater-") + QString::number(user);
    const QByteArray path = QFile::encodeName(folder);

    const bool created = mkdir(path.constData(), 0700) == 0;
    if (!created && errno != EEXIST) {
        // The log keeps errno as it was.
        LogMessage(kProgramComponent, 0, "Can not create the temporary folder %s. Err = %d", path.constData(), errno);
        return QString();
    }
    // Opened without following a link, so that the checks below see the folder itself.
    const int fd = open(path.constData(), O_RDONLY | O_DIRECTORY | kNoFollow);
    if (fd < 0) {
        LogMessage(kProgramComponent, 0, "The temporary folder %s is not a folder. Err = %d", path.constData(), errno);
        return QString();
    }
    int error = 0;
    struct stat info {};
    bool usable = fstat(fd, &info) == 0;
    if (!usable) {
        error = errno;
    } else if (info.st_uid != user) {
        error = EPERM;
        usable = false;
    } else if (created && fchmod(fd, 0700) != 0) {
        // A strict umask may have taken the owner's own rights away.
        error = errno;
        usable = false;
    } else if (!created && (info.st_mode & 077) != 0) {
        error = EACCES;
        usable = false;
    }
    close(fd);
    if (!usable) {
        LogMessage(kProgramComponent, 0, "The temporary folder %s is not private to the user. Err = %d", path.constData(),
                   error);
        errno = error;
        return QString();
    }
    return folder;
}

int OpenPrivateFile(const QString& path, PrivateFileMode mode, const char* what)
{
    if (path.isEmpty()) {
        errno = ENOENT;
        return -1;
    }
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a FIFO at the path cannot stall the program; it is refused below.
    const int access = mode == PrivateFileMode::Rewrite ? O_WRONLY | O_CREAT
                       : mode == PrivateFileMode::Keep  ? O_RDONLY | O_CREAT
                                                        : O_RDONLY;
    const int fd = open(name.constData(), kNoFollow | O_NONBLOCK | access, 0600);
    if (fd < 0) {
        if (errno == ELOOP)
            LogMessage(kProgramComponent, 0, "The %s %s is a symbolic link. Err = %d", what, name.constData(), errno);
        return -1;
    }
    int error = 0;
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    } else if (info.st_uid != geteuid() || info.st_nlink != 1) {
        error = EPERM;
    } else if (mode == PrivateFileMode::Rewrite && ftruncate(fd, 0) != 0) {
        // Emptied only now, so that a file of somebody else is never touched.
        error = errno;
    } else {
        const int blocking = fcntl(fd, F_GETFL);
        if (blocking != -1)
            fcntl(fd, F_SETFL, blocking & ~O_NONBLOCK);
        return fd;
    }
    LogMessage(kProgramComponent, 0, "The %s %s is not a regular file of the user. Err = %d", what, name.constData(),
               error);
    close(fd);
    errno = error;
    return -1;
}

void ClosePrivateFile(int descriptor)
{
    if (descriptor >= 0)
        close(descriptor);
}
