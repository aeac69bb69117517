#include "app/processcontrol.h"

#include "platform/lasterror.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/tempfolder.h"

#include <QFile>

namespace {

const QString kPidFileName = QStringLiteral(".kvr_updater_background_download.pid");

// Opens the pid file through the platform, which refuses links and files of other users.
bool OpenPidFile(QFile& file, const QString& path, bool forWriting)
{
    const int fd = OpenPrivateFile(path, forWriting ? PrivateFileMode::Rewrite : PrivateFileMode::Read);
    if (fd < 0)
        return false;
    const QIODevice::OpenMode mode = forWriting ? QIODevice::WriteOnly : QIODevice::ReadOnly;
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        ClosePrivateFile(fd);
        return false;
    }
    return true;
}

} // namespace

QString PidFilePath()
{
    const QString folder = UserTempFolder();
    if (folder.isEmpty())
        return QString();
    return QStringLiteral("%1/%2").arg(folder, kPidFileName);
}

bool WritePidFile(const QString& path)
{
    const QByteArray pathText = path.toUtf8();
    QFile file;
    if (!OpenPidFile(file, path, true)) {
        LogMessage(kProgramComponent, 0, "Can not open %s", pathText.constData());
        return false;
    }
    const QByteArray id = QByteArray::number(Platform::CurrentProcessId());
    if (file.write(id) != id.size() || !file.flush()) {
        LogMessage(kProgramComponent, 0, "Can not write into %s", pathText.constData());
        file.close();
        return false;
    }
    file.close();
    return true;
}

bool StopBackgroundDownload(const QString& path)
{
    const QByteArray pathText = path.toUtf8();
    QFile file;
    if (!OpenPidFile(file, path, false)) {
        LogMessage(kProgramComponent, 0, "Can not open file %s", pathText.constData());
        return false;
    }
    const QByteArray content = file.readAll();
    file.close();
    if (content.isEmpty()) {
        LogMessage(kProgramComponent, 0, "%s file is empty!", pathText.constData());
        return false;
    }
    // Text that is no number gives 0, which names no process.
    bool isNumber = false;
    int id = content.trimmed().toInt(&isNumber);
    if (!isNumber)
        id = 0;
    LogMessage(kProgramComponent, 0, "Kill( %d )", id);

    Platform::ProcessHandle process;
    if (!Platform::OpenProcessOfThisProgram(id, process)) {
        LogMessage(kProgramComponent, 0, "Can not open process %d. Error = %u", id,
                   static_cast<unsigned>(Platform::LastError()));
        return false;
    }
    bool stopped = true;
    if (!Platform::TerminateProcessAndWait(process)) {
        LogMessage(kProgramComponent, 0, "Can not terminate process %d. Error = %u", id,
                   static_cast<unsigned>(Platform::LastError()));
        stopped = false;
    }
    Platform::CloseProcess(process);

    if (!QFile::remove(path))
        LogMessage(kProgramComponent, 0, "Can not delete %s", pathText.constData());
    return stopped;
}

bool IsUserAdministrator()
{
    return Platform::IsAdministrator();
}
