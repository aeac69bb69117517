// The instance lock, the background-download record, stopping the recorded process and the
// administrator test. Runs of the whole program are covered by e2e.tst_instance.
#include "kvrtest.h"

#include "app/instancelock.h"
#include "app/processcontrol.h"
#include "platform/log.h"
#include "platform/tempfolder.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace KvrTest;

namespace {

// A forked copy of this test, as a background downloader is a copy of the program: it runs
// setUp, reports the result and waits until it is killed (at the latest by the destructor).
struct Child {
    template <typename SetUp> explicit Child(SetUp setUp)
    {
        int fds[2] = {-1, -1};
        char answer = 0;
        if (pipe(fds) == 0 && (pid = fork()) == 0) {
            answer = setUp() ? '1' : '0';
            while (write(fds[1], &answer, 1) == 1) // reported: waits for the end
                pause();
            _exit(1);
        }
        close(fds[1]);
        ready = pid > 0 && read(fds[0], &answer, 1) == 1 && answer == '1';
        close(fds[0]);
    }
    ~Child()
    {
        if (pid > 0 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
    }
    pid_t pid = -1;
    bool ready = false;
};

bool BecomeNobody()
{
    return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
}

// What the next updater finds: true when somebody holds the lock.
bool HeldByOther()
{
    CInstanceLock probe;
    probe.Acquire(false);
    return probe.IsHeldByOther();
}

} // namespace

class TestProcessControl : public QObject
{
    Q_OBJECT

    Sandbox m_sandbox;
    QString m_tmp, m_runtime;
    int m_case = 0, m_logSeen = 0;

