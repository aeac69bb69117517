// The file digest, and the check of a downloaded file against the expected digest.
#include "download/checksum.h"

#include "app/commandline.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/lasterror.h"
#include "platform/log.h"
#include "platform/md5.h"
#include "updater/updater.h"
#include "xmlmodel/update.h"

#include <QFile>

namespace Checksum {

QString FileDigest(const QString& path)
{
    const int fd = CFileHelper::OpenRegularFile(path);
    if (fd < 0)
        return QString();
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        CFileHelper::CloseFile(fd);
        return QString();
    }
    // Each window is read into one reused buffer: reading is as fast as mapping, and the
    // page faults of a fresh mapping per window are avoided.
    qint64 left = file.size();
    QByteArray window(int(qMin(left, kWindowSize)), Qt::Uninitialized);
    CMd5 md5;
    while (left > 0) {
        const qint64 size = qMin(left, kWindowSize);
        qint64 filled = 0;
        while (filled < size) {
            const qint64 got = file.read(window.data() + filled, size - filled);
            if (got <= 0)
                return QString(); // read error, or the file shrank under us
            filled += got;
        }
        if (!md5.Add(window.constData(), size))
            return QString();
        left -= size;
    }
    return QString::fromLatin1(md5.Result().toHex());
}

QString ExpectedDigest(const QString& optionValue, const QString& recordValue)
{
    return (optionValue.isEmpty() ? recordValue : optionValue).toLower();
}

} // namespace Checksum

CUpdater::ResultCode CUpdater::CheckDownloadedFile()
{
    const QString record = m_pCurrentUpdate != nullptr ? m_pCurrentUpdate->CheckSum() : QString();
    const QString expected = Checksum::ExpectedDigest(m_pCmdLine->OptionValue(Options::Checksum), record);
    if (expected.isEmpty())
        return ResultOk;
    const QString digest = Checksum::FileDigest(m_qsDownloadedFilePath);
    if (digest.isEmpty()) {
        const int error = Platform::LastError();
        LogMessage(kProgramComponent, 0, "Can't calculate MD5 checksum for file '%s' ! System error: %ld [%s]",
                   m_qsDownloadedFilePath.toUtf8().constData(), long(error),
                   HostUtils::SystemErrorText(error).toUtf8().constData());
        return ResultChecksumNotComputed;
    }
    if (digest != expected) {
        LogMessage(kProgramComponent, 0, "Mismatch MD5 checksum [calc MD5 = %s, expected MD5 = %s] !",
                   digest.toUtf8().constData(), expected.toUtf8().constData());
        return ResultChecksumMismatch;
    }
    return ResultOk;
}
