#include "platform/logbackend.h"

#include <cstdio>
#include <ctime>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

namespace LogBackend {

namespace {

const DWORD kWindowsFolderBuffer = 260; // bytes

// Handles replaced by a fresher one. A writer that loaded a handle just before the exchange may
// still write through it, so a replaced handle is closed only when the next replacement
// comes, at least a second later, and its value is never given to an unrelated file meanwhile.
std::atomic<HANDLE> g_retired{INVALID_HANDLE_VALUE};

// Opens path once more, read-only, to compare its identity with an open handle.
HANDLE OpenForIdentity(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The UTF-16 form of a UTF-8 path in a fixed buffer; false when it does not fit.
bool WidePath(const char* path, wchar_t* wide, int capacity)
{
    return MultiByteToWideChar(CP_UTF8, 0, path, -1, wide, capacity) > 0;
}

// Grants the well-known group of interactive users read and write access to a new log file.
void OpenToInteractiveUsers(HANDLE file)
{
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list, nullptr,
                        &descriptor)
        != ERROR_SUCCESS)
        return;
    PSID interactive = nullptr;
    if (ConvertStringSidToSidW(L"IU", &interactive)) {
        EXPLICIT_ACCESSW entry{};
        entry.grfAccessPermissions = GENERIC_READ | GENERIC_WRITE;
        entry.grfAccessMode = SET_ACCESS;
        entry.grfInheritance = NO_INHERITANCE;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
        entry.Trustee.ptstrName = static_cast<LPWSTR>(interactive);
        PACL fresh = nullptr;
        if (SetEntriesInAclW(1, &entry, list, &fresh) == ERROR_SUCCESS) {
            SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, fresh, nullptr);
            LocalFree(fresh);
        }
        LocalFree(interactive);
    }
    LocalFree(descriptor);
}

} // namespace

LocalTime Now()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::int64_t CalendarSeconds()
{
    return static_cast<std::int64_t>(time(nullptr));
}

unsigned long ProcessId()
{
    return GetCurrentProcessId();
}

unsigned long ThreadId()
{
    return GetCurrentThreadId();
}

bool DefaultFolder(char* buffer, std::size_t size)
{
    char windows[kWindowsFolderBuffer] = "";
    const UINT length = GetWindowsDirectoryA(windows, kWindowsFolderBuffer);
    if (length == 0 || length >= kWindowsFolderBuffer)
        return false;
    for (char* c = windows; *c != '\0'; ++c) {
        if (*c >= 'A' && *c <= 'Z')
            *c = static_cast<char>(*c - 'A' + 'a');
    }
    if (std::snprintf(buffer, size, "%s\\Logs\\", windows) >= static_cast<int>(size))
        return false;
    return CreateDirectoryA(buffer, nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool FallbackFolder(char* buffer, std::size_t size)
{
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                                folder)))
        return false;
    const int written = WideCharToMultiByte(CP_UTF8, 0, folder, -1, buffer, static_cast<int>(size), nullptr, nullptr);
    return written > 1;
}

Handle OpenOrCreate(const char* path)
{
    wchar_t wide[1024];
    if (!WidePath(path, wide, 1024))
        return kNoHandle;
    const HANDLE file = CreateFileW(wide, GENERIC_WRITE | WRITE_DAC | READ_CONTROL | FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return kNoHandle;
    // An existing file is used as it is; a new one is opened to interactive users.
    if (::GetLastError() != ERROR_ALREADY_EXISTS)
        OpenToInteractiveUsers(file);
    return reinterpret_cast<Handle>(file);
}

bool IsSameFile(Handle handle, const char* path)
{
    wchar_t wide[1024];
    if (!WidePath(path, wide, 1024))
        return false;
    const HANDLE named = OpenForIdentity(wide);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION open{}, again{};
    const bool same = GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &open)
                      && GetFileInformationByHandle(named, &again)
                      && open.dwVolumeSerialNumber == again.dwVolumeSerialNumber
                      && open.nFileIndexHigh == again.nFileIndexHigh && open.nFileIndexLow == again.nFileIndexLow;
    CloseHandle(named);
    return same;
}

void Install(std::atomic<Handle>& slot, Handle fresh)
{
    const Handle previous = slot.exchange(fresh);
    if (previous == kNoHandle || previous == fresh)
        return;
    const HANDLE older = g_retired.exchange(reinterpret_cast<HANDLE>(previous));
    if (older != INVALID_HANDLE_VALUE)
        CloseHandle(older);
}

void Append(Handle handle, const char* line, std::size_t length)
{
    // Offsets of all ones write at the end of the file, whoever else appends meanwhile.
    OVERLAPPED atEnd{};
    atEnd.Offset = 0xFFFFFFFF;
    atEnd.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    WriteFile(reinterpret_cast<HANDLE>(handle), line, static_cast<DWORD>(length), &written, &atEnd);
}

} // namespace LogBackend
