// The background-download pid file, stopping the recorded process, the private temporary
// folder and the administrator test.
#include "kvrtest.h"

#include "../helpers/lockholder.h"
#include "platform/process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace KvrTest;

class TestProcessControl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void userTempFolder_data();
    void userTempFolder();
    void pidFilePath();
    void writePidFile_data();
    void writePidFile();
    void writePidFileRefused_data();
    void writePidFileRefused();
    void stopRefused_data();
    void stopRefused();
    void stopProcessOfThisProgram();
    void stopBackgroundDownloaderAndTakeOver();
    void administrator();

private:
    QString Folder() const { return m_tmp + QStringLiteral("/kvr_updater-%1").arg(geteuid()); }
    QString PidFile() const { return Folder() + QStringLiteral("/.kvr_updater_background_download.pid"); }
    QStringList NewLogTexts();

    Sandbox m_sandbox;
    QString m_tmp;
    int m_case = 0;
    int m_logSeen = 0;
};

void TestProcessControl::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_sandbox.stateDir()));
    LogControl::SetFolder(QFile::encodeName(m_sandbox.stateDir()));
    QVERIFY(QFile::exists(HelperPath("lockholder")));
}

void TestProcessControl::init()
{
    // A temporary folder and a runtime folder per case.
    m_tmp = m_sandbox.path(QStringLiteral("tmp%1").arg(++m_case));
    const QString runtime = m_sandbox.path(QStringLiteral("runtime%1").arg(m_case));
    QVERIFY(QDir().mkpath(m_tmp));
    QVERIFY(QDir().mkpath(runtime));
    QVERIFY(QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    NewLogTexts();
}

QStringList TestProcessControl::NewLogTexts()
{
    const QStringList lines =
        LogLinesOf(m_sandbox.stateDir() + QStringLiteral("/corvantis-lum.log"), QCoreApplication::applicationPid());
    QStringList texts;
    for (int i = m_logSeen; i < lines.size(); ++i)
        texts << LogText(lines.at(i));
    m_logSeen = lines.size();
    return texts;
}

void TestProcessControl::userTempFolder_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<bool>("usable");
    QTest::newRow("created") << "" << true;
    QTest::newRow("private folder") << "private" << true;
    QTest::newRow("open to others") << "others" << false;
    QTest::newRow("symbolic link") << "symlink" << false;
    QTest::newRow("plain file") << "file" << false;
    QTest::newRow("folder of another user") << "foreign" << false;
}

void TestProcessControl::userTempFolder()
{
    QFETCH(QString, existing);
    QFETCH(bool, usable);
    const QByteArray folder = QFile::encodeName(Folder());
    if (existing == "private" || existing == "others" || existing == "foreign") {
        QCOMPARE(mkdir(folder.constData(), 0700), 0);
        QCOMPARE(chmod(folder.constData(), existing == "others" ? 0701 : 0700), 0);
        if (existing == "foreign") {
            if (!IsRoot())
                QSKIP("needs root to plant a folder of another user");
            QCOMPARE(chown(folder.constData(), 65534, 65534), 0);
        }
    } else if (existing == "symlink") {
        const QString real = m_tmp + QStringLiteral("/real");
        QVERIFY(QDir().mkpath(real));
        QVERIFY(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::link(real, Folder()));
    } else if (existing == "file") {
        QVERIFY(WriteFile(Folder(), "x"));
    }
    const mode_t previous = umask(0077);
    const QString result = UserTempFolder();
    umask(previous);
    if (!usable) {
        QCOMPARE(result, QString());
        const QStringList texts = NewLogTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.at(0).startsWith("The temporary folder " + Folder()), qPrintable(texts.at(0)));
        return;
    }
    QCOMPARE(result, Folder());
    struct stat info {};
    QCOMPARE(lstat(folder.constData(), &info), 0);
    QVERIFY(S_ISDIR(info.st_mode));
    QCOMPARE(info.st_mode & 0777, mode_t(0700));
    QCOMPARE(info.st_uid, geteuid());
    QCOMPARE(NewLogTexts(), QStringList());
}

void TestProcessControl::pidFilePath()
{
    QCOMPARE(PidFilePath(), PidFile());
    // A folder that cannot be used gives no path at all, rather than one in an unsafe place.
    QCOMPARE(chmod(QFile::encodeName(Folder()).constData(), 0755), 0);
    QCOMPARE(PidFilePath(), QString());
}

