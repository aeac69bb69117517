// The instance lock, the background-download record, stopping the recorded process and the
// administrator test. Runs of the whole program are covered by e2e.tst_instance.
#include "kvrtest.h"

#include "app/instancelock.h"
#include "app/processcontrol.h"
#include "platform/log.h"

#include <QJsonObject>
#include <QtTest>

#include <cstdio>

using namespace KvrTest;

namespace {

// The roles of a copy of this test, started as "--child ROLE LOGFOLDER": a background downloader
// is a copy of the program, and the lock belongs to processes. Each prints one answer line.
//   probe, probe-after-stop  whether the lock is held by another, then end
//   hold                     takes the lock and answers; a line on its input releases it; ends when its input closes
//   download                 takes the lock with a large address space, so that its end takes a moment
//   idle                     whether it is an administrator, then waits to be stopped
int RunChild(const QByteArray& role, const QByteArray& logFolder)
{
    LogControl::SetFolder(logFolder);
    auto answer = [](bool value) {
        std::printf("%d\n", value ? 1 : 0);
        std::fflush(stdout);
    };
    if (role == "idle") {
        answer(IsUserAdministrator());
    } else {
        auto* lock = new CInstanceLock; // held until the process ends, unless released
        lock->Acquire(role == "probe-after-stop");
        if (role == "download")
            new QByteArray(256 << 20, 'x');
        answer(lock->IsHeldByOther());
        if (role.startsWith("probe"))
            return 0;
        if (role == "hold" && std::getchar() != EOF) {
            delete lock;
            answer(false);
        }
    }
    while (std::getchar() != EOF) {
    }
    return 0;
}

} // namespace

class TestProcessControl : public QObject
{
    Q_OBJECT

    Sandbox m_sandbox;
    QString m_tmp;
    int m_case = 0;

    // True when this process has logged the text as a line of its own in this case.
    bool Logged(const QString& text) const
    {
        return (LogLinesOf(m_tmp + "/corvantis-lum.log", QCoreApplication::applicationPid()).join('\n') + '\n')
            .contains("/ " + text + '\n');
    }
    // Starts a copy of this test in a role; its first answer, or "" when it gives none.
    QString Start(QProcess& child, const QString& role, bool asOtherUser = false)
    {
        const QString self = QCoreApplication::applicationFilePath();
        const QStringList arguments = {"--child", role, m_tmp};
        const QStringList command = asOtherUser ? AsOtherUserCommand(self, arguments) : QStringList{self} + arguments;
        child.start(command.first(), command.mid(1));
        return child.waitForReadyRead(30000) ? QString::fromLatin1(child.readLine()).trimmed() : QString();
    }
    // What the next updater finds: "1" when somebody holds the lock.
    QString Probe(bool afterStop = false)
    {
        QProcess probe;
        const QString held = Start(probe, afterStop ? "probe-after-stop" : "probe");
        probe.waitForFinished(30000);
        return held;
    }

private slots:
    void init()
    {
        // A temporary folder per case, so that no lock, record or log line survives a case.
        m_tmp = m_sandbox.path(QStringLiteral("tmp%1").arg(++m_case));
        QVERIFY(QDir().mkpath(m_tmp));
        SetTempFolder(m_tmp);
        qunsetenv("XDG_RUNTIME_DIR");
        LogControl::SetFolder(QFile::encodeName(m_tmp));
    }

    void lock()
    {
        QProcess holder;
        QCOMPARE(Start(holder, "hold"), QString("0"));
        // Another updater finds it held, unless it has just stopped the holder; and neither takes it away.
        QVERIFY(Probe() == "1" && Probe(true) == "0" && Probe() == "1");
        holder.write("release\n");
        QVERIFY(holder.waitForReadyRead(30000));
        // Given up, the flock is free at once; the semaphore lives as long as its holder's handle.
        QCOMPARE(Probe(), QString(IsWindows() ? "1" : "0"));
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(30000));
        QCOMPARE(Probe(), QString("0"));
    }

    void stop_data()
    {
        AddRows("instance/stop.json"); // "logged": %1 the process id, %none no such process, %denied not ours
    }

    void stop()
    {
        QFETCH(QJsonObject, row);
        const QString kind = row["kind"].toString();
        QString logged = row["logged"].toString();
        logged.replace("%none", IsWindows() ? "87" : "3").replace("%denied", IsWindows() ? "5" : "1");
        if (kind == "nobody" && !NoOtherUser().isEmpty())
            QSKIP(qPrintable(NoOtherUser()));
        QProcess child;
        if (kind == "other")
            QVERIFY(StartOtherProgram(child));
        else if (kind == "nobody") // nor an administrator
            QCOMPARE(Start(child, "idle", true), QString("0"));
        else if (kind == "download")
            QCOMPARE(Start(child, "download"), QString("0"));
        const auto cleanUp = qScopeGuard([&child] { child.kill(); child.waitForFinished(5000); });
        const qint64 pid = kind == "self" ? QCoreApplication::applicationPid() : child.processId();
        const QString path = PidFilePath();
        QVERIFY(WriteFile(path, "12345678901234567890\n") && WritePidFile(path) // truncated: one id alone
                && ReadFile(path) == QByteArray::number(QCoreApplication::applicationPid()));
        QVERIFY(WriteFile(path, pid != 0 ? QByteArray::number(pid) : kind.toLatin1()));
        const bool stops = kind == "download";
        QVERIFY(StopBackgroundDownload(path) == stops && QFile::exists(path) != stops); // the record goes with it only
        QVERIFY(Logged(logged.replace("%1", QString::number(pid))));
        // Nothing else was stopped; the stop waits for the end of the downloader, so that the caller
        // can take its lock at once. A killed process ends by a signal; a terminated one with 0.
        QCOMPARE(child.waitForFinished(0), stops);
        if (stops)
            QVERIFY(IsWindows() ? child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
                                : child.exitStatus() == QProcess::CrashExit);
        QCOMPARE(Probe(), QString("0"));
    }
};

int main(int argc, char** argv)
{
    if (argc == 4 && QByteArray(argv[1]) == "--child")
        return RunChild(argv[2], argv[3]);
    QCoreApplication application(argc, argv);
    TestProcessControl suite;
    return QTest::qExec(&suite, argc, argv);
}

#include "tst_processcontrol.moc"
