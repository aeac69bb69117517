#include "platform/tempfolder.h"

#include "platform/log.h"
#include "platform/win32/ownership.h"

#include <QDir>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

// 0 when the open file is a regular file of this user with a single name, else the reason.
DWORD CheckPrivateFile(HANDLE file)
{
    Win32::FileKind kind;
    if (!Win32::KindOf(file, kind))
        return ::GetLastError();
    if (!kind.regular)
        return ERROR_INVALID_PARAMETER;
    if (kind.names != 1)
        return ERROR_ACCESS_DENIED;
    switch (Win32::OwnerOf(file)) {
    case Win32::FileOwner::User:
        return ERROR_SUCCESS;
    case Win32::FileOwner::Unknown:
        return ::GetLastError();
    default:
        return ERROR_ACCESS_DENIED;
    }
}

} // namespace

QString UserTempFolder()
{
    // The user's own temporary folder (GetTempPathW), which Windows keeps private to the user.
    const QString folder = QDir::cleanPath(QDir::tempPath());
    if (!QDir().mkpath(folder)) {
        LogMessage(kProgramComponent, 0, "Can not create the temporary folder %s. Err = %d",
                   folder.toUtf8().constData(), static_cast<int>(::GetLastError()));
        return QString();
    }
    return folder;
}

int OpenPrivateFile(const QString& path, PrivateFileMode mode, const char* what)
{
    if (path.isEmpty()) {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return -1;
    }
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const DWORD access = (mode == PrivateFileMode::Rewrite ? GENERIC_WRITE : GENERIC_READ) | READ_CONTROL;
    const DWORD disposition = mode == PrivateFileMode::Read ? OPEN_EXISTING : OPEN_ALWAYS;
    // A reparse point (a link) at the path is opened itself, not followed, and refused below.
    const HANDLE file = CreateFileW(native.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD error = CheckPrivateFile(file);
    // Emptied only now, so that a file of somebody else is never touched.
    if (error == ERROR_SUCCESS && mode == PrivateFileMode::Rewrite && !SetEndOfFile(file))
        error = ::GetLastError();
    if (error == ERROR_SUCCESS) {
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), mode == PrivateFileMode::Rewrite ? 0 : _O_RDONLY);
        if (fd >= 0)
            return fd;
        error = ERROR_TOO_MANY_OPEN_FILES;
    } else {
        LogMessage(kProgramComponent, 0, "The %s %s is not a regular file of the user. Err = %d", what,
                   path.toUtf8().constData(), static_cast<int>(error));
    }
    CloseHandle(file);
    ::SetLastError(error);
    return -1;
}

void ClosePrivateFile(int descriptor)
{
    if (descriptor >= 0)
        _close(descriptor);
}
