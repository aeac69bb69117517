#include "platform/filecommit.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileCommit {

namespace {
std::atomic<CommitFunction> g_commitOverride{nullptr};
}

bool ResizeFile(int fd, qint64 size)
{
    if (fd < 0 || size < 0) {
        errno = EINVAL;
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    if (size > info.st_size) {
        // ftruncate alone would make a sparse file that a full volume cannot fill later; reserve the
        // blocks first without changing the size, as a Windows resize does.
        if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) != 0) {
            const int error = errno;
            if (error != EOPNOTSUPP && error != ENOSYS) {
                // Give back what a partial reservation took beyond the end of the file.
                if (::ftruncate(fd, info.st_size) != 0) {
                    // The reservation stays; the failure to report is the first one.
                }
                errno = error;
                return false;
            }
        }
    }
    return ::ftruncate(fd, size) == 0;
}

bool CommitToDisk(int fd)
{
    if (fd < 0) {
        errno = EBADF;
        return false;
    }
    const CommitFunction replacement = g_commitOverride.load();
    if (replacement != nullptr)
        return replacement(fd);
    return ::fsync(fd) == 0;
}

void SetCommitFunction(CommitFunction function)
{
    g_commitOverride.store(function);
}

} // namespace FileCommit
