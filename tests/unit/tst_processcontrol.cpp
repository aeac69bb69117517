// The instance lock, the background-download record, stopping the recorded process and the
// administrator test. Runs of the whole program are covered by e2e.tst_instance.
#include "kvrtest.h"

#include "app/instancelock.h"
#include "app/processcontrol.h"
#include "platform/log.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace KvrTest;

// Forks a copy of this test, as a background downloader is a copy of the program. The copy runs
// setUp and, when that succeeds, waits to be killed. Returns its id once it is ready, else 0.
template <typename SetUp> static pid_t ReadyChild(SetUp setUp)
{
    int fds[2] = {-1, -1};
    char answer = 0;
    const pid_t pid = pipe(fds) == 0 ? fork() : -1;
    if (pid == 0) {
        if (setUp() && write(fds[1], "1", 1) == 1)
            for (;;)
                pause();
        _exit(1);
    }
    close(fds[1]);
    const bool ready = pid > 0 && read(fds[0], &answer, 1) == 1;
    close(fds[0]);
    return ready ? pid : 0; // a copy that failed has ended: a zombie until this test ends
}

// What the next updater finds: true when somebody holds the lock.
static bool HeldByOther(bool afterStop = false)
{
    CInstanceLock probe;
    probe.Acquire(afterStop);
    return probe.IsHeldByOther();
}

class TestProcessControl : public QObject
{
    Q_OBJECT

    Sandbox m_sandbox;
    QString m_tmp, m_runtime;
    int m_case = 0;

