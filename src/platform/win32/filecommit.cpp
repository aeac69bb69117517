#include "platform/filecommit.h"

#include <atomic>

#include <io.h>
#include <windows.h>

namespace FileCommit {

namespace {

std::atomic<CommitFunction> g_commitOverride{nullptr};

// The system handle behind a C runtime descriptor; INVALID_HANDLE_VALUE, with the last error
// set, when there is none.
HANDLE HandleOf(int fd)
{
    const HANDLE handle = fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    if (handle == INVALID_HANDLE_VALUE)
        ::SetLastError(ERROR_INVALID_HANDLE);
    return handle;
}

// Errors of a file system (or an emulation of one) that cannot reserve storage ahead: the size
// is then set without a reservation.
bool CannotReserve(DWORD error)
{
    return error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION;
}

} // namespace

bool ResizeFile(int fd, qint64 size)
{
    const HANDLE handle = HandleOf(fd);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    if (size < 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LARGE_INTEGER current{};
    if (!GetFileSizeEx(handle, &current))
        return false;
    if (size > current.QuadPart) {
        // Reserve the storage first: a full volume fails here and the size stays as it was.
        FILE_ALLOCATION_INFO allocation{};
        allocation.AllocationSize.QuadPart = size;
        if (!SetFileInformationByHandle(handle, FileAllocationInfo, &allocation, sizeof allocation)
            && !CannotReserve(::GetLastError()))
            return false;
    }
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end) != 0;
}

bool CommitToDisk(int fd)
{
    if (HandleOf(fd) == INVALID_HANDLE_VALUE)
        return false;
    const CommitFunction replacement = g_commitOverride.load();
    if (replacement != nullptr)
        return replacement(fd);
    // The runtime's commit flushes the file's buffers to the device (FlushFileBuffers).
    if (_commit(fd) == 0)
        return true;
    if (::GetLastError() == ERROR_SUCCESS)
        ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
}

void SetCommitFunction(CommitFunction function)
{
    g_commitOverride.store(function);
}

} // namespace FileCommit
