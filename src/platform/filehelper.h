// File services: free space of a folder's volume and a durable file move.
#pragma once

#include <QFile>
#include <QString>
#include <QtGlobal>

class CFileHelper
{
public:
    enum : quint32 {
        FH_OK = 0,
        FH_PATH_NOT_FOUND = 0x80000324, // no such folder, or not a usable folder
        FH_ACCESS_DENIED = 0x80000005,
        FH_FAILED = 0x80000556, // any other failure (logged)
    };

    // Bytes free to the caller, total bytes and total free bytes of the volume holding path.
    // All given outputs are zeroed first.
    static quint32 GetDiskAvailableSpace(const QString& path, quint64* freeToCaller, quint64* totalBytes = nullptr,
                                         quint64* totalFreeBytes = nullptr);

    // Replaces "to" by "from" and commits the change to disk.
    static bool MoveFile(const QString& from, const QString& to);

    // What a path names itself: a symbolic link at its end is not followed.
    struct PathInfo {
        bool exists = false;
        bool regular = false; // a regular file, not a link, folder or device
        // A regular file with a single name, owned by the running user or by the administrator:
        // nobody else can have planted or linked it.
        bool trusted = false;
        qint64 size = 0;
    };
    static PathInfo InspectPath(const QString& path);

    // Opens the file that a transfer writes, never through a symbolic link. With append, a
    // regular file of the running user with a single name is kept and written at its end; anything
    // else at the path (a link, another user's file, a second name of a file) is removed and
    // replaced by a new empty file. Without append the file is emptied. A descriptor for
    // QFile::open(int, ...), or -1 with the reason in Platform::LastError().
    static int OpenTransferFile(const QString& path, bool append);
    // Opens a regular file for reading, never through a symbolic link; -1 with the reason in
    // Platform::LastError().
    static int OpenRegularFile(const QString& path);
    // Closes a descriptor that was not handed to a QFile.
    static void CloseFile(int fd);

    // Opens file for reading, binary, without waiting for the writer of a named pipe: a pipe whose
    // writer has gone reads as empty. False with Qt's error text in the file when it cannot be opened.
    // The file may forget its name (see CNamedFile).
    static bool OpenForReading(QFile& file);
};

// A file that keeps its name when it is opened on a descriptor, as OpenForReading may do.
class CNamedFile : public QFile
{
public:
    explicit CNamedFile(const QString& name) : QFile(name), m_qsName(name) {}
    QString fileName() const override { return m_qsName; }

private:
    QString m_qsName;
};
