// The file digest, and the check of a downloaded file against the expected digest.
#include "download/checksum.h"
#include "download/runningdigest.h"

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
    // The file is read in pieces into one reused buffer: faster than mapping windows (no page
    // faults of a fresh mapping), and a small buffer that stays in the processor's cache.
    qint64 left = file.size();
    QByteArray piece(int(qMin(left, kPieceSize)), Qt::Uninitialized);
    CMd5 md5;
    while (left > 0) {
        const qint64 got = file.read(piece.data(), qMin(left, kPieceSize));
        if (got <= 0)
            return QString(); // read error, or the file shrank under us
        if (!md5.Add(piece.constData(), got))
            return QString();
        left -= got;
    }
    return QString::fromLatin1(md5.Result().toHex());
}

QString ExpectedDigest(const QString& optionValue, const QString& recordValue)
{
    return (optionValue.isEmpty() ? recordValue : optionValue).toLower();
}

} // namespace Checksum

QString CUpdater::ExpectedChecksum() const
{
    const QString record = m_pCurrentUpdate != nullptr ? m_pCurrentUpdate->CheckSum() : QString();
    return Checksum::ExpectedDigest(m_pCmdLine->OptionValue(Options::Checksum), record);
}

CUpdater::ResultCode CUpdater::CheckDownloadedFile()
{
    const QString expected = ExpectedChecksum();
    if (expected.isEmpty())
        return ResultOk;
    // The digest taken while the file was written, when it covers the whole file; else a pass
    // over the file.
    const CFileHelper::PathInfo file = CFileHelper::InspectPath(m_qsDownloadedFilePath);
    QString digest = file.exists ? m_pRunningDigest->Result(m_qsDownloadedFilePath, file.size) : QString();
    if (digest.isEmpty())
        digest = Checksum::FileDigest(m_qsDownloadedFilePath);
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
