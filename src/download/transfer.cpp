// The sending half of the transfers: probes, GETs, the download file and the progress output.
#include "updater/updater.h"

#include "app/commandline.h"
#include "download/checksum.h"
#include "download/progress.h"
#include "download/ratecounter.h"
#include "download/replyoutcome.h"
#include "download/requests.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/log.h"
#include "xmlmodel/update.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <cstdio>

namespace {

// Unread bytes beyond which received data is written to the file.
const qint64 kWriteThreshold = 1024 * 1024;
// Read buffer of a reply: strictly larger than the write threshold, or the reply stalls.
const qint64 kReadBufferSize = 2 * kWriteThreshold;
// An updates description larger than this is not a description: its transfer fails.
const qint64 kDescriptionLimit = 256LL * 1024 * 1024;
const int kWatchdogIntervalMs = 2000;

QNetworkRequest MakeRequest(const QUrl& url, const Requests::Headers& headers)
{
    QNetworkRequest request(url);
    // Redirects are the updater's to follow, never the network library's.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto& header : headers)
        request.setRawHeader(header.first, header.second);
    return request;
}

// Console output that continues a line: written without a line end and flushed.
void WriteConsole(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
}

QByteArray Utf8(const QString& text)
{
    return text.toUtf8();
}

} // namespace

void CUpdater::DownloadNextUpdate()
{
    if (m_lstPendingUpdates.isEmpty())
        return;
    CUpdate* next = m_lstPendingUpdates.first();
    const QString url = next->FilePath();
    if (!Requests::IsTransferScheme(QUrl(url))) {
        LogMessage(kProgramComponent, 0, "The URL %s of an update file is refused: only http and https are allowed.",
                   Utf8(url).constData());
        ActivateStateMachine(StateDownloadFailed);
        return;
    }
    if (m_nState == StateProbeFile) {
        ProbeRangeSupport(url);
        return;
    }
    if (m_nState == StateReprobeFile) {
        ProbeFile(url, false);
        return;
    }
    m_lstPendingUpdates.removeFirst();
    m_pCurrentUpdate = next;
    if (!m_bUpdateDuringInstallation && !m_bBackgroundDownload)
        WriteConsole(Utf8(QStringLiteral("Downloading ") + LocalizedText(next->UpdateName(), QString())
                          + QStringLiteral(" update file to ") + m_qsDownloadDir + QStringLiteral(" .")));
    DownloadFile(url, m_qsDownloadDir);
}

void CUpdater::ProbeRangeSupport(const QString& url)
{
    m_qsUrl = url;
    m_bDownloadAborted = false;
    LogMessage(kProgramComponent, 3, "url = %s", Utf8(url).constData());
    const QString lastModified = m_pCmdLine->HasOption(Options::LastModified)
                                     ? m_pCmdLine->OptionValue(Options::LastModified)
                                     : QString();
    const QUrl target(url);
    IssueRequest(m_pNetworkManager->head(
        MakeRequest(target, Requests::RequestHeaders(Requests::Kind::RangeProbe, target, lastModified))));
}

void CUpdater::ProbeFile(const QString& url, bool withRange)
{
    m_qsUrl = url;
    m_bDownloadAborted = false;
    LogMessage(kProgramComponent, 3, "url = %s", Utf8(url).constData());
    const QUrl target(url);
    const Requests::Kind kind = withRange ? Requests::Kind::PlainProbeWithRange : Requests::Kind::PlainProbe;
    IssueRequest(m_pNetworkManager->head(MakeRequest(target, Requests::RequestHeaders(kind, target))));
}

