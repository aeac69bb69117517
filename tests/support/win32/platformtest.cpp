#include "kvrtest.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

// IsRoot, GiveToNobody and Sandbox::giveToNobody are left out: only suites of the Linux build use them.
namespace KvrTest {

bool IsWindows()
{
    return true;
}

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

quint64 ThreadId()
{
    return GetCurrentThreadId();
}

void RestrictNewFiles()
{
    // New files take the access list their folder passes on; there is no mask to tighten.
}

QString NoAccessLists()
{
    return UnderWine() ? QStringLiteral("wine keeps of a file's access list only what unix mode bits can hold")
                       : QString();
}

bool OpenToEveryone(const QString& path)
{
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    if (GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                              nullptr, &descriptor)
        != ERROR_SUCCESS)
        return false;
    PSID interactive = nullptr;
    ACCESS_MASK rights = 0;
    if (ConvertStringSidToSidW(L"IU", &interactive)) {
        TRUSTEEW trustee{};
        BuildTrusteeWithSidW(&trustee, interactive);
        if (GetEffectiveRightsFromAclW(list, &trustee, &rights) != ERROR_SUCCESS)
            rights = 0;
        LocalFree(interactive);
    }
    LocalFree(descriptor);
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    MapGenericMask(&rights, &mapping);
    const ACCESS_MASK wanted = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
    return (rights & wanted) == wanted;
}

QString AccessList(const QString& path, const QString& set, bool /*inherited: a folder's list holds both*/)
{
    std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    if (!set.isEmpty()) {
        PSECURITY_DESCRIPTOR wanted = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        PACL list = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(set.toStdWString().c_str(), SDDL_REVISION_1,
                                                                  &wanted, nullptr))
            return QStringLiteral("-");
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(wanted, &control, &revision);
        const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION
                                          | ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                           : UNPROTECTED_DACL_SECURITY_INFORMATION);
        const bool applied = GetSecurityDescriptorDacl(wanted, &present, &list, &defaulted)
                             && SetNamedSecurityInfoW(&native[0], SE_FILE_OBJECT, what, nullptr, nullptr, list, nullptr)
                                    == ERROR_SUCCESS;
        LocalFree(wanted);
        if (!applied)
            return QStringLiteral("-");
    }
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(native.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &list,
                              nullptr, &descriptor)
        != ERROR_SUCCESS)
        return QStringLiteral("-");
    LPWSTR text = nullptr;
    QString result = QStringLiteral("-");
    if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
        result = QString::fromWCharArray(text);
        LocalFree(text);
    }
    LocalFree(descriptor);
    return result;
}

void SetTempFolder(const QString& folder)
{
    // GetTempPathW reads TMP first, then TEMP.
    const QByteArray native = QDir::toNativeSeparators(folder).toLocal8Bit();
    qputenv("TMP", native);
    qputenv("TEMP", native);
}

QString LogFallbackFolder(const QString& /*scratch: the folder cannot be redirected*/)
{
    // The user's local application data folder.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString NoUiLanguage(const QStringList& values)
{
    // Wine sets the interface language from the C library's locale when the process starts; the
    // locale must exist on the host (scripts/test-windows generates those the suites use in LOCPATH).
    if (!UnderWine())
        return QStringLiteral("Windows takes the interface language from the user's settings");
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    QString effective;
    for (int i = 0; i < 3; ++i) {
        const QString value = QString::fromLocal8Bit(qgetenv(names[i]));
        if (value != values.value(i))
            return QStringLiteral("wine reads the interface language when the process starts; ctest starts this "
                                  "row's own process with %1=%2").arg(QLatin1String(names[i]), values.value(i));
        if (effective.isEmpty())
            effective = value;
    }
    const QString generated = QStringLiteral("Z:") + QString::fromLocal8Bit(qgetenv("LOCPATH")) + '/' + effective;
    if (!effective.isEmpty() && (qgetenv("LOCPATH").isEmpty() || !QFileInfo::exists(generated)))
        return QStringLiteral("the locale %1 is not generated in LOCPATH (scripts/test-windows does it)").arg(effective);
    return QString();
}

QString NoOtherUser()
{
    return QStringLiteral("wine runs every program as one Windows user");
}

bool AsOtherUser(const std::function<bool()>& /*check*/)
{
    return false;
}

QStringList AsOtherUserCommand(const QString& program, const QStringList& arguments)
{
    return QStringList{program} + arguments;
}

bool StartOtherProgram(QProcess& process)
{
    // The command interpreter waits for commands on its open input.
    process.start(QStringLiteral("cmd.exe"), QStringList());
    return process.waitForStarted(10000);
}

QString MountSmallVolume(const QString& /*path*/)
{
    return QStringLiteral("a Windows program cannot mount a small volume under wine");
}

void UnmountSmallVolume(const QString& /*path*/)
{
}

bool MakeSymbolicLink(const QString& target, const QString& link)
{
    // QFile::link makes a shell shortcut on Windows, a plain file; a symbolic link is a reparse point.
    const DWORD folder = QFileInfo(target).isDir() ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    return CreateSymbolicLinkW(QDir::toNativeSeparators(link).toStdWString().c_str(),
                               QDir::toNativeSeparators(target).toStdWString().c_str(),
                               folder | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)
           != FALSE;
}

quint64 FileIdentity(const QString& path, qint64* size)
{
    const HANDLE file = CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!known)
        return 0;
    if (size != nullptr)
        *size = (static_cast<qint64>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return (static_cast<quint64>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
}

void MoveAsideWhenLarge(const QString& /*path*/, qint64 /*limit*/)
{
    // The suites of the Windows build write no log shared with other checkouts.
}

} // namespace KvrTest
