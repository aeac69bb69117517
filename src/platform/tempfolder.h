// The user's private temporary folder and the files the program keeps in it.
#pragma once

#include <QString>

// QDir::tempPath() + "/kvr_updater-<user id>", created when missing. Empty (and logged, with the
// reason in Platform::LastError()) when it cannot be used safely: it must be a real folder, not a
// link, owned by the user and closed to everybody else.
QString UserTempFolder();

// How OpenPrivateFile opens a file.
enum class PrivateFileMode {
    Read,    // read only; the file must exist
    Rewrite, // write only, created when missing, then emptied
    Keep,    // read only, created when missing, content kept
};
// Opens a file of the user without following a link at the end of the path. A file that is not
// a regular file owned by the user with a single link is refused (and logged as a file of what).
// Returns a descriptor for QFile::open(int, ...), or -1 with the reason in Platform::LastError().
int OpenPrivateFile(const QString& path, PrivateFileMode mode, const char* what = "file");
// Closes a descriptor from OpenPrivateFile that was not handed to a QFile.
void ClosePrivateFile(int descriptor);