void CUpdater::DownloadFile(const QString& url, const QString& dir)
{
    m_qsUrl = url;
    m_qsDownloadedFilePath.clear();
    const QUrl source(url);
    // No folder (a private temporary folder that could not be made safe) is no place to write.
    const QString finalPath =
        dir.isEmpty() ? QString() : QFileInfo(QDir(dir), Requests::LocalFileName(source)).absoluteFilePath();
    if (m_pCurrentUpdate != nullptr && UseFilePresent(finalPath))
        return;
    m_nStartDownloadByte = 0;
    const bool updateFile = m_nState == StateDownloadFile;
    const QString path =
        updateFile && !finalPath.isEmpty() ? finalPath + QLatin1String(Requests::kPartFileSuffix) : finalPath;
    if (updateFile && !m_bRangeSupport)
        QFile::remove(path);
    if (!OpenDownloadFile(path, updateFile, dir))
        return;
    if (updateFile)
        m_nStartDownloadByte = m_pDownloadFile->size();
    m_bDownloadAborted = false;

    QNetworkReply* reply = nullptr;
    if (updateFile) {
        KVR_ASSERT(kProgramComponent, m_nUpdateFileSize);
        const Requests::Range range = Requests::FileRange(m_nUpdateFileSize, m_nStartDownloadByte, m_bBackgroundDownload);
        const ResultCode space = CheckDownloadFolder(range.last - range.first + 1, QFileInfo(path).absolutePath());
        if (space != ResultOk) {
            Finish(space);
            return;
        }
        LogMessage(kProgramComponent, 3, "host = %s path = %s", Utf8(source.host()).constData(),
                   Utf8(source.path()).constData());
        LogMessage(kProgramComponent, 3, "m_nStartDownloadByte = %lld", m_nStartDownloadByte);
        // Written before the request: the network thread starts reading at once, and a settings
        // write between the request and its read-buffer bound lets the file pile up in memory.
        SetIncompleteUpdate(true);
        reply = Get(MakeRequest(source, Requests::RequestHeaders(Requests::Kind::UpdateFile, source, QString(),
                                                                  m_bRangeSupport ? &range : nullptr)));
    } else {
        reply = Get(MakeRequest(source, Requests::Headers()));
    }
    connect(reply, &QNetworkReply::downloadProgress, this, &CUpdater::UpdateDataReadProgress64);
    connect(reply, &QNetworkReply::metaDataChanged, this, &CUpdater::ReadResponseHeader);
    connect(reply, &QNetworkReply::readyRead, this, &CUpdater::ReadyRead);
    IssueRequest(reply);
    if (!updateFile)
        return;
    m_nReportedBytes = -1;
    m_pRateCounter->reset();
    m_pRateCounter->start();
    if (!m_bUpdateDuringInstallation)
        return;
    if (m_pCmdLine->HasOption(Options::FormatOutput)) {
        PrintOutputLine(QStringLiteral("FILE_PATH: "), finalPath);
        PrintOutputLine(QStringLiteral("FILE_SIZE: "), QString::number(m_nUpdateFileSize));
    } else {
        PrintOutputLine(QString(), finalPath);
    }
}

QNetworkReply* CUpdater::Get(const QNetworkRequest& request)
{
    // The reply's buffer is bounded, so that a large file streams through to the disk instead of
    // piling up in memory. Qt's network thread learns the bound by a queued signal after the
    // request is sent; on a connection kept open from the probe the answer can come first, and
    // its body then arrives unbounded. A GET therefore never reuses a connection.
    m_pNetworkManager->clearConnectionCache();
    QNetworkReply* reply = m_pNetworkManager->get(request);
    reply->setReadBufferSize(kReadBufferSize);
    return reply;
}

void CUpdater::IssueRequest(QNetworkReply* reply)
{
    m_pReply = reply;
    LogMessage(kProgramComponent, 3, "m_nState = %d m_pReply = %p", m_nState, static_cast<void*>(reply));
    m_pLostConnectionTimeout->start();
    m_pConnectionCheckTimer->start(kWatchdogIntervalMs);
}

bool CUpdater::UseFilePresent(const QString& finalPath)
{
    const CFileHelper::PathInfo info = CFileHelper::InspectPath(finalPath);
    if (!info.exists)
        return false;
    // A file planted or linked by somebody else never counts, whatever its size and digest.
    const QString checksum = m_pCurrentUpdate->CheckSum().toLower();
    const bool present = info.trusted && info.size == m_nUpdateFileSize
                         && (checksum.isEmpty() || Checksum::FileDigest(finalPath) == checksum);
    if (!present) {
        QFile::remove(finalPath);
        return false;
    }
    if (m_bUpdateDuringInstallation) {
        if (m_pCmdLine->HasOption(Options::FormatOutput)) {
            PrintOutputLine(QStringLiteral("FILE_PATH: "), finalPath);
            PrintOutputLine(QStringLiteral("FILE_SIZE: "), QString::number(m_nUpdateFileSize));
            PrintOutputLine(QStringLiteral("PROGRESS: "), QStringLiteral("100"));
        } else {
            PrintOutputLine(QString(), finalPath);
            PrintOutputLine(QString(), QStringLiteral("100"));
        }
        Finish(ResultOk);
        return true;
    }
    LogMessage(kProgramComponent, 0, "The file '%s' already exists.", Utf8(finalPath).constData());
    if (!m_bBackgroundDownload)
        WriteConsole("\n"); // ends the "Downloading " line
    MarkDownloaded(finalPath);
    return true;
}

