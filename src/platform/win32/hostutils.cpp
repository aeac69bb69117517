#include "platform/hostutils.h"

#include "platform/log.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <new>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
// winbase.h keeps an old 16-bit "GetFreeSpace" macro; the service keeps its own name.
#undef GetFreeSpace

namespace HostUtils {

namespace {

const wchar_t kInstallValue[] = L"InstallLocation";
const DWORD kFirstValueBuffer = 520; // bytes

std::wstring Native(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

// GetTickCount widened to 64 bits: the high half counts the wraps of the 32-bit tick.
std::atomic<quint64> g_wideTick{0};

quint64 WidenedTickCount()
{
    quint64 previous = g_wideTick.load();
    for (;;) {
        const quint32 tick = GetTickCount();
        quint64 wraps = previous >> 32;
        if (tick < static_cast<quint32>(previous))
            ++wraps;
        const quint64 next = (wraps << 32) | tick;
        if (g_wideTick.compare_exchange_weak(previous, next))
            return next;
    }
}

using TickCount64Function = ULONGLONG(WINAPI*)();

TickCount64Function LookUpTickCount64()
{
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<TickCount64Function>(
                                   reinterpret_cast<void*>(GetProcAddress(kernel, "GetTickCount64")));
}

} // namespace

qint64 GetFreeSpace(const QString& path)
{
    if (path.startsWith(QLatin1String("//")) || path.startsWith(QLatin1String("\\\\")))
        return -1;
    const QString folder = QFileInfo(path).absolutePath();
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(Native(folder).c_str(), &available, nullptr, nullptr)) {
        LogMessage("HostUtils", 0, "Failed to GetDiskFreeSpaceEx %s %x", folder.toUtf8().constData(),
                   static_cast<unsigned>(::GetLastError()));
        return -1;
    }
    return available.QuadPart > static_cast<quint64>(LLONG_MAX) ? LLONG_MAX : static_cast<qint64>(available.QuadPart);
}

QString GetVolumeRoot(const QString& path)
{
    const std::wstring native = Native(path);
    const DWORD needed = path.isEmpty() ? 0 : GetFullPathNameW(native.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        LogMessage("HostUtils", 0, "getFullPathName for %s failed %u", path.toUtf8().constData(),
                   static_cast<unsigned>(path.isEmpty() ? ERROR_INVALID_NAME : ::GetLastError()));
        return QString();
    }
    wchar_t* buffer = new (std::nothrow) wchar_t[needed + 1];
    if (buffer == nullptr) {
        LogMessage("HostUtils", 0, "memory allocation failed");
        return QString();
    }
    QString root;
    if (GetVolumePathNameW(native.c_str(), buffer, needed + 1))
        root = QString::fromWCharArray(buffer);
    else
        LogMessage("HostUtils", 0, "getVolumePathName with allocated buffer for %s failed %u",
                   path.toUtf8().constData(), static_cast<unsigned>(::GetLastError()));
    delete[] buffer;
    return root;
}

int GetFileSystemType(const QString& volumeRoot)
{
    wchar_t name[256] = L"";
    if (volumeRoot.isEmpty()
        || !GetVolumeInformationW(Native(volumeRoot).c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, 256)) {
        LogMessage("HostUtils", 0, "GetVolumeInformation for %s failed %u", volumeRoot.toUtf8().constData(),
                   static_cast<unsigned>(volumeRoot.isEmpty() ? ERROR_INVALID_NAME : ::GetLastError()));
        return FS_UNKNOWN;
    }
    return FileSystemCode(QString::fromWCharArray(name));
}

QString CommonAppDataFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    const HRESULT result = SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
    if (FAILED(result)) {
        LogMessage("kvrdirs", 0, "Can't get profile by error %d", static_cast<int>(::GetLastError()));
        return QString();
    }
    return QString::fromWCharArray(folder);
}

