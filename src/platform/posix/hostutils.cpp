#include "platform/hostutils.h"

#include "platform/log.h"
#include "platform/posix/mounttable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <fcntl.h>
#include <malloc.h>
#include <sys/random.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace HostUtils {

namespace {

const char kInstallValue[] = "InstallLocation";

// Reads the mount table of this process; false with errno set when it cannot be read.
bool ReadMountTable(QList<MountEntry>& entries)
{
    const int fd = open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    QByteArray table;
    char chunk[8192];
    for (;;) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            close(fd);
            errno = error;
            return false;
        }
        if (got == 0)
            break;
        table.append(chunk, static_cast<int>(got));
    }
    close(fd);
    entries = ParseMountTable(table);
    return true;
}

// The absolute form of path with every symbolic link of its existing part resolved, so
// that a link into another volume counts for that volume.
QString ResolvedPath(const QString& path)
{
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/")) {
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        rest = existing.mid(slash) + rest;
        existing = slash > 0 ? existing.left(slash) : QStringLiteral("/");
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    const QString base = canonical.isEmpty() ? existing : canonical;
    return QDir::cleanPath(base + rest);
}

// Picks the right result type of strerror_r, whichever variant the C library offers.
[[maybe_unused]] const char* ErrorTextOf(int result, const char* buffer)
{
    return result == 0 ? buffer : nullptr;
}

[[maybe_unused]] const char* ErrorTextOf(const char* result, const char*)
{
    return result;
}