bool CUpdater::OpenDownloadFile(const QString& path, bool append, const QString& dir)
{
    delete m_pDownloadFile;
    m_pDownloadFile = new QFile;
    const int fd = CFileHelper::OpenTransferFile(path, append);
    const QString openError = fd < 0 ? HostUtils::SystemErrorText() : QString();
    m_qsDownloadFilePath = QFileInfo(path).absoluteFilePath();
    const QIODevice::OpenMode mode = append ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly;
    if (fd >= 0 && m_pDownloadFile->open(fd, mode, QFileDevice::AutoCloseHandle))
        return true;
    CFileHelper::CloseFile(fd);
    m_pConnectionCheckTimer->stop();
    PrintUserError(QObject::tr("Unable to save the file\n%1 in %2.\n%3")
                       .arg(Requests::LocalFileName(QUrl(m_qsUrl)), dir,
                            fd < 0 ? openError : m_pDownloadFile->errorString()));
    ActivateStateMachine(fd < 0 ? StateFileOpenFailed : StateDownloadFailed);
    return false;
}

QString CUpdater::StoreData(const QByteArray& data)
{
    if (data.isEmpty())
        return QString();
    if (m_pDownloadFile->write(data) != data.size() || !m_pDownloadFile->flush())
        return HostUtils::SystemErrorText();
    // Data written to a file whose folder was removed would be lost at the end: stop now.
    if (!CFileHelper::InspectPath(m_qsDownloadFilePath).exists)
        return HostUtils::SystemErrorText();
    return QString();
}

void CUpdater::FailStoring(const QString& error)
{
    const QString folder = QFileInfo(m_qsDownloadFilePath).absolutePath();
    m_pConnectionCheckTimer->stop();
    LogMessage(kProgramComponent, 0, "Can not write to the file %s: %s", Utf8(m_qsDownloadFilePath).constData(),
               Utf8(error).constData());
    // A full disk or a removed folder is told as the folder check tells it.
    const qint64 kept = CFileHelper::InspectPath(m_qsDownloadFilePath).size;
    ResultCode code = CheckDownloadFolder(m_nUpdateFileSize - kept, folder);
    if (code == ResultOk) {
        const QString name = QFileInfo(m_qsDownloadFilePath).fileName().remove(QLatin1String(Requests::kPartFileSuffix));
        PrintUserError(QObject::tr("Unable to save the file\n%1 in %2.\n%3").arg(name, folder, error));
        code = ResultNoAccess;
    }
    Finish(code);
}

void CUpdater::ReadResponseHeader()
{
    QNetworkReply* reply = m_pReply;
    if (reply == nullptr || sender() != reply)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    LogMessage(kProgramComponent, 3, "Header completed: error %d, state %d, http status %d, url %s", int(reply->error()),
               m_nState, status, Utf8(reply->url().toString()).constData());
    const ReplyOutcome::Header verdict = ReplyOutcome::HeaderVerdict(status, Requests::IsTransferScheme(reply->url()));
    if (verdict == ReplyOutcome::Header::Pass) {
        // A server that ignores the range sends the whole file: the part file starts over.
        if (status == 200 && m_nState == StateDownloadFile && m_nStartDownloadByte > 0) {
            LogMessage(kProgramComponent, 1, "The range request was answered with the whole file; it is written anew.");
            m_nStartDownloadByte = 0;
            if (!m_pDownloadFile->resize(0)) {
                const QString error = HostUtils::SystemErrorText();
                m_bDownloadAborted = true;
                reply->abort();
                FailStoring(error);
            }
        }
        return;
    }
    LogTransferFailure(reply);
    if (verdict == ReplyOutcome::Header::PassLogged)
        return;
    // The abort completes the reply at once (it asks for state 9); the state set after it stands.
    m_bDownloadAborted = true;
    reply->abort();
    PrintUserError(QStringLiteral("Unable to connect to the Corvantis Update site."));
    ActivateStateMachine(verdict == ReplyOutcome::Header::FailRange ? StateHeaderFailed : StateDownloadFailed);
}

