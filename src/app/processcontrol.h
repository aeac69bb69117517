// The record of a background download (pid file) and the administrator test.
#pragma once

#include <QString>

// "<user temporary folder>/.kvr_updater_background_download.pid"
QString PidFilePath();
// Writes the current process id into the file (created or truncated).
bool WritePidFile(const QString& path);
// Terminates the background downloader named in the file and deletes the file.
bool StopBackgroundDownload(const QString& path);
// True when the process has administrator rights.
bool IsUserAdministrator();
