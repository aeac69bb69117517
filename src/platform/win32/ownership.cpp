#include "platform/win32/ownership.h"

#include <aclapi.h>

namespace Win32 {

namespace {

// The identifier in a token information buffer of this process.
bool TokenSid(TOKEN_INFORMATION_CLASS what, BYTE (&buffer)[512], PSID& sid)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    DWORD size = 0;
    const bool read = GetTokenInformation(token, what, buffer, sizeof buffer, &size) != 0;
    const DWORD error = ::GetLastError();
    CloseHandle(token);
    if (!read) {
        ::SetLastError(error);
        return false;
    }
    sid = what == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid
                            : reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner;
    return true;
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    return IsWellKnownSid(sid, type) != FALSE;
}

} // namespace

FileOwner OwnerOf(HANDLE file)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                       nullptr, &descriptor);
    if (read != ERROR_SUCCESS) {
        ::SetLastError(read);
        return FileOwner::Unknown;
    }
    BYTE userBuffer[512], ownerBuffer[512];
    PSID user = nullptr, defaultOwner = nullptr;
    FileOwner result = FileOwner::Other;
    if (owner == nullptr || !TokenSid(TokenUser, userBuffer, user) || !TokenSid(TokenOwner, ownerBuffer, defaultOwner))
        result = FileOwner::Unknown;
    else if (EqualSid(owner, user) || EqualSid(owner, defaultOwner))
        result = FileOwner::User;
    else if (IsWellKnown(owner, WinBuiltinAdministratorsSid) || IsWellKnown(owner, WinLocalSystemSid))
        result = FileOwner::Administrator;
    const DWORD error = ::GetLastError();
    LocalFree(descriptor);
    ::SetLastError(error);
    return result;
}

bool KindOf(HANDLE file, FileKind& kind)
{
    kind = FileKind();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return false;
    const DWORD notRegular = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE;
    kind.regular = !(info.dwFileAttributes & notRegular) && GetFileType(file) == FILE_TYPE_DISK;
    kind.names = info.nNumberOfLinks;
    kind.size = (static_cast<LONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

} // namespace Win32
