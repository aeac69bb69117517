// A process that holds the updater's instance lock, shared by the lockholder program and by the
// suites that run their own binary as a stand-in for a background downloader.
#pragma once

#include "app/instancelock.h"
#include "app/processcontrol.h"
#include "platform/log.h"
#include "platform/tempfolder.h"

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>

// Modes:
//   hold [pidfile]  takes the lock, writes the pid file when named, prints "held" or "other"
//                   ("nopid" when the pid file cannot be written), then waits until stdin closes
//   admin           prints "admin" or "user"
//   tempfolder      prints the private temporary folder (empty when refused)
inline int RunLockHolder(int argc, char** argv)
{
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    if (!state.isEmpty())
        LogControl::SetFolder(state);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "admin") {
        std::printf("%s\n", IsUserAdministrator() ? "admin" : "user");
        return 0;
    }
    if (mode == "tempfolder") {
        std::printf("%s\n", UserTempFolder().toUtf8().constData());
        return 0;
    }
    if (mode != "hold")
        return 2;
    CInstanceLock lock;
    lock.Acquire(false);
    const char* result = lock.IsHeldByOther() ? "other" : "held";
    if (argc > 2 && !WritePidFile(QString::fromLocal8Bit(argv[2])))
        result = "nopid";
    std::printf("%s\n", result);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

// Test side: starts a holder and reads what it reports.
class LockHolderProcess
{
public:
    ~LockHolderProcess() { Stop(); }

    // Starts program with the arguments and returns its first line ("held", "other", ...).
    QString Start(const QString& program, const QStringList& arguments)
    {
        m_process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(program, arguments);
        if (!m_process.waitForStarted(10000))
            return QStringLiteral("not started");
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(30000))
                return QStringLiteral("no answer");
        }
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    qint64 Pid() const { return m_process.processId(); }
    QProcess& Process() { return m_process; }
    // Closes its input, which ends it, and waits for the end.
    bool Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return true;
        m_process.closeWriteChannel();
        if (m_process.waitForFinished(30000))
            return true;
        m_process.kill();
        m_process.waitForFinished(10000);
        return false;
    }

private:
    QProcess m_process;
};
