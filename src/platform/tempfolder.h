// The user's private temporary folder and the files the program keeps in it.
#pragma once

#include <QString>

// QDir::tempPath() + "/kvr_updater-<user id>", created when missing. Empty (and logged) when it
// cannot be used safely: it must be a real folder, not a link, owned by the user and closed to
// everybody else. The overload also gives the system error of a refusal.
QString UserTempFolder();
QString UserTempFolder(int& error);

// Opens a file of the user for reading, or for writing (created when missing, then emptied),
// without following a link at the end of the path. A file that is not a regular file owned by
// the user is refused. Returns a descriptor for QFile::open(int, ...), or -1 with the error.
int OpenPrivateFile(const QString& path, bool forWriting, int& error);
// Closes a descriptor from OpenPrivateFile that was not handed to a QFile.
void ClosePrivateFile(int descriptor);
