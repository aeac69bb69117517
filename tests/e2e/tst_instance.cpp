// One updater at a time: the instance lock and the record of a background download, seen from outside.
#include "kvrtest.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace KvrTest;

namespace {

// A run of the program that stays inside its event loop: it reads its updates description
// from a FIFO, which blocks until the test writes the description.
class BlockedRun
{
public:
    BlockedRun(const Sandbox& sandbox, const QStringList& arguments)
        : m_fifo(sandbox.path("description.fifo"))
    {
        ::unlink(QFile::encodeName(m_fifo).constData());
        if (::mkfifo(QFile::encodeName(m_fifo).constData(), 0600) != 0)
            return;
        m_process.setProcessEnvironment(sandbox.environment());
        QStringList words = arguments;
        words.replaceInStrings("@FIFO@", m_fifo);
        m_process.start(ProgramPath(), words);
    }
    ~BlockedRun()
    {
        if (m_writer >= 0)
            ::close(m_writer);
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Waits until the program is opening the FIFO, i.e. has passed start-up and holds the lock.
    bool waitUntilBlocked()
    {
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            m_writer = ::open(QFile::encodeName(m_fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (m_writer >= 0)
                return true;
            QThread::msleep(20);
        }
        return false;
    }
    // Hands the program its description and waits for it to end.
    int finish(const QByteArray& description)
    {
        // The pipe holds the whole description, so the non-blocking write does not fall short.
        if (m_writer >= 0 && ::write(m_writer, description.constData(), size_t(description.size())) != description.size())
            return -2;
        ::close(m_writer);
        m_writer = -1;
        if (!m_process.waitForFinished(30000))
            return -3;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    QProcess& process() { return m_process; }

private:
    QString m_fifo;
    QProcess m_process;
    int m_writer = -1;
};

} // namespace

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
    QString pidFile() const;
    QScopedPointer<Sandbox> m_sandbox;
    QByteArray m_description;
};

void TestInstance::init()
{
    m_sandbox.reset(new Sandbox);
    m_description = ReadFile(DataPath("updater/updates.xml"));
    QVERIFY(!m_description.isEmpty());
}

RunResult TestInstance::run(const QStringList& arguments)
{
    RunOptions options;
    options.environment = m_sandbox->environment();
    return Run(arguments, options);
}

QString TestInstance::pidFile() const
{
    return QStringLiteral("%1/kvr_updater-%2/.kvr_updater_background_download.pid")
        .arg(m_sandbox->tempDir())
        .arg(::geteuid());
}

void TestInstance::secondUpdaterIsRefused()
{
    BlockedRun first(*m_sandbox, {"check", "-u", "lum", "-d", "@FIFO@"});
    QVERIFY(first.waitUntilBlocked());
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
    // as a background run would retry the refused transfer for minutes), and its record goes when it ends.
    QCOMPARE(run({"download", "-u", "lum", "-d", description, "-bd"}).exitCode, 12);
    QVERIFY(!QFile::exists(pidFile()));
    QCOMPARE(run({"download", "-u", "lum", "-d", description, "-bd", "-fu", "-p", description}).exitCode, 29);
    QVERIFY(!QFile::exists(pidFile()));

    // Copying one file takes no part in single-instance control (nothing listens on port 9).
    const RunResult file = run({"download", "-u", "file", "-f", "http://127.0.0.1:9/a.bin", "-p",
                                m_sandbox->downloads()});
    QCOMPARE(file.exitCode, 32);

    QCOMPARE(first.finish(m_description), 0);
    QVERIFY(first.process().readAllStandardOutput().startsWith("UUID"));

    // The lock went with the first process.
    QCOMPARE(run({"check", "-u", "lum", "-d", description}).exitCode, 0);
}

void TestInstance::foregroundRunStopsBackgroundDownload()
{
    BlockedRun background(*m_sandbox, {"download", "-u", "lum", "-d", "@FIFO@", "-bd"});
    QVERIFY(background.waitUntilBlocked());
    const qint64 pid = background.process().processId();
    QCOMPARE(ReadFile(pidFile()), QByteArray::number(pid));

    const RunResult foreground = run({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")});
    QCOMPARE(foreground.exitCode, 0);
    QVERIFY(foreground.out.startsWith("UUID"));
    QVERIFY(background.process().waitForFinished(10000));
    QCOMPARE(background.process().exitStatus(), QProcess::CrashExit); // killed
    QVERIFY(!QFile::exists(pidFile()));
    QCOMPARE(LogLinesOf(foreground).filter(QString("Kill( %1 )").arg(pid)).size(), 1);
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
