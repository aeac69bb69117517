// The kernel's mount table, read to find the volume that holds a path and its file system.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace HostUtils {

// One entry of a mount table.
struct MountEntry {
    QString mountPoint;
    QString type;
};

// Entries of a mount table in the fstab layout (blank-separated fields, octal escapes
// such as "\040" for a blank); lines with fewer than three fields are skipped.
QList<MountEntry> ParseMountTable(const QByteArray& table);
// Index of the entry whose mount point is the longest one holding the absolute, clean path
// (the later entry among equals, as it hides the earlier); -1 when none holds it.
int FindMountEntry(const QList<MountEntry>& entries, const QString& path);
// The reported file-system name of a mount type: "vfat" reads as "FAT32", "ntfs3" as "NTFS", ...
QString FileSystemNameOfMountType(const QString& mountType);

} // namespace HostUtils
