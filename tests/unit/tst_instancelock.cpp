// The instance lock between processes: taken, held by another process, released.
#include "kvrtest.h"

#include "../helpers/lockholder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cerrno>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace KvrTest;

class TestInstanceLock : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void freeLockIsTaken_data();
    void freeLockIsTaken();
    void lockOfAnotherProcess_data();
    void lockOfAnotherProcess();
    void holderEndFreesLock_data();
    void holderEndFreesLock();
    void destructionReleasesOwnLockOnly();
    void untrustedLockFile_data();
    void untrustedLockFile();
    void runtimeFolderOfAnotherUser();
    void noUsableFolder();

private:
    QString LockFile() const { return m_runtime + QStringLiteral("/kvr_updater.lock"); }
    QString HolderState();
    QStringList NewLogTexts();

    Sandbox m_sandbox;
    QString m_runtime;
    int m_case = 0;
    int m_logSeen = 0;
};

void TestInstanceLock::initTestCase()
{
    QVERIFY(m_sandbox.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_sandbox.tempDir()));
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_sandbox.stateDir()));
    LogControl::SetFolder(QFile::encodeName(m_sandbox.stateDir()));
    QVERIFY(QFile::exists(HelperPath("lockholder")));
}

void TestInstanceLock::init()
{
    // Every case gets a runtime folder of its own, so no lock survives from an earlier case.
    m_runtime = m_sandbox.path(QStringLiteral("runtime%1").arg(++m_case));
    QVERIFY(QDir().mkpath(m_runtime));
    QVERIFY(QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime));
    NewLogTexts();
}

// What a fresh process finds: "held" when the lock was free, "other" when somebody holds it.
QString TestInstanceLock::HolderState()
{
    LockHolderProcess probe;
    return probe.Start(HelperPath("lockholder"), {"hold"});
}

QStringList TestInstanceLock::NewLogTexts()
{
    const QStringList lines =
        LogLinesOf(m_sandbox.stateDir() + QStringLiteral("/corvantis-lum.log"), QCoreApplication::applicationPid());
    QStringList texts;
    for (int i = m_logSeen; i < lines.size(); ++i)
        texts << LogText(lines.at(i));
    m_logSeen = lines.size();
    return texts;
}

void TestInstanceLock::freeLockIsTaken_data()
{
    QTest::addColumn<bool>("runtimeFolder");
    QTest::addColumn<bool>("afterStop");
    QTest::newRow("runtime folder") << true << false;
    QTest::newRow("private temporary folder") << false << false;
    QTest::newRow("runtime folder, after a stop") << true << true;
}

void TestInstanceLock::freeLockIsTaken()
{
    QFETCH(bool, runtimeFolder);
    QFETCH(bool, afterStop);
    QString lockFile = LockFile();
    if (!runtimeFolder) {
        qunsetenv("XDG_RUNTIME_DIR");
        lockFile = UserTempFolder() + QStringLiteral("/kvr_updater.lock");
        QFile::remove(lockFile);
    }
    {
        CInstanceLock lock;
        lock.Acquire(afterStop);
        QVERIFY(!lock.IsHeldByOther());
        QVERIFY(QFileInfo(lockFile).isFile());
        QCOMPARE(HolderState(), QStringLiteral("other"));
    }
    QCOMPARE(HolderState(), QStringLiteral("held"));
    QCOMPARE(NewLogTexts(), QStringList());
}

void TestInstanceLock::lockOfAnotherProcess_data()
{
    QTest::addColumn<bool>("afterStop");
    QTest::addColumn<bool>("heldByOther");
    QTest::newRow("normal start") << false << true;
    QTest::newRow("after a stop") << true << false;
}

void TestInstanceLock::lockOfAnotherProcess()
{
    QFETCH(bool, afterStop);
    QFETCH(bool, heldByOther);
    LockHolderProcess holder;
    QCOMPARE(holder.Start(HelperPath("lockholder"), {"hold"}), QStringLiteral("held"));
    {
        CInstanceLock lock;
        lock.Acquire(afterStop);
        QCOMPARE(lock.IsHeldByOther(), heldByOther);
    }
    const QStringList expected =
        heldByOther ? QStringList{QStringLiteral("A process kvr_updater is launched.")} : QStringList();
    QCOMPARE(NewLogTexts(), expected);
    // Neither giving up the lock object nor the after-stop case takes the holder's lock away.
    QCOMPARE(HolderState(), QStringLiteral("other"));
    QVERIFY(holder.Stop());
}

void TestInstanceLock::holderEndFreesLock_data()
{
    QTest::addColumn<bool>("killed");
    QTest::newRow("holder ends") << false;
    QTest::newRow("holder killed") << true;
}