QString InstallLocation(const QString& productKey)
{
    const QByteArray key = productKey.toLocal8Bit();
    HKEY handle = nullptr;
    LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.constData(), 0, KEY_QUERY_VALUE, &handle);
    if (error != ERROR_SUCCESS) {
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            LogMessage("kvrdirs", 2, "Product not installed, RegOpenKeyExA() err %i, key=\"%s\"",
                       static_cast<int>(error), key.constData());
        else
            LogMessage("kvrdirs", 0, "Failed to get product install dir, RegOpenKeyExA() err %i, key=\"%s\"",
                       static_cast<int>(error), key.constData());
        return QString();
    }
    BYTE first[kFirstValueBuffer] = {};
    BYTE* value = first;
    DWORD type = 0;
    DWORD size = kFirstValueBuffer;
    error = RegQueryValueExW(handle, kInstallValue, nullptr, &type, value, &size);
    if (error == ERROR_MORE_DATA) {
        value = new (std::nothrow) BYTE[size];
        if (value == nullptr) {
            LogMessage("kvrdirs", 0, "Failed to allocate %u bytes", static_cast<unsigned>(size));
            RegCloseKey(handle);
            return QString();
        }
        error = RegQueryValueExW(handle, kInstallValue, nullptr, &type, value, &size);
    }
    RegCloseKey(handle);
    QString location;
    if (error != ERROR_SUCCESS) {
        if (error == ERROR_FILE_NOT_FOUND)
            LogMessage("kvrdirs", 2, "Product not installed, RegQueryValueExW() err %i, key=\"%s\"",
                       static_cast<int>(error), key.constData());
        else
            LogMessage("kvrdirs", 0, "Failed to get product install dir, RegQueryValueExW() err %i, key=\"%s\"",
                       static_cast<int>(error), key.constData());
    } else if (type != REG_SZ) {
        LogMessage("kvrdirs", 0, "Bad type of \"%s\" value, type=%u, valSz=%u", "InstallLocation",
                   static_cast<unsigned>(type), static_cast<unsigned>(size));
    } else {
        // The text ends at its first terminating zero within the reported size.
        const auto* text = reinterpret_cast<const wchar_t*>(value);
        int length = 0;
        while (length < static_cast<int>(size / sizeof(wchar_t)) && text[length] != L'\0')
            ++length;
        location = QString::fromWCharArray(text, length);
    }
    if (value != first)
        delete[] value;
    return location;
}

QString UnregisteredInstallLocation()
{
    // An unzipped copy: the folder of the program stands in for the install location.
    wchar_t path[32768] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0])
        return QString();
    return QFileInfo(QDir::fromNativeSeparators(QString::fromWCharArray(path, static_cast<int>(length)))).absolutePath();
}

quint64 TickCount()
{
    static const TickCount64Function tickCount64 = LookUpTickCount64();
    return tickCount64 != nullptr ? static_cast<quint64>(tickCount64()) : WidenedTickCount();
}

QString SystemErrorText()
{
    return SystemErrorText(static_cast<int>(::GetLastError()));
}

QString SystemErrorText(int error)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text), 0,
                                        nullptr);
    const QByteArray message = length > 0 && text != nullptr ? QByteArray(text, static_cast<int>(length)) : QByteArray();
    if (text != nullptr)
        LocalFree(text);
    return ErrorMessageText(message, error);
}

QString NewUuidText()
{
    GUID guid{};
    const HRESULT result = CoCreateGuid(&guid);
    if (FAILED(result))
        LogMessage("HostUtils", 0, "CoCreateGuid() failed. Err = 0x%lx", static_cast<unsigned long>(result));
    // The text form reads the first three fields as numbers, most significant byte first.
    const unsigned char bytes[16] = {
        static_cast<unsigned char>(guid.Data1 >> 24), static_cast<unsigned char>(guid.Data1 >> 16),
        static_cast<unsigned char>(guid.Data1 >> 8),  static_cast<unsigned char>(guid.Data1),
        static_cast<unsigned char>(guid.Data2 >> 8),  static_cast<unsigned char>(guid.Data2),
        static_cast<unsigned char>(guid.Data3 >> 8),  static_cast<unsigned char>(guid.Data3),
        guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
        guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7],
    };
    return UuidText(bytes);
}

void SettleLocalTimeZone()
{
    // Without TZ the C runtime asks Windows for the zone, which reads no file; a POSIX-style TZ
    // written here could not carry Windows' daylight-saving rules.
}

void TuneAllocatorForDocuments()
{
    // The Windows heap offers no such setting; its low-fragmentation lists are its own choice.
}

void TuneAllocatorForTransfers()
{
    // Nothing to tune: the Windows heap keeps no per-thread arenas to cap.
}

} // namespace HostUtils