void CUpdater::ReadyRead()
{
    if (m_pReply == nullptr || m_pDownloadFile == nullptr || m_pReply->bytesAvailable() <= kWriteThreshold)
        return;
    const int status = m_pReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // The body of a redirect or an error is drained, never written.
    const bool fileData = ReplyOutcome::CarriesFileData(status, Requests::IsTransferScheme(m_pReply->url()));
    const QString error = DrainReply(m_pReply, fileData);
    if (error.isEmpty())
        return;
    m_bDownloadAborted = true;
    m_pReply->abort();
    FailStoring(error);
}

QString CUpdater::DrainReply(QNetworkReply* reply, bool store)
{
    // Read in pieces through one reused buffer: no large block is allocated per write.
    static QByteArray piece(int(kWriteThreshold), Qt::Uninitialized);
    for (;;) {
        const qint64 got = reply->read(piece.data(), piece.size());
        if (got <= 0)
            return QString();
        const QString error = store ? StoreData(QByteArray::fromRawData(piece.constData(), int(got))) : QString();
        if (!error.isEmpty())
            return error;
    }
}

void CUpdater::UpdateDataReadProgress64(qint64 bytesRead, qint64 totalBytes)
{
    if (m_bDownloadAborted || (bytesRead == 0 && totalBytes == 0))
        return;
    m_pLostConnectionTimeout->start();
    if (m_bBackgroundDownload)
        m_nBackgroundRetries = ReplyOutcome::kBackgroundRetries;
    if (m_nState == StateGetDescription && qMax(bytesRead, totalBytes) > kDescriptionLimit && m_pReply != nullptr) {
        LogMessage(kProgramComponent, 0, "The updates description %s is larger than %lld bytes.",
                   Utf8(m_qsUrl).constData(), kDescriptionLimit);
        m_pReply->abort(); // fails as a transfer failure
        return;
    }
    // The network library may report the last count twice; it is shown once.
    if (m_nState != StateDownloadFile || bytesRead == m_nReportedBytes)
        return;
    m_nReportedBytes = bytesRead;
    m_pRateCounter->setCurrentBytes(quint64(bytesRead));
    if (m_bBackgroundDownload)
        return;

    Progress::Position position;
    position.fileBytes = m_nStartDownloadByte + bytesRead;
    position.fileSize = m_nUpdateFileSize;
    position.doneWeight = m_nDoneBytes;
    if (m_pCurrentUpdate != nullptr)
        position.fileWeight = Progress::Weight(m_pCurrentUpdate->Status(), m_pCurrentUpdate->FileSize());
    position.totalWeight = m_nTotalUpdatesSize;
    position.fileCount = m_nUpdatesCount;
    ShowProgress(Progress::Percentage(position), position.fileBytes, bytesRead == totalBytes);
}

void CUpdater::ShowProgress(int percent, qint64 fileBytes, bool replyComplete)
{
    if (m_bUpdateDuringInstallation && m_pCmdLine->HasOption(Options::FormatOutput)) {
        m_nLastProgress = percent;
        const qint64 now = qint64(HostUtils::TickCount());
        if (!Progress::LineDue(percent, now, m_nLastProgressTime))
            return;
        m_nLastProgressTime = now;
        PrintOutputLine(QStringLiteral("PROGRESS: "), QString::number(percent));
        PrintOutputLine(QStringLiteral("DOWNLOADED_BYTES: "), QString::number(fileBytes));
    } else if (m_bUpdateDuringInstallation) {
        if (percent > m_nLastProgress) {
            m_nLastProgress = percent;
            PrintOutputLine(QString(), QString::number(percent));
        }
    } else {
        if (Progress::DotDue(percent, m_nLastProgress)) {
            m_nLastProgress = percent;
            WriteConsole(".");
        }
        if (replyComplete)
            WriteConsole(" Finished\n");
    }
}
