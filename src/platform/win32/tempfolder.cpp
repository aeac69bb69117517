#include "platform/tempfolder.h"

#include "platform/log.h"

#include <QDir>

#include <vector>
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <aclapi.h>

namespace {

// A security identifier held in a buffer.
using Sid = std::vector<BYTE>;

// The user of this process and the default owner of what it creates (the Administrators group
// for an elevated administrator).
bool OwnersOfThisProcess(Sid& user, Sid& owner)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    BYTE buffer[512];
    DWORD size = 0;
    bool ok = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) != 0;
    if (ok) {
        const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
        user.assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
        ok = GetTokenInformation(token, TokenOwner, buffer, sizeof buffer, &size) != 0;
    }
    if (ok) {
        const PSID sid = reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner;
        owner.assign(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
    }
    const DWORD error = ::GetLastError();
    CloseHandle(token);
    ::SetLastError(error);
    return ok;
}

// 0 when the open file is a regular file of this user with a single name, else the reason.
DWORD CheckPrivateFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return ::GetLastError();
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return ERROR_INVALID_PARAMETER;
    if (GetFileType(file) != FILE_TYPE_DISK)
        return ERROR_INVALID_PARAMETER;
    if (info.nNumberOfLinks != 1)
        return ERROR_ACCESS_DENIED;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                       nullptr, &descriptor);
    if (read != ERROR_SUCCESS)
        return read;
    Sid user, defaultOwner;
    DWORD result = ERROR_ACCESS_DENIED;
    if (!OwnersOfThisProcess(user, defaultOwner))
        result = ::GetLastError();
    else if (owner != nullptr && (EqualSid(owner, user.data()) || EqualSid(owner, defaultOwner.data())))
        result = ERROR_SUCCESS;
    LocalFree(descriptor);
    return result;
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