void TestProcessControl::writePidFile_data()
{
    QTest::addColumn<QByteArray>("previous");
    QTest::newRow("new file") << QByteArray();
    QTest::newRow("longer old content") << QByteArray("12345678901234567890\n");
}

void TestProcessControl::writePidFile()
{
    QFETCH(QByteArray, previous);
    const QString path = PidFilePath();
    QVERIFY(!path.isEmpty());
    if (!previous.isEmpty())
        QVERIFY(WriteFile(path, previous));
    QVERIFY(WritePidFile(path));
    QCOMPARE(ReadFile(path), QByteArray::number(QCoreApplication::applicationPid()));
    QCOMPARE(NewLogTexts(), QStringList());
}

void TestProcessControl::writePidFileRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("symbolic link") << "symlink";
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("file of another user") << "foreign";
    QTest::newRow("no path") << "empty";
}

void TestProcessControl::writePidFileRefused()
{
    QFETCH(QString, kind);
    QString path = PidFilePath();
    QVERIFY(!path.isEmpty());
    const QString target = m_tmp + QStringLiteral("/target");
    QVERIFY(WriteFile(target, "keep"));
    if (kind == "symlink") {
        QVERIFY(QFile::link(target, path));
    } else if (kind == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == "foreign") {
        if (!IsRoot())
            QSKIP("needs root to plant a file of another user");
        QVERIFY(WriteFile(path, "keep"));
        QCOMPARE(chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    } else {
        path.clear();
    }
    QVERIFY(!WritePidFile(path));
    QVERIFY(NewLogTexts().contains("Can not open " + path));
    QCOMPARE(ReadFile(target), QByteArray("keep"));
    if (kind == "foreign")
        QCOMPARE(ReadFile(path), QByteArray("keep"));
}

void TestProcessControl::stopRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("no pid file") << "missing" << "Can not open file %1";
    QTest::newRow("empty pid file") << "empty" << "%1 file is empty!";
    QTest::newRow("symbolic link") << "symlink" << "Can not open file %1";
    QTest::newRow("file of another user") << "foreign" << "Can not open file %1";
    QTest::newRow("no number") << "text" << "Can not open process 0. Error = 3";
    QTest::newRow("negative number") << "negative" << "Can not open process -1. Error = 3";
    QTest::newRow("ended process") << "ended" << "Can not open process %2. Error = 3";
    QTest::newRow("the caller itself") << "self" << "Can not open process %2. Error = 1";
    QTest::newRow("process of another program") << "other" << "Can not open process %2. Error = 1";
    QTest::newRow("process of another user") << "foreign-process" << "Can not open process %2. Error = 1";
}

void TestProcessControl::stopRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    const QString path = PidFilePath();
    QVERIFY(!path.isEmpty());
    QByteArray content;
    qint64 pid = 0;
    LockHolderProcess other;
    if (kind == "ended") {
        const pid_t child = fork();
        if (child == 0)
            _exit(0);
        QVERIFY(child > 0);
        QCOMPARE(waitpid(child, nullptr, 0), child);
        pid = child;
    } else if (kind == "self") {
        pid = QCoreApplication::applicationPid();
    } else if (kind == "other") {
        QCOMPARE(other.Start(HelperPath("lockholder"), {"hold"}), QStringLiteral("held"));
        pid = other.Pid();
    } else if (kind == "foreign-process") {
        // The same program, run by another user.
        if (!IsRoot())
            QSKIP("needs root to run a process as another user");
        QCOMPARE(other.Start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                         QCoreApplication::applicationFilePath(), "--holder", "admin-wait"}),
                 QStringLiteral("ready"));
        pid = other.Pid();
    } else if (kind == "text") {
        content = "twelve";
    } else if (kind == "negative") {
        content = "-1";
    }
    if (pid != 0)
        content = QByteArray::number(pid);

    if (kind == "symlink") {
        const QString target = m_tmp + QStringLiteral("/target");
        QVERIFY(WriteFile(target, QByteArray::number(QCoreApplication::applicationPid())));
        QVERIFY(QFile::link(target, path));
    } else if (kind == "foreign") {
        if (!IsRoot())
            QSKIP("needs root to plant a file of another user");
        QVERIFY(WriteFile(path, "1"));
        QCOMPARE(chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    } else if (kind != "missing") {
        QVERIFY(WriteFile(path, content));
    }

    QVERIFY(!StopBackgroundDownload(path));
    const QStringList texts = NewLogTexts();
    message.replace("%1", path).replace("%2", QString::number(pid));
    QVERIFY2(texts.contains(message), qPrintable(texts.join('\n')));
    QVERIFY(!texts.contains(QStringLiteral("Can not delete %1").arg(path)));
    // Nothing was stopped and the record stays for a later look.
    QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), kind != "missing");
    if (other.Process().state() == QProcess::Running)
        QVERIFY(other.Stop());
}