    QString Folder() const { return m_tmp + QStringLiteral("/kvr_updater-%1").arg(geteuid()); }
    // True when this process has logged the text as a line of its own in this case.
    bool Logged(const QString& text) const
    {
        return (LogLinesOf(m_tmp + "/corvantis-lum.log", getpid()).join('\n') + '\n').contains("/ " + text + '\n');
    }

private slots:
    void init()
    {
        // A temporary and a runtime folder per case, so that no lock, record or log line survives a case.
        m_tmp = m_sandbox.path(QStringLiteral("tmp%1").arg(++m_case));
        m_runtime = m_tmp + "/runtime";
        QVERIFY(QDir().mkpath(m_runtime) && chmod(QFile::encodeName(m_runtime), 0700) == 0);
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime));
        LogControl::SetFolder(QFile::encodeName(m_tmp));
    }

    void lock_data()
    {
        QTest::addColumn<bool>("foreignRuntime");
        QTest::newRow("in the runtime folder") << false;
        QTest::newRow("runtime folder of another user, as under sudo") << true;
    }

    void lock()
    {
        QFETCH(bool, foreignRuntime);
        if (foreignRuntime && !IsRoot())
            QSKIP("needs root to hand a folder to another user");
        QVERIFY(!foreignRuntime || chown(QFile::encodeName(m_runtime).constData(), 65534, 65534) == 0);
        auto first = std::make_unique<CInstanceLock>();
        first->Acquire(false); // a foreign runtime folder is passed over for the private folder
        QVERIFY(!first->IsHeldByOther() && QFile::exists(m_runtime + "/kvr_updater.lock") != foreignRuntime);
        // Another updater, even in the same process, finds it held, unless it has just stopped the
        // holder; and neither takes it away.
        QVERIFY(HeldByOther() && !HeldByOther(true) && HeldByOther());
        first.reset();
        QVERIFY(!HeldByOther()); // released: the next updater takes it
        QCOMPARE(Logged("XDG_RUNTIME_DIR " + m_runtime + " is not a folder of the user"), foreignRuntime);
    }

    void plantedFiles_data()
    {
        // Shell command, $1: a file of ours, $2: the private folder, $f: the lock and the pid file in it.
        QTest::addColumn<QString>("plant");
        QTest::addColumn<int>("error"); // of the lock; 0: lock and record are usable
        QTest::newRow("symbolic links") << "ln -s \"$1\" \"$f\"" << ELOOP;
        QTest::newRow("dangling symbolic links") << "ln -s \"$1.missing\" \"$f\"" << ELOOP;
        QTest::newRow("fifos") << "mkfifo \"$f\"" << EINVAL;
        QTest::newRow("second hard links") << "ln \"$1\" \"$f\"" << EPERM;
        QTest::newRow("files of another user") << "printf keep >\"$f\" && chown 65534 \"$f\"" << EPERM;
        QTest::newRow("folder created") << "" << 0;
        QTest::newRow("private folder") << "mkdir -m 700 \"$2\"" << 0;
        QTest::newRow("folder open to others") << "mkdir -m 701 \"$2\"" << EACCES;
        QTest::newRow("folder is a symbolic link") << "mkdir -m 700 \"$1.d\" && ln -s \"$1.d\" \"$2\"" << ENOTDIR;
        QTest::newRow("folder of another user") << "mkdir -m 700 \"$2\" && chown 65534 \"$2\"" << EPERM;
    }

    void plantedFiles()
    {
        // Neither lock nor record is kept where somebody else could have put something in the way.
        QFETCH(QString, plant);
        QFETCH(int, error);
        if (plant.contains("chown") && !IsRoot())
            QSKIP("needs root to plant something of another user");
        qunsetenv("XDG_RUNTIME_DIR"); // the lock goes into the private folder as well
        const QString target = m_tmp + "/target", pidFile = Folder() + "/.kvr_updater_background_download.pid";
        const bool files = plant.contains("$f"); // else the folder itself
        QVERIFY(WriteFile(target, "keep") && (!files || PidFilePath() == pidFile)); // files go into a folder of ours
        const QString script = files ? "for f in \"$0\" \"$3\"; do " + plant + " || exit 1; done" : plant;
        QCOMPARE(QProcess::execute("sh", {"-c", script, Folder() + "/kvr_updater.lock", target, Folder(), pidFile}), 0);
        QVERIFY(!HeldByOther()); // runs without a lock when refused
        QCOMPARE(Logged(QStringLiteral("OpenSemaphore() failed. Err = %1").arg(error)), error != 0);
        struct stat info {}; // a folder of ours is private
        QCOMPARE(WritePidFile(PidFilePath()) && lstat(QFile::encodeName(Folder()), &info) == 0 && !(info.st_mode & 077),
                 error == 0);
        QVERIFY((error == 0 || !StopBackgroundDownload(PidFilePath())) && ReadFile(target) == "keep"
                && !QFile::exists(target + ".missing") && (!plant.contains("printf") || ReadFile(pidFile) == "keep"));
    }

    void stop_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("logged"); // %1: the process id
        QTest::newRow("no number") << "twelve" << "Can not open process 0. Error = 3";
        QTest::newRow("negative number") << "-1" << "Can not open process -1. Error = 3";
        QTest::newRow("the caller itself") << "self" << "Can not open process %1. Error = 1";
        QTest::newRow("process of another program") << "sleep" << "Can not open process %1. Error = 1";
        QTest::newRow("process of another user") << "nobody" << "Can not open process %1. Error = 1";
        QTest::newRow("background downloader") << "downloader" << "Kill( %1 )";
    }

    void stop()
    {
        QFETCH(QString, kind);
        QFETCH(QString, logged);
        if (kind == "nobody" && !IsRoot())
            QSKIP("needs root to run a process as another user");
        qint64 pid = kind == "self" ? getpid() : 0;
        if (kind == "sleep")
            QVERIFY(QProcess::startDetached("sleep", {"600"}, QString(), &pid));
        if (kind == "nobody" || kind == "downloader")
            pid = ReadyChild([kind] {
                if (kind == "nobody") // nor an administrator
                    return setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0
                           && !IsUserAdministrator();
                CInstanceLock* lock = new CInstanceLock; // held until the process is killed
                new QByteArray(256 << 20, 'x'); // a large address space, so that its end takes a moment
                lock->Acquire(false);
                return !lock->IsHeldByOther();
            });
        const auto cleanUp = qScopeGuard([pid] { // ends a process started for the case
            if (pid > 0 && pid != getpid() && kill(static_cast<pid_t>(pid), SIGKILL) == 0)
                waitpid(static_cast<pid_t>(pid), nullptr, 0); // reaps a copy; returns at once for the sleep
        });
        const QString path = PidFilePath();
        QVERIFY(WriteFile(path, "12345678901234567890\n") && WritePidFile(path) // truncated: one id alone
                && ReadFile(path) == QByteArray::number(getpid()));
        QVERIFY(WriteFile(path, pid != 0 ? QByteArray::number(pid) : kind.toLatin1()));
        const bool stops = kind == "downloader";
        QVERIFY(StopBackgroundDownload(path) == stops && QFile::exists(path) != stops); // the record goes with it only
        QVERIFY(Logged(logged.replace("%1", QString::number(pid))));
        QVERIFY(stops || pid == 0 || kill(static_cast<pid_t>(pid), 0) == 0); // nothing else was stopped
        // The stop waits for the end of the downloader, so that the caller can take its lock at once.
        siginfo_t info {};
        waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        QCOMPARE(info.si_code == CLD_KILLED && info.si_status == SIGKILL && !HeldByOther(), stops);
    }
};

QTEST_GUILESS_MAIN(TestProcessControl)
#include "tst_processcontrol.moc"
