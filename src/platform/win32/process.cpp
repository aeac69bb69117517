#include "platform/process.h"

#include "platform/log.h"

#include <vector>
#include <windows.h>

namespace {

// How long a stop waits for the stopped process to end.
const DWORD kTerminateWaitMs = 5000;
// Lock names are given to the system in a zeroed buffer of this many characters.
const int kNameBuffer = 128;

// The name in a zeroed buffer of 128 characters, cut to 127.
std::vector<wchar_t> NameBuffer(const QString& name)
{
    std::vector<wchar_t> buffer(kNameBuffer, L'\0');
    const QString cut = name.left(kNameBuffer - 1);
    cut.toWCharArray(buffer.data());
    return buffer;
}

// The full path of the program that a process runs; empty when it cannot be read.
QString ImagePath(HANDLE process)
{
    std::vector<wchar_t> path(32768);
    DWORD size = static_cast<DWORD>(path.size());
    if (!QueryFullProcessImageNameW(process, 0, path.data(), &size))
        return QString();
    return QString::fromWCharArray(path.data(), static_cast<int>(size));
}

// The user a process runs as; empty when its token cannot be read.
std::vector<BYTE> UserOf(HANDLE process)
{
    std::vector<BYTE> user;
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return user;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size > 0) {
        user.assign(size, 0);
        if (!GetTokenInformation(token, TokenUser, user.data(), size, &size))
            user.clear();
    }
    CloseHandle(token);
    return user;
}

bool SameUser(HANDLE first, HANDLE second)
{
    const std::vector<BYTE> one = UserOf(first);
    const std::vector<BYTE> other = UserOf(second);
    return !one.empty() && !other.empty()
           && EqualSid(reinterpret_cast<const TOKEN_USER*>(one.data())->User.Sid,
                       reinterpret_cast<const TOKEN_USER*>(other.data())->User.Sid);
}

} // namespace

namespace Platform {

NamedLockState OpenNamedLock(const QString& name, NamedLock& lock)
{
    lock = kNoNamedLock;
    const std::vector<wchar_t> buffer = NameBuffer(name);
    const HANDLE semaphore = OpenSemaphoreW(SEMAPHORE_ALL_ACCESS, FALSE, buffer.data());
    if (semaphore != nullptr) {
        lock = reinterpret_cast<NamedLock>(semaphore);
        return NamedLockState::Opened;
    }
    return ::GetLastError() == ERROR_FILE_NOT_FOUND ? NamedLockState::NotFound : NamedLockState::Failed;
}

bool CreateNamedLock(const QString& name, NamedLock& lock)
{
    const std::vector<wchar_t> buffer = NameBuffer(name);
    // The lock is the existence of the semaphore; nobody waits on it.
    const HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 1, buffer.data());
    if (semaphore == nullptr)
        return false;
    lock = reinterpret_cast<NamedLock>(semaphore);
    return true;
}

bool ReleaseNamedLock(NamedLock lock)
{
    return ReleaseSemaphore(reinterpret_cast<HANDLE>(lock), 1, nullptr) != 0;
}

qint64 CurrentProcessId()
{
    return static_cast<qint64>(GetCurrentProcessId());
}

bool OpenProcessOfThisProgram(qint64 id, ProcessHandle& process)
{
    process = ProcessHandle();
    if (id <= 0 || id > MAXDWORD) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (static_cast<DWORD>(id) == GetCurrentProcessId()) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const HANDLE handle = OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(id));
    if (handle == nullptr)
        return false;
    // Only a copy of this program run by the same user is stopped.
    const QString self = ImagePath(GetCurrentProcess());
    const QString other = ImagePath(handle);
    if (self.isEmpty() || self.compare(other, Qt::CaseInsensitive) != 0 || !SameUser(GetCurrentProcess(), handle)) {
        CloseHandle(handle);
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    process.id = id;
    process.handle = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool TerminateProcessAndWait(const ProcessHandle& process)
{
    const HANDLE handle = reinterpret_cast<HANDLE>(process.handle);
    if (!TerminateProcess(handle, 0)) {
        // It may have ended on its own since it was opened, which is what the caller wants.
        const DWORD error = ::GetLastError();
        if (WaitForSingleObject(handle, 0) == WAIT_OBJECT_0)
            return true;
        ::SetLastError(error);
        return false;
    }
    if (WaitForSingleObject(handle, kTerminateWaitMs) != WAIT_OBJECT_0)
        LogMessage(kProgramComponent, 0, "Process %lld has not ended within %lu ms", process.id,
                   static_cast<unsigned long>(kTerminateWaitMs));
    return true;
}

void CloseProcess(ProcessHandle& process)
{
    if (process.handle != -1 && process.handle != 0)
        CloseHandle(reinterpret_cast<HANDLE>(process.handle));
    process = ProcessHandle();
}

bool IsAdministrator()
{
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                  0, &administrators)) {
        LogMessage(kProgramComponent, 0, "AllocateAndInitializeSid failed : Error = %u",
                   static_cast<unsigned>(::GetLastError()));
        return false;
    }
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member)) {
        LogMessage(kProgramComponent, 0, "CheckTokenMembership failed : Error = %u",
                   static_cast<unsigned>(::GetLastError()));
        member = FALSE;
    }
    FreeSid(administrators);
    return member != FALSE;
}

} // namespace Platform
