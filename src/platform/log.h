// The process-wide diagnostic log: one append-only file shared by threads and processes.
#pragma once

#include <QtGlobal>
#include <QString>

// Component of the program's own lines.
constexpr char kProgramComponent[] = "kvr_up2date_ctl";

// Threshold: a line of level N >= 1 is written only when LogLevel >= N; level 0 always.
extern int LogLevel;

// Writes one line "MM-DD hh:mm:ss.mmm <mark>/<component>:<pid>:<tid>/ <message>\n".
// Usable from any thread; the caller's last system error is the same after the call as before it.
void LogMessage(const char* component, int level, const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(3, 4);

// Qt message handler that relays Qt's warnings and errors into the log.
void QtMessageRelay(QtMsgType type, const QMessageLogContext& context, const QString& message);

// Qualified function name ("CUpdater::DownloadFile") taken from a compiler function signature.
QByteArray QualifiedFunctionName(const char* prettyFunction);

// A failed consistency check is logged at level 0 and the program goes on.
#define KVR_ASSERT(component, expression)                                                         \
    do {                                                                                         \
        if (!(expression))                                                                       \
            LogMessage(component, 0, "ASSERT( %s ) occured in %s:%d [%s]", #expression, __FILE__, \
                       __LINE__, QualifiedFunctionName(Q_FUNC_INFO).constData());                 \
    } while (0)

namespace LogControl {
// The folder of the log file (UTF-8); an empty folder restores the default choice on the next line.
void SetFolder(const QByteArray& folder);
// Full path of the log file in use, empty before the first line.
QByteArray CurrentPath();
// The name of the log file inside its folder.
const char* FileName();
}