// Organisation and application of a product key such as "SOFTWARE\\Corvantis\\Corvantis Lumen".
bool SettingsNamesOfKey(const QString& productKey, QString& organisation, QString& application)
{
    QStringList parts = productKey.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().compare(QLatin1String("SOFTWARE"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    if (parts.isEmpty())
        return false;
    organisation = parts.takeFirst();
    application = parts.join(QLatin1Char('/'));
    return true;
}

// Size in bytes that the stored value takes as text, for the bad-type message.
uint StoredSize(const QVariant& value)
{
    if (value.userType() == QMetaType::QByteArray)
        return static_cast<uint>(value.toByteArray().size());
    if (value.userType() == QMetaType::QStringList) {
        uint size = 2;
        for (const QString& item : value.toStringList())
            size += static_cast<uint>(item.size() + 1) * 2;
        return size;
    }
    return static_cast<uint>(value.toString().size() + 1) * 2;
}

} // namespace

qint64 GetFreeSpace(const QString& path)
{
    if (path.startsWith(QLatin1String("//")) || path.startsWith(QLatin1String("\\\\")))
        return -1;
    const QString folder = QFileInfo(path).absolutePath();
    struct statvfs info {};
    if (statvfs(QFile::encodeName(folder).constData(), &info) != 0) {
        LogMessage("HostUtils", 0, "Failed to GetDiskFreeSpaceEx %s %x", folder.toUtf8().constData(),
                   static_cast<unsigned>(errno));
        return -1;
    }
    const quint64 available = static_cast<quint64>(info.f_bavail) * info.f_frsize;
    return available > static_cast<quint64>(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max()
                                                                               : static_cast<qint64>(available);
}

QString GetVolumeRoot(const QString& path)
{
    if (path.isEmpty() || path.contains(QChar(0))) {
        LogMessage("HostUtils", 0, "getFullPathName for %s failed %u", path.toUtf8().constData(),
                   static_cast<unsigned>(EINVAL));
        return QString();
    }
    const QString resolved = ResolvedPath(path);
    QList<MountEntry> entries;
    if (!ReadMountTable(entries)) {
        LogMessage("HostUtils", 0, "getVolumePathName with allocated buffer for %s failed %u",
                   path.toUtf8().constData(), static_cast<unsigned>(errno));
        return QString();
    }
    const int found = FindMountEntry(entries, resolved);
    if (found < 0) {
        LogMessage("HostUtils", 0, "getVolumePathName with allocated buffer for %s failed %u",
                   path.toUtf8().constData(), static_cast<unsigned>(ENOENT));
        return QString();
    }
    return entries[found].mountPoint;
}

int GetFileSystemType(const QString& volumeRoot)
{
    QList<MountEntry> entries;
    int error = ENOENT;
    if (ReadMountTable(entries)) {
        const QString root = QDir::cleanPath(volumeRoot);
        // The last entry for a mount point is the one on top, the one in use.
        for (int i = entries.size() - 1; i >= 0; --i) {
            if (!volumeRoot.isEmpty() && entries[i].mountPoint == root)
                return FileSystemCode(FileSystemNameOfMountType(entries[i].type));
        }
    } else {
        error = errno;
    }
    LogMessage("HostUtils", 0, "GetVolumeInformation for %s failed %u", volumeRoot.toUtf8().constData(),
               static_cast<unsigned>(error));
    return FS_UNKNOWN;
}

QString CommonAppDataFolder()
{
    return QStringLiteral("/var/lib");
}

QString InstallLocation(const QString& productKey)
{
    const QByteArray key = productKey.toUtf8();
    QString organisation, application;
    if (!SettingsNamesOfKey(productKey, organisation, application)) {
        LogMessage("kvrdirs", 2, "Product not installed, RegOpenKeyExA() err %i, key=\"%s\"", ENOENT, key.constData());
        return QString();
    }
    const QSettings settings(QSettings::SystemScope, organisation, application);
    if (!QFileInfo::exists(settings.fileName())) {
        LogMessage("kvrdirs", 2, "Product not installed, RegOpenKeyExA() err %i, key=\"%s\"", ENOENT, key.constData());
        return QString();
    }
    if (settings.status() != QSettings::NoError) {
        const int error = settings.status() == QSettings::AccessError ? EACCES : EINVAL;
        LogMessage("kvrdirs", 0, "Failed to get product install dir, RegOpenKeyExA() err %i, key=\"%s\"", error,
                   key.constData());
        return QString();
    }
    if (!settings.contains(QLatin1String(kInstallValue))) {
        LogMessage("kvrdirs", 2, "Product not installed, RegQueryValueExW() err %i, key=\"%s\"", ENOENT,
                   key.constData());
        return QString();
    }
    const QVariant value = settings.value(QLatin1String(kInstallValue));
    if (value.userType() != QMetaType::QString) {
        LogMessage("kvrdirs", 0, "Bad type of \"%s\" value, type=%u, valSz=%u", kInstallValue,
                   static_cast<unsigned>(value.userType()), StoredSize(value));
        return QString();
    }
    QString location = value.toString();
    const int zero = location.indexOf(QChar(0));
    if (zero >= 0)
        location.truncate(zero);
    return location;
}

QString UnregisteredInstallLocation()
{
    // Installed copies are found through their record alone.
    return QString();
}

quint64 TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<quint64>(now.tv_sec) * 1000u + static_cast<quint64>(now.tv_nsec) / 1000000u;
}

QString SystemErrorText()
{
    return SystemErrorText(errno);
}

QString SystemErrorText(int error)
{
    char buffer[512] = "";
    const char* text = ErrorTextOf(strerror_r(error, buffer, sizeof buffer), buffer);
    return ErrorMessageText(text != nullptr ? QByteArray(text) : QByteArray(), error);
}

QString NewUuidText()
{
    alignas(quint32) unsigned char bytes[16] = {};
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t got = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            LogMessage("HostUtils", 0, "getrandom() failed. Err = %d", errno);
            QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(bytes), sizeof bytes / 4);
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0f) | 0x40); // version 4: random
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3f) | 0x80); // variant 1 (RFC 4122)
    return UuidText(bytes);
}

void SettleLocalTimeZone()
{
    // Without TZ, the C library examines /etc/localtime (a stat at least) at every tzset(), which Qt
    // calls before each conversion; with TZ naming that same file it reads it once.
    if (std::getenv("TZ") == nullptr)
        setenv("TZ", ":/etc/localtime", 0);
    tzset();
}

void TuneAllocatorForDocuments()
{
#ifdef M_MXFAST
    mallopt(M_MXFAST, 0); // glibc's fast bins: none
#endif
}

void TuneAllocatorForTransfers()
{
    // Both fixed: blocks below 4 MiB come from the heap, and up to 8 MiB of free heap is kept.
    // (Either alone also fixes the other at its small default, which is slower than neither.)
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
}

} // namespace HostUtils
