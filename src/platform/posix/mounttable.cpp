#include "platform/posix/mounttable.h"

#include <QFile>

namespace HostUtils {

namespace {

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

} // namespace HostUtils
