#include "platform/filehelper.h"

#include "platform/log.h"
#include "platform/win32/ownership.h"

#include <QDir>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
// windows.h names MoveFileW "MoveFile"; the helper's member keeps its own name.
#undef MoveFile

namespace {

std::wstring Native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what the path names itself: a reparse point (a link) at its end is not followed.
HANDLE OpenUnfollowed(const QString& path, DWORD access, DWORD disposition)
{
    if (path.isEmpty()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(Native(path).c_str(), access, kShareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A C runtime descriptor for the handle, which it then owns; -1 with the last error set.
int Descriptor(HANDLE file, int flags)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), flags);
    if (fd < 0) {
        CloseHandle(file);
        ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    }
    return fd;
}

int FailWith(HANDLE file, DWORD error)
{
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    ::SetLastError(error);
    return -1;
}

} // namespace

quint32 CFileHelper::GetDiskAvailableSpace(const QString& path, quint64* freeToCaller, quint64* totalBytes,
                                           quint64* totalFreeBytes)
{
    for (quint64* output : {freeToCaller, totalBytes, totalFreeBytes}) {
        if (output != nullptr)
            *output = 0;
    }
    ::SetLastError(ERROR_SUCCESS);
    ULARGE_INTEGER available{}, total{}, totalFree{};
    if (!path.isEmpty() && GetDiskFreeSpaceExW(Native(path).c_str(), &available, &total, &totalFree)) {
        if (freeToCaller != nullptr)
            *freeToCaller = available.QuadPart;
        if (totalBytes != nullptr)
            *totalBytes = total.QuadPart;
        if (totalFreeBytes != nullptr)
            *totalFreeBytes = totalFree.QuadPart;
        return FH_OK;
    }
    const DWORD error = path.isEmpty() ? ERROR_PATH_NOT_FOUND : ::GetLastError();
    switch (error) {
    case ERROR_FILE_NOT_FOUND: // the last folder of the path is missing
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
        return FH_PATH_NOT_FOUND;
    case ERROR_ACCESS_DENIED:
        return FH_ACCESS_DENIED;
    default:
        LogMessage("AuthHelper", 0,
                   "CFileHelper::GetDiskAvailableSpace() : GetDiskFreeSpaceEx() for '%s' failed. Error code: %d",
                   path.toUtf8().constData(), static_cast<int>(error));
        return FH_FAILED;
    }
}

bool CFileHelper::MoveFile(const QString& from, const QString& to)
{
    if (from.isEmpty() || to.isEmpty()
        || !MoveFileExW(Native(from).c_str(), Native(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = from.isEmpty() || to.isEmpty() ? ERROR_FILE_NOT_FOUND : ::GetLastError();
        LogMessage("AuthHelper", 0, "Unable to move file by error %#x. sFrom==>sTo:'%s' ==>'%s'",
                   static_cast<unsigned>(error), from.toUtf8().constData(), to.toUtf8().constData());
        return false;
    }
    return true;
}

CFileHelper::PathInfo CFileHelper::InspectPath(const QString& path)
{
    PathInfo info;
    const HANDLE file = OpenUnfollowed(path, FILE_READ_ATTRIBUTES | READ_CONTROL, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return info;
    Win32::FileKind kind;
    info.exists = true;
    if (Win32::KindOf(file, kind) && kind.regular) {
        info.regular = true;
        info.size = kind.size;
        const Win32::FileOwner owner = Win32::OwnerOf(file);
        info.trusted = kind.names == 1 && (owner == Win32::FileOwner::User || owner == Win32::FileOwner::Administrator);
    }
    CloseHandle(file);
    return info;
}

int CFileHelper::OpenTransferFile(const QString& path, bool append)
{
    HANDLE file = OpenUnfollowed(path, GENERIC_WRITE | READ_CONTROL, OPEN_ALWAYS);
    Win32::FileKind kind;
    const bool own = file != INVALID_HANDLE_VALUE && Win32::KindOf(file, kind) && kind.regular && kind.names == 1
                     && Win32::OwnerOf(file) == Win32::FileOwner::User;
    if (!own) {
        // A link, a file of somebody else or anything but a plain file: its name is removed (a
        // link's target is never touched) and a new file takes its place.
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        const std::wstring native = Native(path);
        const DWORD attributes = GetFileAttributesW(native.c_str());
        const bool folderLink = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                                && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        const bool removed = folderLink ? RemoveDirectoryW(native.c_str()) : DeleteFileW(native.c_str());
        if (!path.isEmpty() && !removed && ::GetLastError() != ERROR_FILE_NOT_FOUND)
            return -1;
        file = OpenUnfollowed(path, GENERIC_WRITE, CREATE_NEW);
        if (file == INVALID_HANDLE_VALUE)
            return -1;
        LogMessage(kProgramComponent, 1, "The file %s was not a plain file of the user and has been replaced.",
                   path.toUtf8().constData());
    } else if (!append && !SetEndOfFile(file)) {
        return FailWith(file, ::GetLastError());
    }
    return Descriptor(file, append ? _O_APPEND : 0);
}

int CFileHelper::OpenRegularFile(const QString& path)
{
    const HANDLE file = OpenUnfollowed(path, GENERIC_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    Win32::FileKind kind;
    if (!Win32::KindOf(file, kind))
        return FailWith(file, ::GetLastError());
    if (!kind.regular)
        return FailWith(file, ERROR_INVALID_PARAMETER);
    return Descriptor(file, _O_RDONLY);
}

void CFileHelper::CloseFile(int fd)
{
    if (fd >= 0)
        _close(fd);
}

bool CFileHelper::OpenForReading(QFile& file)
{
    // Windows has no named pipes among the files: a plain open never waits for a writer.
    return file.open(QIODevice::ReadOnly);
}
