// Host services: volumes, product folders, clock, error texts, environment and UUIDs.
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace HostUtils {

enum FileSystemType { FS_UNKNOWN = 0, FS_FAT = 1, FS_FAT32 = 2, FS_NTFS = 3, FS_EXFAT = 22 };

// Bytes available to the caller on the volume of the folder that contains path; -1 on failure
// and for network paths ("//..." or "\\...").
qint64 GetFreeSpace(const QString& path);
// Mount point of the volume that holds path; a null string when it cannot be found.
QString GetVolumeRoot(const QString& path);
// File-system type code of a volume root, and of the volume that holds path.
int GetFileSystemType(const QString& volumeRoot);
int GetPathFileSystemType(const QString& path);
// Volumes without access lists (FAT, FAT32, exFAT).
bool IsFatFamily(const QString& path);

// Code of a file-system name as the system reports it ("FAT", "FAT32", "NTFS", "exFAT"; exact case).
int FileSystemCode(const QString& fileSystemName);

// The machine-wide application data folder; empty on failure (logged).
QString CommonAppDataFolder();
// The configuration folder: CORVANTIS_CONFIG_DIR when set and not empty, else the
// machine-wide application data folder followed by "/Corvantis"; empty on failure.
QString ConfigFolder();
// Install location recorded for a product key such as "SOFTWARE\\Corvantis\\Corvantis Lumen".
QString InstallLocation(const QString& productKey);
// Where a copy that no install record names keeps its files: the program's own folder where
// copies run unregistered (an unzipped Windows copy); empty where the record is the only source.
QString UnregisteredInstallLocation();
// Install location of Corvantis Lumen, else the unregistered one, followed by "/Resources".
QString ResourcesFolder();

// Monotonic milliseconds since system start, and the clock's units per second (1000).
quint64 TickCount();
quint64 TickFrequency();

// Text of the calling thread's current system error (errno), or of the given error.
QString SystemErrorText();
QString SystemErrorText(int error);
// The message a backend got from the system for an error, as it is shown: without a trailing line
// break, and naming the error's code when the system gave no text.
QString ErrorMessageText(QByteArray message, int error);

// Runs work on a thread of its own and waits at most timeoutMs for its answer (empty after that). The
// thread is left to finish by itself, so a slow name look-up never holds the caller past its deadline.
QString AnswerWithin(int timeoutMs, std::function<QString()> work);

// Value of an environment variable; empty when unset or when the name is empty.
QString GetEnv(const QString& name);

// A new random UUID as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" (38 characters).
QString NewUuidText();
// Text form of 16 bytes in storage order.
QString UuidText(const unsigned char bytes[16]);

// Takes the local time zone as it is now for the rest of the run, so that converting a date-time
// does not look at the zone's definition again each time (thousands of times in a large document).
void SettleLocalTimeZone();

// Suits the memory allocator to a run that frees a whole document of small nodes and then parses
// another: freed blocks are merged at once rather than kept aside in per-size lists, whose later
// merging all at once costs more than it saves here.
void TuneAllocatorForDocuments();

// Suits the memory allocator to a file transfer, which reads the network in fresh blocks of a few
// hundred KiB: freed blocks are kept for reuse instead of being returned to the system and faulted
// in again page by page for the next read (which cost more than the copies themselves).
void TuneAllocatorForTransfers();

} // namespace HostUtils