    QString Folder() const { return m_tmp + QStringLiteral("/kvr_updater-%1").arg(geteuid()); }
    QString LockFile() const { return m_runtime + "/kvr_updater.lock"; }
    // Log texts this process has written since the previous call.
    QStringList NewLog()
    {
        const QStringList lines = LogLinesOf(m_sandbox.stateDir() + "/corvantis-lum.log", getpid());
        QStringList texts;
        for (; m_logSeen < lines.size(); ++m_logSeen)
            texts << LogText(lines[m_logSeen]);
        return texts;
    }

private slots:
    void initTestCase() { LogControl::SetFolder(QFile::encodeName(m_sandbox.stateDir())); }
    void init()
    {
        // A temporary and a runtime folder per case, so that no lock or record survives a case.
        m_tmp = m_sandbox.path(QStringLiteral("tmp%1").arg(++m_case));
        m_runtime = m_sandbox.path(QStringLiteral("runtime%1").arg(m_case));
        QVERIFY(QDir().mkpath(m_tmp) && QDir().mkpath(m_runtime) && chmod(QFile::encodeName(m_runtime), 0700) == 0);
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime));
        NewLog();
    }

    void lockIsHeldAndReleased()
    {
        auto first = std::make_unique<CInstanceLock>();
        first->Acquire(false);
        QVERIFY(!first->IsHeldByOther() && QFileInfo(LockFile()).isFile());
        for (bool afterStop : {false, true}) {
            CInstanceLock second; // another updater, even in the same process
            second.Acquire(afterStop);
            QCOMPARE(second.IsHeldByOther(), !afterStop); // after a stop the lock counts as free
        }
        QCOMPARE(NewLog(), QStringList{"A process kvr_updater is launched."});
        QVERIFY(HeldByOther()); // neither of them took the lock away
        first.reset();
        QVERIFY(!HeldByOther()); // released: the next updater takes it
    }

    void runtimeFolderOfAnotherUser()
    {
        // As under sudo: passed over for the private temporary folder.
        if (!IsRoot())
            QSKIP("needs root to hand a folder to another user");
        QCOMPARE(chown(QFile::encodeName(m_runtime).constData(), 65534, 65534), 0);
        QVERIFY(!HeldByOther() && !QFile::exists(LockFile()) && QFileInfo(Folder() + "/kvr_updater.lock").isFile());
        QCOMPARE(NewLog(), QStringList{"XDG_RUNTIME_DIR " + m_runtime + " is not a folder of the user"});
    }

    void plantedFiles_data()
    {
        QTest::addColumn<QString>("plant"); // shell command, $1: a file of ours, $2: where it goes
        QTest::addColumn<int>("error"); // of the lock
        QTest::newRow("symbolic link") << "ln -s \"$1\" \"$2\"" << ELOOP;
        QTest::newRow("dangling symbolic link") << "ln -s \"$1.missing\" \"$2\"" << ELOOP;
        QTest::newRow("fifo") << "mkfifo \"$2\"" << EINVAL;
        QTest::newRow("second hard link") << "ln \"$1\" \"$2\"" << EPERM;
        QTest::newRow("file of another user") << "printf keep >\"$2\" && chown 65534 \"$2\"" << EPERM;
    }

    void plantedFiles()
    {
        // Neither the lock file nor the pid file is used when somebody else could have put it there.
        QFETCH(QString, plant);
        QFETCH(int, error);
        if (plant.contains("chown") && !IsRoot())
            QSKIP("needs root to plant a file of another user");
        const QString target = m_tmp + "/target", pidFile = PidFilePath();
        QVERIFY(WriteFile(target, "keep"));
        for (const QString& path : {LockFile(), pidFile})
            QCOMPARE(QProcess::execute("sh", {"-c", plant, "sh", target, path}), 0);
        CInstanceLock lock;
        lock.Acquire(false); // runs without a lock
        QVERIFY(!lock.IsHeldByOther() && !WritePidFile(pidFile) && !StopBackgroundDownload(pidFile));
        const QStringList logged = NewLog();
        QVERIFY2(logged.contains(QStringLiteral("OpenSemaphore() failed. Err = %1").arg(error))
                     && logged.contains("Can not open " + pidFile) && logged.contains("Can not open file " + pidFile),
                 qPrintable(logged.join('\n')));
        QVERIFY(ReadFile(target) == "keep" && !QFile::exists(target + ".missing"));
        QVERIFY(!plant.contains("chown") || ReadFile(pidFile) == "keep");
    }

    void userTempFolder_data()
    {
        QTest::addColumn<QString>("plant"); // shell command, $1: the temporary folder, $2: the private one
        QTest::addColumn<bool>("usable");
        QTest::newRow("created") << "" << true;
        QTest::newRow("private folder") << "mkdir -m 700 \"$2\"" << true;
        QTest::newRow("open to others") << "mkdir -m 701 \"$2\"" << false;
        QTest::newRow("symbolic link") << "mkdir -m 700 \"$1/real\" && ln -s \"$1/real\" \"$2\"" << false;
        QTest::newRow("private plain file") << "echo x >\"$2\" && chmod 600 \"$2\"" << false;
        QTest::newRow("folder of another user") << "mkdir -m 700 \"$2\" && chown 65534 \"$2\"" << false;
    }

    void userTempFolder()
    {
        QFETCH(QString, plant);
        QFETCH(bool, usable);
        if (plant.contains("chown") && !IsRoot())
            QSKIP("needs root to plant a folder of another user");
        QCOMPARE(QProcess::execute("sh", {"-c", plant, "sh", m_tmp, Folder()}), 0);
        // Without a usable folder there is no record at all, rather than one in an unsafe place.
        QCOMPARE(PidFilePath(), usable ? Folder() + "/.kvr_updater_background_download.pid" : QString());
        QCOMPARE(NewLog().filter("The temporary folder " + Folder()).size(), usable ? 0 : 1);
        struct stat info {};
        QVERIFY(!usable || (lstat(QFile::encodeName(Folder()), &info) == 0 && S_ISDIR(info.st_mode)
                            && (info.st_mode & 0777) == 0700));
    }

    void writePidFileTruncates()
    {
        QVERIFY(WriteFile(PidFilePath(), "12345678901234567890\n") && WritePidFile(PidFilePath()));
        QCOMPARE(ReadFile(PidFilePath()), QByteArray::number(getpid()));
    }

    void stopRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message"); // %1: the process id
        QTest::newRow("no number") << "twelve" << "Can not open process 0. Error = 3";
        QTest::newRow("negative number") << "-1" << "Can not open process -1. Error = 3";
        QTest::newRow("the caller itself") << "self" << "Can not open process %1. Error = 1";
        QTest::newRow("process of another program") << "sleep" << "Can not open process %1. Error = 1";
        QTest::newRow("process of another user") << "nobody" << "Can not open process %1. Error = 1";
    }

    void stopRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        if (kind == "nobody" && !IsRoot())
            QSKIP("needs root to run a process as another user");
        const QString path = PidFilePath();
        QProcess sleeper;
        if (kind == "sleep")
            sleeper.start("sleep", {"600"});
        const std::unique_ptr<Child> nobody(kind == "nobody" ? new Child(BecomeNobody) : nullptr);
        const qint64 pid = kind == "self"                              ? QCoreApplication::applicationPid()
                           : kind == "sleep" && sleeper.waitForStarted() ? sleeper.processId()
                           : nobody && nobody->ready                     ? nobody->pid
                                                                         : 0;
        QVERIFY(WriteFile(path, pid != 0 ? QByteArray::number(pid) : kind.toLatin1()));
        QVERIFY(!StopBackgroundDownload(path));
        const QStringList logged = NewLog();
        QVERIFY2(logged.contains(message.replace("%1", QString::number(pid))), qPrintable(logged.join('\n')));
        QVERIFY(QFile::exists(path)); // the record stays
        QVERIFY(pid == 0 || kill(static_cast<pid_t>(pid), 0) == 0); // nothing was stopped
        sleeper.kill();
        sleeper.waitForFinished();
    }

    void stopAndTakeOver()
    {
        // The stop waits for the end of the downloader, so that the caller can take its lock at once.
        const Child downloader([] {
            CInstanceLock* lock = new CInstanceLock; // held until the process is killed
            new QByteArray(64 << 20, 'x'); // a large address space, so that its end takes a moment
            lock->Acquire(false);
            return !lock->IsHeldByOther();
        });
        const QString path = PidFilePath();
        QVERIFY(downloader.ready && HeldByOther() && WriteFile(path, QByteArray::number(downloader.pid)));
        QVERIFY(StopBackgroundDownload(path) && !QFile::exists(path)); // the record goes with the process
        siginfo_t info {};
        QCOMPARE(waitid(P_PID, static_cast<id_t>(downloader.pid), &info, WEXITED | WNOHANG | WNOWAIT), 0);
        QVERIFY(info.si_pid == downloader.pid && info.si_code == CLD_KILLED && info.si_status == SIGKILL);
        QVERIFY(NewLog().contains(QStringLiteral("Kill( %1 )").arg(downloader.pid)));
        CInstanceLock lock;
        lock.Acquire(true);
        QVERIFY(!lock.IsHeldByOther() && HeldByOther()); // the lock is ours now
    }

    void administrator()
    {
        QCOMPARE(IsUserAdministrator(), IsRoot());
        if (!IsRoot())
            QSKIP("needs root to try as another user");
        QVERIFY(Child([] { return BecomeNobody() && !IsUserAdministrator(); }).ready);
    }
};

QTEST_GUILESS_MAIN(TestProcessControl)
#include "tst_processcontrol.moc"
