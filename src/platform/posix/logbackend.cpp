#include "platform/logbackend.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace LogBackend {

namespace {

// Creates every missing folder of path with the given mode; true when the folder exists.
bool MakeFolders(char* path, mode_t mode)
{
    for (char* p = path + 1; *p; ++p) {
        if (*p != '/')
            continue;
        *p = '\0';
        const bool ok = mkdir(path, mode) == 0 || errno == EEXIST;
        *p = '/';
        if (!ok)
            return false;
    }
    return mkdir(path, mode) == 0 || errno == EEXIST;
}

} // namespace

LocalTime Now()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return {local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
            static_cast<int>(now.tv_nsec / 1000000)};
}

std::int64_t CalendarSeconds()
{
    return static_cast<std::int64_t>(time(nullptr));
}

unsigned long ProcessId()
{
    return static_cast<unsigned long>(getpid());
}

unsigned long ThreadId()
{
    return static_cast<unsigned long>(gettid());
}

bool DefaultFolder(char* buffer, std::size_t size)
{
    std::snprintf(buffer, size, "%s", "/var/log");
    return mkdir(buffer, 0755) == 0 || errno == EEXIST;
}

bool FallbackFolder(char* buffer, std::size_t size)
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        std::snprintf(buffer, size, "%s", state);
    } else {
        const char* home = std::getenv("HOME");
        char pwBuffer[4096];
        passwd entry{};
        passwd* found = nullptr;
        if ((home == nullptr || home[0] != '/')
            && getpwuid_r(getuid(), &entry, pwBuffer, sizeof pwBuffer, &found) == 0 && found)
            home = found->pw_dir;
        if (home == nullptr || home[0] != '/')
            return false;
        std::snprintf(buffer, size, "%s/.local/state", home);
    }
    return MakeFolders(buffer, 0700);
}

Handle OpenOrCreate(const char* path)
{
    // Non-blocking so that a FIFO planted at the path cannot stall the program.
    const int flags = O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK;
    bool created = true;
    int fd = open(path, flags | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = open(path, flags);
    }
    if (fd < 0)
        return kNoHandle;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return kNoHandle;
    }
    if (created)
        fchmod(fd, 0666); // readable and writable by every user, whatever the umask
    return fd;
}

bool IsSameFile(Handle handle, const char* path)
{
    struct stat open {}, named {};
    if (fstat(static_cast<int>(handle), &open) != 0 || stat(path, &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void Install(std::atomic<Handle>& slot, Handle fresh)
{
    Handle expected = kNoHandle;
    if (slot.compare_exchange_strong(expected, fresh))
        return;
    // The descriptor number in the slot stays valid for writers that already loaded it:
    // dup3 atomically makes it refer to the new file, then the spare descriptor is closed.
    if (expected != fresh) {
        dup3(static_cast<int>(fresh), static_cast<int>(expected), O_CLOEXEC);
        close(static_cast<int>(fresh));
    }
}

void Append(Handle handle, const char* line, std::size_t length)
{
    const ssize_t written = write(static_cast<int>(handle), line, length);
    (void)written; // the log never stops the program
}

} // namespace LogBackend
