#include "app/commandline.h"
#include "app/instancelock.h"
#include "app/processcontrol.h"
#include "platform/console.h"
#include "platform/hostutils.h"
#include "platform/locale.h"
#include "platform/log.h"
#include "updater/updater.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <QTranslator>

#include <memory>

namespace {
const int kInvalidCommandLine = int(0x80000003u);
const int kNotAdministrator = 13;
const int kBackgroundNotStopped = 15;
const int kAlreadyRunning = 12;
const int kPidFileNotWritten = 14;
} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(QtMessageRelay);
    // An installer that closes its end of a pipe early must not lose the run's record.
    Console::KeepRunningWhenReaderCloses();
    HostUtils::SettleLocalTimeZone();
    HostUtils::TuneAllocatorForDocuments();
    CCommandLine commandLine(argc, argv);
    if (!commandLine.ValidateCommandLine())
        return kInvalidCommandLine;
    if (!commandLine.HandleInfoAndVersion())
        return 0;

    const QString& action = commandLine.Action();
    if (action == QLatin1String("download") && !commandLine.HasOption(Options::UpdateDuringInstallation)
        && !IsUserAdministrator()) {
        LogMessage(kProgramComponent, 0, "kvr_updater_ctl: The updater requires authentication to %s.",
                   action.toUtf8().constData());
        return kNotAdministrator;
    }

    QCoreApplication application(argc, argv);
    SetDefaultLocale(QStringList());
    const QString translations = FindTranslationsFolder(QString());
    QTranslator productTranslator;
    QTranslator qtTranslator;
    if (productTranslator.load(translations + QStringLiteral("/corvantis.qm"))) {
        application.installTranslator(&productTranslator);
        if (qtTranslator.load(translations + QStringLiteral("/qt.qm")))
            application.installTranslator(&qtTranslator);
    }

    // Single-instance control; a run that only copies one file does without it.
    const bool singleInstance = commandLine.OptionValue(Options::Update) != QLatin1String("file");
    const bool background = commandLine.HasOption(Options::BackgroundDownload);
    QString pidPath;
    std::unique_ptr<CInstanceLock> lock;
    if (singleInstance) {
        pidPath = PidFilePath();
        bool afterStop = false;
        if (!background && QFile::exists(pidPath)) {
            if (!StopBackgroundDownload(pidPath))
                return kBackgroundNotStopped;
            afterStop = true;
        }
        lock = std::make_unique<CInstanceLock>();
        lock->Acquire(afterStop);
        if (!commandLine.HasOption(Options::ForkOfUpdater) && lock->IsHeldByOther()) {
            LogMessage(kProgramComponent, 0, "Updater process is running already.");
            return kAlreadyRunning;
        }
        if (background) {
            if (!WritePidFile(pidPath))
                return kPidFileNotWritten;
        } else if (QFile::exists(pidPath) && !QFile::remove(pidPath)) {
            LogMessage(kProgramComponent, 0, "1.Can not delete %s", pidPath.toUtf8().constData());
        }
    }

    int exitCode = 0;
    {
        CUpdater updater(&commandLine, nullptr);
        QTimer::singleShot(0, &updater, &CUpdater::StateMachine);
        exitCode = QCoreApplication::exec();
        if (singleInstance && background && QFile::exists(pidPath) && !QFile::remove(pidPath))
            LogMessage(kProgramComponent, 0, "2.Can not delete %s", pidPath.toUtf8().constData());
    }
    return exitCode;
}
