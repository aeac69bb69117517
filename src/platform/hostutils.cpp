#include "platform/hostutils.h"

#include "platform/log.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace HostUtils {

namespace {

const char kConfigVariable[] = "CORVANTIS_CONFIG_DIR";
const char kProductKey[] = "SOFTWARE\\Corvantis\\Corvantis Lumen";

bool IsOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// Undoes the "\ooo" escapes with which the kernel writes blanks, tabs, line feeds and
// backslashes inside a mount-table field.
QString DecodeMountField(const QByteArray& field)
{
    QByteArray raw;
    raw.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) && IsOctalDigit(field[i + 2])
            && IsOctalDigit(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value > 0 && value < 256) {
                raw.append(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        raw.append(field[i]);
    }
    return QFile::decodeName(raw);
}

} // namespace

int FileSystemCode(const QString& fileSystemName)
{
    if (fileSystemName == QLatin1String("FAT"))
        return FS_FAT;
    if (fileSystemName == QLatin1String("FAT32"))
        return FS_FAT32;
    if (fileSystemName == QLatin1String("NTFS"))
        return FS_NTFS;
    if (fileSystemName == QLatin1String("exFAT"))
        return FS_EXFAT;
    return FS_UNKNOWN;
}

QString FileSystemNameOfMountType(const QString& mountType)
{
    if (mountType == QLatin1String("msdos"))
        return QStringLiteral("FAT");
    if (mountType == QLatin1String("vfat"))
        return QStringLiteral("FAT32");
    if (mountType == QLatin1String("exfat"))
        return QStringLiteral("exFAT");
    if (mountType == QLatin1String("ntfs") || mountType == QLatin1String("ntfs3"))
        return QStringLiteral("NTFS");
    return mountType;
}

QList<MountEntry> ParseMountTable(const QByteArray& table)
{
    QList<MountEntry> entries;
    for (const QByteArray& line : table.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3 || fields[0].startsWith('#'))
            continue;
        entries.append({DecodeMountField(fields[1]), DecodeMountField(fields[2])});
    }
    return entries;
}

int FindMountEntry(const QList<MountEntry>& entries, const QString& path)
{
    int best = -1;
    int bestLength = -1;
    for (int i = 0; i < entries.size(); ++i) {
        const QString& point = entries[i].mountPoint;
        if (!point.startsWith(QLatin1Char('/')))
            continue;
        const bool holds = point == QLatin1String("/") || path == point
                           || (path.startsWith(point) && path.at(point.size()) == QLatin1Char('/'));
        if (holds && point.size() >= bestLength) {
            best = i;
            bestLength = point.size();
        }
    }
    return best;
}

int GetPathFileSystemType(const QString& path)
{
    const QString root = GetVolumeRoot(path);
    return root.isNull() ? FS_UNKNOWN : GetFileSystemType(root);
}

bool IsFatFamily(const QString& path)
{
    const int type = GetPathFileSystemType(path);
    return type == FS_FAT || type == FS_FAT32 || type == FS_EXFAT;
}

QString ConfigFolder()
{
    const QString fromEnvironment = GetEnv(QLatin1String(kConfigVariable));
    if (!fromEnvironment.isEmpty()) {
        LogMessage("kvrdirs", 0, "Configuration folder is taken from the environment variable %s: '%s'",
                   kConfigVariable, fromEnvironment.toUtf8().constData());
        return fromEnvironment;
    }
    const QString common = CommonAppDataFolder();
    if (common.isEmpty())
        return QString();
    return QDir::fromNativeSeparators(common + QLatin1String("/Corvantis"));
}

QString ResourcesFolder()
{
    return InstallLocation(QLatin1String(kProductKey)) + QLatin1String("/Resources");
}

quint64 TickFrequency()
{
    return 1000;
}

QString GetEnv(const QString& name)
{
    if (name.isEmpty())
        return QString();
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

QString UuidText(const unsigned char bytes[16])
{
    const unsigned long first = (static_cast<unsigned long>(bytes[0]) << 24) | (static_cast<unsigned long>(bytes[1]) << 16)
                                | (static_cast<unsigned long>(bytes[2]) << 8) | bytes[3];
    char text[40];
    std::snprintf(text, sizeof text, "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", first,
                  (bytes[4] << 8) | bytes[5], (bytes[6] << 8) | bytes[7], bytes[8], bytes[9], bytes[10], bytes[11],
                  bytes[12], bytes[13], bytes[14], bytes[15]);
    return QString::fromLatin1(text);
}

} // namespace HostUtils
