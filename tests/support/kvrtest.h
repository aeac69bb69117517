// Helpers shared by the test suites: isolated folders, running the program, reading the log.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonValue>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include "platformtest.h"

#include <functional>
#include <vector>

namespace KvrTest {

// Path of the built program, of a file under tests/data, and of a helper program.
QString ProgramPath();
// True when the end-to-end suites run the Windows program under wine: scripts/test-windows names
// it in KVR_WINDOWS_PROGRAM, and runs of a .exe go through scripts/wine-run.
bool WindowsProgram();
// A host path as the Windows program sees it under wine (on drive Z:), and the program's text as
// the host sees it: lines end with a line feed alone, and the host's root is no drive.
QString WindowsPath(const QString& path);
QByteArray FromWindows(QByteArray text);
// Where the host finds a path that the Windows program names on a drive of the wine prefix
// ("C:/users/..."); a host path stays as it is. And the Windows user's temporary folder, as the program names it.
QString HostPath(const QString& windowsPath);
QString WindowsTempFolder();
// Why a run of the program cannot take lang (a LANG value) as its interface language here: wine
// takes it from the C library's locale, which scripts/test-windows generates into LOCPATH. Empty when it can.
QString NoUiLanguageFor(const QString& lang);
QString DataPath(const QString& name);
QString HelperPath(const QString& name);
// Install locations whose Resources folder holds compiled catalogues: the product's, built into
// <build>/Resources, and the one of the German test catalogue.
QString ProductInstallLocation();
QString TestInstallLocation();

// Words as main receives them, after the program name.
class Argv
{
public:
    explicit Argv(const QStringList& words);
    int argc() const { return int(m_pointers.size()) - 1; }
    char** argv() { return m_pointers.data(); }

private:
    std::vector<QByteArray> m_storage;
    std::vector<char*> m_pointers;
};

// A private set of folders for one run of the program: home, per-user configuration, per-user
// state (the log fallback), temporary folder and the machine-wide configuration folder.
class Sandbox
{
public:
    Sandbox();
    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString& relative = QString()) const;
    QString home() const { return path("home"); }
    QString configDir() const { return path("config"); } // CORVANTIS_CONFIG_DIR
    QString tempDir() const { return path("tmp"); }
    QString stateDir() const { return path("state"); }
    QString downloads() const { return path("home/Downloads"); }
    // Environment for the program: every per-user location points into the sandbox.
    QProcessEnvironment environment() const;
    // Hands the sandbox to the nobody account, so that a run as nobody can use it.
    void giveToNobody() const;
    // Names the product's install location in the sandbox's machine-wide settings, so that the
    // program takes its translations from location/Resources.
    bool setInstallLocation(const QString& location) const;

private:
    QTemporaryDir m_dir;
};

// Where a log file ended before a run: its identity and size, so that only what the run
// appended is read back.
struct LogPosition {
    QString path;
    quint64 inode = 0;
    qint64 size = 0;
};
using LogPositions = QVector<LogPosition>;

struct RunResult {
    int exitCode = -1;
    bool finished = false;
    qint64 pid = 0;
    QByteArray out;
    QByteArray err;
    LogPositions logStart; // the shared log and the per-user fallback, before the run
    bool windows = false;  // a run of the Windows program, whose log lines carry its Windows process id
};

struct RunOptions {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    bool asNobody = false;
    int timeoutMs = 60000;
    QByteArray input;
};

// The id the program of a run knows itself by: the host's, or under wine the Windows process id
// of its first log line; 0 when it logged nothing.
qint64 ProgramId(const RunResult& run);

// Runs the program with the arguments and waits for it to end.
RunResult Run(const QStringList& arguments, const RunOptions& options = RunOptions());
RunResult Run(const QString& program, const QStringList& arguments, const RunOptions& options);

// A run that goes on while the test acts on it; a run still going at destruction is killed.
class Running
{
public:
    explicit Running(const QStringList& arguments, const RunOptions& options = RunOptions());
    Running(const QString& program, const QStringList& arguments, const RunOptions& options);
    ~Running();
    qint64 pid() const { return m_result.pid; }
    // The id the program knows itself by: under wine its Windows process id, from its first log line.
    qint64 programId() const { return ProgramId(m_result); }
    // Waits for the end (killing the run after timeoutMs); a run killed by a signal has exit code -1.
    RunResult finish(int timeoutMs = 60000);

private:
    QProcess m_process;
    RunResult m_result;
};

// The log lines that the process with this id wrote to the log file at logPath.
QStringList LogLinesOf(const QString& logPath, qint64 pid);
// The ends of the shared log and of the per-user fallback that a run in this environment writes to.
// The shared log is first moved aside to "<log>.1" once it passes 8 MiB, so that test runs do not
// fill the machine's log; a later read follows the move.
LogPositions LogStart(const QProcessEnvironment& environment);
// The log lines that the process with this id (any process: 0) appended after the positions.
QStringList LogLinesSince(const LogPositions& start, qint64 pid);
// The log lines of a finished run.
QStringList LogLinesOf(const RunResult& run);
// The message part of a log line (after "/component:pid:tid/ "), and its level mark.
QString LogText(const QString& line);
QString LogMark(const QString& line);

// The messages of a Qt .ts catalogue, by context and source text joined by a line feed; a translation
// that is not finished (marked unfinished, vanished or obsolete) reads as empty.
QMap<QString, QString> ReadCatalogue(const QString& path);

// The cases of a table under tests/data: a JSON array of objects.
QJsonArray Cases(const QString& name);
// One QTest row per case of such a table, in a column "row" of QJsonObject, named by its "name";
// with keep, only the cases it accepts.
void AddRows(const QString& table, const std::function<bool(const QJsonObject&)>& keep = nullptr);

// The log of this process, directed by start() into a temporary folder at level 3.
class OwnLog
{
public:
    void start();
    // All the lines this process wrote, and those written since the last call to newLines().
    QStringList lines() const;
    QStringList newLines();

private:
    QTemporaryDir m_dir;
    int m_nSeen = 0;
};
// A JSON array of strings as a word list.
QStringList Words(const QJsonValue& value);
// The system's proxy for a URL as the program's proxy factory chooses it: "host:port" of an HTTP
// proxy, or empty for a direct connection.
QString ChosenSystemProxy(const QString& url);

QByteArray ReadFile(const QString& path);
bool WriteFile(const QString& path, const QByteArray& content);

} // namespace KvrTest
