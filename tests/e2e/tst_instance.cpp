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
    void secondUpdaterIsRefused();
    void foregroundRunStopsBackgroundDownload();
    void unusablePidFile_data();
    void unusablePidFile();
    void pidFileThatCannotBeWritten();

private:
    RunResult run(const QStringList& arguments);
    QStringList heldDownload() const;
    bool waitUntilHeld() const;
    QString pidFile() const;
    QScopedPointer<Sandbox> m_sandbox;
    QScopedPointer<FaultServer> m_server;
    QByteArray m_file;
};

void TestInstance::init()
{
    m_sandbox.reset(new Sandbox);
    // The server sends the start of held.upd and then waits until the test puts "go" beside it.
    m_server.reset(new FaultServer);
    m_file = QByteArray(3000000, 'h');
    QVERIFY(m_server->put("held.upd", m_file) && m_server->put("free.upd", "free"));
    QVERIFY(m_server->setScript(QJsonArray{QJsonObject{{"path", "/held.upd"}, {"method", "GET"}, {"file", "held.upd"},
                                                       {"stall_at", 100000}, {"until", "go"}, {"stall", 60}}}));
    QVERIFY2(m_server->start(), m_server->log().constData());
    QVERIFY(WriteFile(m_sandbox->path("held.xml"), DescriptionXml({"held:0:0:0:2930"}, m_server->url("/"))));
}

RunResult TestInstance::run(const QStringList& arguments)
{
    RunOptions options;
    options.environment = m_sandbox->environment();
    return Run(arguments, options);
}

QStringList TestInstance::heldDownload() const
{
    return {"download", "-u", "lum", "-d", m_sandbox->path("held.xml"), "-p", m_sandbox->downloads()};
}

bool TestInstance::waitUntilHeld() const
{
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        const QList<Request> requests = m_server->requests();
        if (!requests.isEmpty() && requests.last().method == "GET")
            return true;
        QThread::msleep(20);
    }
    return false;
}

QString TestInstance::pidFile() const
{
    return QStringLiteral("%1/kvr_updater-%2/.kvr_updater_background_download.pid")
        .arg(m_sandbox->tempDir())
        .arg(::geteuid());
}

void TestInstance::secondUpdaterIsRefused()
{
    RunOptions options;
    options.environment = m_sandbox->environment();
    Running first(heldDownload(), options);
    QVERIFY(waitUntilHeld());
    const QString description = DataPath("updater/updates.xml");

    const RunResult second = run({"check", "-u", "lum", "-d", description});
    QCOMPARE(second.exitCode, 12);
    QCOMPARE(second.out, QByteArray());
    QCOMPARE(second.err, QByteArray());
    QCOMPARE(LogLinesOf(second).filter("Updater process is running already.").size(), 1);

    const RunResult fork = run({"check", "-u", "lum", "-d", description, "--fork-of-updater"});
    QCOMPARE(fork.exitCode, 0);
    QVERIFY(fork.out.startsWith("UUID"));

    // A background run needs the lock too; beside the running one it works (up to its folder check,
    // as a background run would retry a failing transfer for minutes), and its record goes when it ends.
    QCOMPARE(run({"download", "-u", "lum", "-d", description, "-bd"}).exitCode, 12);
    QVERIFY(!QFile::exists(pidFile()));
    QCOMPARE(run({"download", "-u", "lum", "-d", description, "-bd", "-fu", "-p", description}).exitCode, 29);
    QVERIFY(!QFile::exists(pidFile()));

    // Copying one file takes no part in single-instance control.
    QVERIFY(QDir().mkpath(m_sandbox->path("other")));
    const RunResult file = run({"download", "-u", "file", "-f", m_server->url("/free.upd"), "-p", m_sandbox->path("other")});
    QCOMPARE(file.exitCode, 0);
    QCOMPARE(ReadFile(m_sandbox->path("other/free.upd")), QByteArray("free"));

    QVERIFY(m_server->put("go", QByteArray()));
    const RunResult held = first.finish();
    QCOMPARE(held.exitCode, 0);
    QCOMPARE(ReadFile(m_sandbox->downloads() + "/held.upd"), m_file);

    // The lock went with the first process.
    QCOMPARE(run({"check", "-u", "lum", "-d", description}).exitCode, 0);
}

void TestInstance::foregroundRunStopsBackgroundDownload()
{
    RunOptions options;
    options.environment = m_sandbox->environment();
    Running background(heldDownload() << "-bd", options);
    QVERIFY(waitUntilHeld());
    QCOMPARE(ReadFile(pidFile()), QByteArray::number(background.pid()));

    const RunResult foreground = run({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")});
    QCOMPARE(foreground.exitCode, 0);
    QVERIFY(foreground.out.startsWith("UUID"));
    QCOMPARE(background.finish(10000).exitCode, -1); // killed
    QVERIFY(!QFile::exists(pidFile()));
    QCOMPARE(LogLinesOf(foreground).filter(QString("Kill( %1 )").arg(background.pid())).size(), 1);
}

void TestInstance::unusablePidFile_data()
{
    QTest::addColumn<QByteArray>("content"); // "@DEAD@" stands for the id of an ended process
    QTest::addColumn<QString>("logged");
    QTest::newRow("dead process") << QByteArray("@DEAD@") << "Can not open process @DEAD@. Error = 3";
    QTest::newRow("empty file") << QByteArray() << "@FILE@ file is empty!";
    QTest::newRow("another program") << QByteArray("1") << "Can not open process 1. Error = ";
}

void TestInstance::unusablePidFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, logged);
    QProcess ended;
    ended.start("true", QStringList());
    QVERIFY(ended.waitForFinished());
    const QByteArray dead = QByteArray::number(ended.processId());

    // A first run creates the private temporary folder that holds the record.
    QCOMPARE(run({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")}).exitCode, 0);
    content.replace("@DEAD@", dead);
    QVERIFY(WriteFile(pidFile(), content));
    const RunResult foreground = run({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")});
    QCOMPARE(foreground.exitCode, 15);
    QCOMPARE(foreground.out, QByteArray());
    QCOMPARE(ReadFile(pidFile()), content); // the record stays
    logged.replace("@DEAD@", QString::fromLatin1(dead)).replace("@FILE@", pidFile());
    QCOMPARE(LogLinesOf(foreground).filter(logged).size(), 1);
}

void TestInstance::pidFileThatCannotBeWritten()
{
    QCOMPARE(run({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")}).exitCode, 0);
    QVERIFY(QDir().mkpath(pidFile())); // a folder where the record goes
    const RunResult background = run({"download", "-u", "lum", "-d", DataPath("updater/updates.xml"), "-bd"});
    QCOMPARE(background.exitCode, 14);
    QCOMPARE(LogLinesOf(background).filter("Can not open " + pidFile()).size(), 1);
}

QTEST_GUILESS_MAIN(TestInstance)
#include "tst_instance.moc"