void TestInstanceLock::holderEndFreesLock()
{
    QFETCH(bool, killed);
    LockHolderProcess holder;
    QCOMPARE(holder.Start(HelperPath("lockholder"), {"hold"}), QStringLiteral("held"));
    if (killed) {
        holder.Process().kill();
        QVERIFY(holder.Process().waitForFinished(30000));
        QCOMPARE(holder.Process().exitStatus(), QProcess::CrashExit);
    } else {
        QVERIFY(holder.Stop());
        QCOMPARE(holder.Process().exitCode(), 0);
    }
    CInstanceLock lock;
    lock.Acquire(false);
    QVERIFY(!lock.IsHeldByOther());
    QCOMPARE(HolderState(), QStringLiteral("other"));
}

void TestInstanceLock::destructionReleasesOwnLockOnly()
{
    auto first = std::make_unique<CInstanceLock>();
    first->Acquire(false);
    QVERIFY(!first->IsHeldByOther());
    // A second lock object of the same process counts as another updater.
    auto second = std::make_unique<CInstanceLock>();
    second->Acquire(false);
    QVERIFY(second->IsHeldByOther());
    second.reset();
    QCOMPARE(HolderState(), QStringLiteral("other"));
    first.reset();
    QCOMPARE(HolderState(), QStringLiteral("held"));
}

void TestInstanceLock::untrustedLockFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");
    QTest::newRow("symbolic link") << "symlink" << ELOOP;
    QTest::newRow("dangling symbolic link") << "dangling" << ELOOP;
    QTest::newRow("fifo") << "fifo" << EINVAL;
    QTest::newRow("folder") << "folder" << EISDIR;
    QTest::newRow("second hard link") << "hardlink" << EPERM;
    QTest::newRow("file of another user") << "foreign" << EPERM;
}

void TestInstanceLock::untrustedLockFile()
{
    QFETCH(QString, kind);
    QFETCH(int, error);
    const QByteArray lockFile = QFile::encodeName(LockFile());
    const QString target = m_sandbox.path(QStringLiteral("target%1").arg(m_case));
    QVERIFY(WriteFile(target, "keep"));
    if (kind == "symlink") {
        QVERIFY(QFile::link(target, LockFile()));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(target + ".missing", LockFile()));
    } else if (kind == "fifo") {
        QCOMPARE(mkfifo(lockFile.constData(), 0600), 0);
    } else if (kind == "folder") {
        QVERIFY(QDir().mkdir(LockFile()));
    } else if (kind == "hardlink") {
        QCOMPARE(link(QFile::encodeName(target).constData(), lockFile.constData()), 0);
    } else {
        if (!IsRoot())
            QSKIP("needs root to plant a file of another user");
        QVERIFY(WriteFile(LockFile(), QByteArray()));
        QCOMPARE(chown(lockFile.constData(), 65534, 65534), 0);
    }
    CInstanceLock lock;
    lock.Acquire(false);
    QVERIFY(!lock.IsHeldByOther());
    const QStringList texts = NewLogTexts();
    QVERIFY2(texts.contains(QStringLiteral("OpenSemaphore() failed. Err = %1").arg(error)), qPrintable(texts.join('\n')));
    QCOMPARE(ReadFile(target), QByteArray("keep"));
    QVERIFY(!QFile::exists(target + ".missing"));
}

void TestInstanceLock::runtimeFolderOfAnotherUser()
{
    if (!IsRoot())
        QSKIP("needs root to hand a folder to another user");
    QCOMPARE(chown(QFile::encodeName(m_runtime).constData(), 65534, 65534), 0);
    const QString fallback = UserTempFolder() + QStringLiteral("/kvr_updater.lock");
    QFile::remove(fallback);
    {
        CInstanceLock lock;
        lock.Acquire(false);
        QVERIFY(!lock.IsHeldByOther());
        QVERIFY(!QFile::exists(LockFile()));
        QVERIFY(QFileInfo(fallback).isFile());
    }
    QCOMPARE(NewLogTexts(), QStringList{"XDG_RUNTIME_DIR " + m_runtime + " is not a folder of the user"});
}

void TestInstanceLock::noUsableFolder()
{
    // No runtime folder, and the private temporary folder is a link: no lock, but the run goes on.
    qunsetenv("XDG_RUNTIME_DIR");
    const QString elsewhere = m_sandbox.path(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere));
    const QString tmp = m_sandbox.path(QStringLiteral("tmp-link"));
    QVERIFY(QDir().mkpath(tmp));
    qputenv("TMPDIR", QFile::encodeName(tmp));
    QVERIFY(QFile::link(elsewhere, tmp + QStringLiteral("/kvr_updater-%1").arg(geteuid())));
    CInstanceLock lock;
    lock.Acquire(false);
    qputenv("TMPDIR", QFile::encodeName(m_sandbox.tempDir()));
    QVERIFY(!lock.IsHeldByOther());
    const QStringList texts = NewLogTexts();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts.at(0).startsWith("The temporary folder " + tmp), qPrintable(texts.at(0)));
    QVERIFY(texts.at(1).startsWith("OpenSemaphore() failed. Err = "));
    QVERIFY(QDir(elsewhere).isEmpty());
}

QTEST_GUILESS_MAIN(TestInstanceLock)
#include "tst_instancelock.moc"
