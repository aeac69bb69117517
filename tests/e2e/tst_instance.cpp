// One updater at a time: the instance lock and the record of a background download, seen from outside,
// with a real transfer in flight.
#include "documents.h"
#include "kvrtest.h"
#include "servers.h"

#include <QtTest>

#include <unistd.h>

using namespace KvrTest;

class TestInstance : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void secondUpdaterIsRefused();
    void foregroundRunStopsBackgroundDownload();
    void unusablePidFile_data();
    void unusablePidFile();

private:
    bool isHeld() const; // the held download has started
    QString loggedPidFile() const;
    QString pidFile() const { return HostPath(loggedPidFile()); }
    QScopedPointer<Sandbox> m_sandbox;
    RunOptions m_options; // runs in the sandbox
    QStringList m_held;   // a download of held.upd
    QScopedPointer<FaultServer> m_server;
    QByteArray m_file;
};

void TestInstance::init()
{
    m_sandbox.reset(new Sandbox);
    m_options.environment = m_sandbox->environment();
    // The server sends the start of held.upd and then waits until the test puts "go" beside it.
    m_server.reset(new FaultServer);
    m_file = QByteArray(3000000, 'h');
    QVERIFY(m_server->put("held.upd", m_file) && m_server->put("free.upd", "free"));
    QVERIFY(m_server->setScript(QJsonArray{QJsonObject{{"path", "/held.upd"}, {"method", "GET"}, {"file", "held.upd"},
                                                       {"stall_at", 100000}, {"until", "go"}, {"stall", 60}}}));
    QVERIFY2(m_server->start(), m_server->log().constData());
    QVERIFY(WriteFile(m_sandbox->path("held.xml"), DescriptionXml({"held:0:0:0:2930"}, m_server->url("/"))));
    m_held = QStringList{"download", "-u", "lum", "-d", m_sandbox->path("held.xml"), "-p", m_sandbox->downloads()};
}

bool TestInstance::isHeld() const
{
    const QList<Request> requests = m_server->requests();
    return !requests.isEmpty() && requests.last().method == "GET";
}

// The Windows program keeps its record in the wine prefix, which outlives the sandbox: each case
// removes what it left there.
void TestInstance::cleanup()
{
    if (WindowsProgram() && !QFile::remove(pidFile()))
        QDir(pidFile()).removeRecursively();
}

// The record's path as the program names it in its log.
QString TestInstance::loggedPidFile() const
{
    if (WindowsProgram())
        return WindowsTempFolder() + "/.kvr_updater_background_download.pid";
    return QStringLiteral("%1/kvr_updater-%2/.kvr_updater_background_download.pid")
        .arg(m_sandbox->tempDir())
        .arg(::geteuid());
}

void TestInstance::secondUpdaterIsRefused()
{
    Running first(m_held, m_options);
    QTRY_VERIFY_WITH_TIMEOUT(isHeld(), 30000);
    const QString description = DataPath("updater/updates.xml");

    const RunResult second = Run({"check", "-u", "lum", "-d", description}, m_options);
    QCOMPARE(second.exitCode, 12);
    QCOMPARE(second.out, QByteArray());
    QCOMPARE(second.err, QByteArray());
    QCOMPARE(LogLinesOf(second).filter("Updater process is running already.").size(), 1);

    const RunResult fork = Run({"check", "-u", "lum", "-d", description, "--fork-of-updater"}, m_options);
    QCOMPARE(fork.exitCode, 0);
    QVERIFY(fork.out.startsWith("UUID"));

    // A background run needs the lock too; beside the running one it works (up to its folder check,
    // as a background run would retry a failing transfer for minutes), and its record goes when it ends.
    QCOMPARE(Run({"download", "-u", "lum", "-d", description, "-bd"}, m_options).exitCode, 12);
    QVERIFY(!QFile::exists(pidFile()));
    QCOMPARE(Run({"download", "-u", "lum", "-d", description, "-bd", "-fu", "-p", description}, m_options).exitCode, 29);
    QVERIFY(!QFile::exists(pidFile()));

    // Copying one file takes no part in single-instance control.
    QVERIFY(QDir().mkpath(m_sandbox->path("other")));
    const RunResult file
        = Run({"download", "-u", "file", "-f", m_server->url("/free.upd"), "-p", m_sandbox->path("other")}, m_options);
    QCOMPARE(file.exitCode, 0);
    QCOMPARE(ReadFile(m_sandbox->path("other/free.upd")), QByteArray("free"));

    QVERIFY(m_server->put("go", QByteArray()));
    const RunResult held = first.finish();
    QCOMPARE(held.exitCode, 0);
    QCOMPARE(ReadFile(m_sandbox->downloads() + "/held.upd"), m_file);

    // The lock went with the first process.
    QCOMPARE(Run({"check", "-u", "lum", "-d", description}, m_options).exitCode, 0);
}

void TestInstance::foregroundRunStopsBackgroundDownload()
{
    Running background(m_held + QStringList{"-bd"}, m_options);
    QTRY_VERIFY_WITH_TIMEOUT(isHeld(), 30000);
    QCOMPARE(ReadFile(pidFile()), QByteArray::number(background.programId()));

    const RunResult foreground = Run({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")}, m_options);
    QCOMPARE(foreground.exitCode, 0);
    QVERIFY(foreground.out.startsWith("UUID"));
    // Killed: by a signal, or on Windows by TerminateProcess with the code 0, long before the server's stall ends.
    QCOMPARE(background.finish(10000).exitCode, WindowsProgram() ? 0 : -1);
    QVERIFY(!QFile::exists(pidFile()));
    QCOMPARE(LogLinesOf(foreground).filter(QString("Kill( %1 )").arg(background.programId())).size(), 1);
}

void TestInstance::unusablePidFile_data()
{
    AddRows("instance/pidfiles.json");
}

// The record of a background download as an earlier run left it: "content" ("@DEAD@" for the id of an
// ended process), or a folder in its place. The run logs what it could not use ("@FILE@" is the
// record's path, "%none" the system's error for no such process), and a record with content stays as it was.
void TestInstance::unusablePidFile()
{
    QFETCH(QJsonObject, row);
    if (WindowsProgram() && row.contains("windows_skip"))
        QSKIP(qPrintable(row["windows_skip"].toString()));
    const bool hasContent = row.contains("content");
    // A first run creates the private temporary folder that holds the record; then it is an ended process.
    const RunResult first = Run({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")}, m_options);
    QCOMPARE(first.exitCode, 0);
    const QByteArray dead = QByteArray::number(ProgramId(first));
    QVERIFY(dead != "0");
    const QByteArray content = row["content"].toString().toUtf8().replace("@DEAD@", dead);
    QVERIFY(hasContent ? WriteFile(pidFile(), content) : QDir().mkpath(pidFile()));
    const QStringList arguments = Words(row["args"]).replaceInStrings("@DATA@", DataPath(QString()).chopped(1));
    const RunResult second = Run(arguments, m_options);
    QCOMPARE(second.exitCode, row["exit"].toInt());
    QCOMPARE(second.out, QByteArray());
    if (hasContent)
        QCOMPARE(ReadFile(pidFile()), content);
    QString logged = row["log"].toString().replace("@DEAD@", QString::fromLatin1(dead));
    logged.replace("@FILE@", loggedPidFile()).replace("%none", WindowsProgram() ? "87" : "3");
    QCOMPARE(LogLinesOf(second).filter(logged).size(), 1);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