void TestProcessControl::stopProcessOfThisProgram()
{
    // A forked child runs the same executable as the test, as a background downloader would.
    const pid_t child = fork();
    if (child == 0) {
        for (;;)
            pause();
    }
    QVERIFY(child > 0);
    const QString path = PidFilePath();
    QVERIFY(WriteFile(path, QByteArray::number(child)));
    const bool stopped = StopBackgroundDownload(path);
    // The stop returns only once the child has ended (here: a zombie not yet collected).
    siginfo_t info {};
    const bool ended = waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0
                       && info.si_pid == child;
    int status = 0;
    if (!stopped)
        kill(child, SIGKILL);
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(stopped);
    QVERIFY(ended);
    QVERIFY(WIFSIGNALED(status));
    QCOMPARE(WTERMSIG(status), SIGKILL);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(NewLogTexts(), QStringList{QStringLiteral("Kill( %1 )").arg(child)});
}

void TestProcessControl::stopBackgroundDownloaderAndTakeOver()
{
    // This test binary stands in for a background download: it holds the lock and records its id.
    const QString path = PidFilePath();
    LockHolderProcess downloader;
    QCOMPARE(downloader.Start(QCoreApplication::applicationFilePath(), {"--holder", "hold", path}),
             QStringLiteral("held"));
    const qint64 pid = downloader.Pid();
    QCOMPARE(ReadFile(path), QByteArray::number(pid));
    {
        CInstanceLock busy;
        busy.Acquire(false);
        QVERIFY(busy.IsHeldByOther());
    }
    QVERIFY(StopBackgroundDownload(path));
    QVERIFY(!QFile::exists(path));
    QVERIFY(downloader.Process().waitForFinished(30000));
    QCOMPARE(downloader.Process().exitStatus(), QProcess::CrashExit);

    CInstanceLock lock;
    lock.Acquire(true);
    QVERIFY(!lock.IsHeldByOther());
    // The lock is really ours now: a further updater finds it taken.
    LockHolderProcess next;
    QCOMPARE(next.Start(HelperPath("lockholder"), {"hold"}), QStringLiteral("other"));
    QCOMPARE(NewLogTexts(), (QStringList{QStringLiteral("A process kvr_updater is launched."),
                                         QStringLiteral("Kill( %1 )").arg(pid)}));
}

void TestProcessControl::administrator()
{
    QCOMPARE(IsUserAdministrator(), IsRoot());
    if (!IsRoot())
        QSKIP("needs root to run the check as another user");
    m_sandbox.giveToNobody();
    RunOptions options;
    options.asNobody = true;
    options.environment = m_sandbox.environment();
    const RunResult run = Run(HelperPath("lockholder"), {"admin"}, options);
    QVERIFY(run.finished);
    QCOMPARE(run.out, QByteArray("user\n"));
    const RunResult folder = Run(HelperPath("lockholder"), {"tempfolder"}, options);
    QCOMPARE(folder.out, QFile::encodeName(m_sandbox.tempDir() + "/kvr_updater-65534\n"));
}

// Started with "--holder <mode> ..." the binary acts as the lock holder, so that the process
// belongs to the same program as the test.
int main(int argc, char** argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--holder") == 0) {
        if (qstrcmp(argv[2], "admin-wait") == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
            while (std::getchar() != EOF) {
            }
            return 0;
        }
        return RunLockHolder(argc - 1, argv + 1);
    }
    QCoreApplication app(argc, argv);
    TestProcessControl test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_processcontrol.moc"
