// The POSIX backend's own pieces: the mount table, and where the lock and the pid file go and
// what is refused there.
#include "kvrtest.h"

#include "app/instancelock.h"
#include "app/processcontrol.h"
#include "platform/hostutils.h"
#include "platform/log.h"
#include "platform/posix/mounttable.h"

#include <QJsonObject>
#include <QtTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using namespace HostUtils;
using namespace KvrTest;

// What the next updater finds: true when somebody holds the lock.
static bool HeldByOther(bool afterStop = false)
{
    CInstanceLock probe;
    probe.Acquire(afterStop);
    return probe.IsHeldByOther();
}

class TestPosixBackend : public QObject
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

    void mountTable_data()
    {
        AddRows("platform/mounttable.json"); // "found": "mount point|type|file-system code"
    }

    void mountTable()
    {
        QFETCH(QJsonObject, row);
        const QList<MountEntry> entries = ParseMountTable(row["table"].toString().toUtf8());
        const MountEntry at = entries.value(FindMountEntry(entries, row["path"].toString())); // blank when none holds it
        QCOMPARE(QString("%1|%2|%3").arg(at.mountPoint, at.type).arg(FileSystemCode(FileSystemNameOfMountType(at.type))),
                 row["found"].toString());
    }

    void foreignRuntimeFolder()
    {
        if (!IsRoot())
            QSKIP("needs root to hand a folder to another user");
        // As under sudo: a runtime folder of another user is passed over for the private folder.
        QVERIFY(chown(QFile::encodeName(m_runtime).constData(), 65534, 65534) == 0);
        auto first = std::make_unique<CInstanceLock>();
        first->Acquire(false);
        QVERIFY(!first->IsHeldByOther() && !QFile::exists(m_runtime + "/kvr_updater.lock"));
        QVERIFY(HeldByOther() && !HeldByOther(true) && HeldByOther());
        first.reset();
        QVERIFY(!HeldByOther());
        QVERIFY(Logged("XDG_RUNTIME_DIR " + m_runtime + " is not a folder of the user"));
    }

    void plantedFiles_data()
    {
        // Shell command, $1: a file of ours, $2: the private folder, $f: the lock and the pid file in it;
        // the error of the lock, none when lock and record are usable.
        AddRows("platform/planted.json");
    }

    void plantedFiles()
    {
        // Neither lock nor record is kept where somebody else could have put something in the way.
        QFETCH(QJsonObject, row);
        const QString plant = row["plant"].toString();
        const QHash<QString, int> errors = {{"", 0}, {"ELOOP", ELOOP}, {"EINVAL", EINVAL}, {"EPERM", EPERM},
                                            {"EACCES", EACCES}, {"ENOTDIR", ENOTDIR}};
        QVERIFY(errors.contains(row["error"].toString()));
        const int error = errors.value(row["error"].toString());
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

};

QTEST_GUILESS_MAIN(TestPosixBackend)
#include "tst_posixbackend.moc"
