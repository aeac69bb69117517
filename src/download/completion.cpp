// Where every transfer ends: redirects, probe results, the completion of an update file and failures.
#include "updater/updater.h"

#include "app/commandline.h"
#include "download/progress.h"
#include "download/replyoutcome.h"
#include "download/requests.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/log.h"
#include "xmlmodel/update.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// A precise timer keeps the pause from ending early (a coarse one may fire 5 % early).
const int kBackgroundPauseMs = 10000;

QByteArray Utf8(const QString& text)
{
    return text.toUtf8();
}

} // namespace

void CUpdater::HttpRequestFinished(QNetworkReply* reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    LogMessage(kProgramComponent, 3, "Request completed: error %d, state %d, http status %d, url %s",
               int(reply->error()), m_nState, status, Utf8(reply->request().url().toString()).constData());
    if (m_bDownloadAborted) {
        if (m_nState != StateExit)
            ActivateStateMachine(StateCanceled);
        m_pReply = nullptr;
        return;
    }
    if (reply != m_pReply)
        return;
    m_pReply = nullptr;
    if (m_pDownloadFile != nullptr) {
        const QString error = CloseDownloadFile(reply, status);
        if (!error.isEmpty()) {
            FailStoring(error);
            return;
        }
    }

    ReplyOutcome::Facts facts;
    facts.networkError = int(reply->error());
    facts.status = status;
    facts.state = m_nState;
    facts.hasRedirectTarget = !reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl().isEmpty();
    facts.background = m_bBackgroundDownload;
    facts.backgroundRetries = m_nBackgroundRetries;
    switch (ReplyOutcome::NextStep(facts)) {
    case ReplyOutcome::Step::BackgroundRetry:
        RetryInBackground(reply);
        break;
    case ReplyOutcome::Step::Failure:
        TakeErrorPath(reply);
        break;
    case ReplyOutcome::Step::Redirect:
        LogMessage(kProgramComponent, 3, "Handling redirect, state %d, HTTP statusCode %d", m_nState, status);
        FollowRedirect(reply, reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl().toString());
        break;
    case ReplyOutcome::Step::NotModified:
        ReportNotModified(reply);
        break;
    case ReplyOutcome::Step::ProxyAuthentication:
        LogMessage(kProgramComponent, 3, "Proxy authentication required");
        if (m_nState == StateDownloadFile)
            RequeueCurrentUpdate();
        ActivateStateMachine(m_nState);
        break;
    case ReplyOutcome::Step::DescriptionFetched:
        ActivateStateMachine(StateParseDescription);
        break;
    case ReplyOutcome::Step::RangeProbeAnswered:
    case ReplyOutcome::Step::PlainProbeAnswered:
        RecordProbe(reply, status);
        break;
    case ReplyOutcome::Step::FileFetched:
        CompleteUpdateFile();
        break;
    case ReplyOutcome::Step::Nothing:
        break;
    }
}

void CUpdater::RetryInBackground(QNetworkReply* reply)
{
    --m_nBackgroundRetries;
    LogMessage(kProgramComponent, 3, "Error [%d] during background download.", int(reply->error()));
    if (m_nState == StateDownloadFile) {
        m_pConnectionCheckTimer->stop();
        QTimer::singleShot(kBackgroundPauseMs, Qt::PreciseTimer, this, &CUpdater::BackgroundDownloadFile);
    } else {
        ActivateStateMachine(m_nState, kBackgroundPauseMs);
    }
}

void CUpdater::ReportNotModified(QNetworkReply* reply)
{
    const QString message = QObject::tr("The file %1 has not been downloaded because it is up to date.")
                                .arg(reply->request().url().toString());
    LogMessage(kProgramComponent, 3, "%s", Utf8(message).constData());
    PrintUserError(message);
    ActivateStateMachine(StateNotModified);
}

QString CUpdater::CloseDownloadFile(QNetworkReply* reply, int status)
{
    // Appended before any failure is handled, so that a cut connection keeps what it brought.
    m_qsDownloadedFilePath = m_qsDownloadFilePath;
    const bool fileData = ReplyOutcome::CarriesFileData(status, Requests::IsTransferScheme(reply->url()));
    const QString error = DrainReply(reply, m_pDownloadFile->isOpen() && fileData);
    if (reply->hasRawHeader("Last-Modified"))
        PrintOutputLine(QStringLiteral("Last-Modified: "),
                        Requests::HttpDateText(reply->header(QNetworkRequest::LastModifiedHeader).toDateTime()));
    if (m_nState == StateDownloadFile)
        m_pDownloadFile->flush();
    m_pDownloadFile->close();
    return error;
}

void CUpdater::FollowRedirect(QNetworkReply* reply, const QString& target)
{
    if (!ReplyOutcome::RedirectAllowed(m_nRedirectCount)) {
        LogMessage(kProgramComponent, 0, "To many redirects %d : %s", m_nRedirectCount, Utf8(target).constData());
        ActivateStateMachine(StateDownloadFailed);
        return;
    }
    // A relative target is taken relative to the request; only http and https are followed.
    const QUrl url = Requests::ResolveRedirect(reply->request().url(), target);
    if (!Requests::IsTransferScheme(url)) {
        LogMessage(kProgramComponent, 0, "The redirect to %s is refused: only http and https are allowed.",
                   Utf8(url.toString()).constData());
        ActivateStateMachine(StateDownloadFailed);
        return;
    }
    LogMessage(kProgramComponent, 3, "Redirecting %d/%d to %s", m_nRedirectCount, ReplyOutcome::kRedirectLimit,
               Utf8(url.toString()).constData());
    ++m_nRedirectCount;
    if (m_nState == StateGetDescription) {
        m_qsUpdatesUrl = url.toString();
        ActivateStateMachine(StateGetDescription);
        return;
    }
    if (m_nState == StateDownloadFile)
        RequeueCurrentUpdate();
    CUpdate* record = !m_lstPendingUpdates.isEmpty() ? m_lstPendingUpdates.first() : m_pCurrentUpdate;
    if (record == nullptr) {
        LogMessage(kProgramComponent, 0, "Invalid state [%d] for redirect", m_nState);
        ActivateStateMachine(StateDownloadFailed);
        return;
    }
    record->FilePath.set(url.toString());
    ActivateStateMachine(StateProbeFile);
}

void CUpdater::RequeueCurrentUpdate()
{
    if (m_pCurrentUpdate != nullptr && !m_lstPendingUpdates.contains(m_pCurrentUpdate))
        m_lstPendingUpdates.prepend(m_pCurrentUpdate);
}

void CUpdater::RecordProbe(QNetworkReply* reply, int status)
{
    const QByteArray acceptRanges = reply->rawHeader("Accept-Ranges");
    if (m_nState == StateProbeFile) {
        m_nUpdateFileSize = reply->rawHeader("Content-Length").trimmed().toLongLong();
        LogMessage(kProgramComponent, 3, "m_nUpdateFileSize = %lld", m_nUpdateFileSize);
        if (m_nUpdateFileSize == 0)
            LogMessage(kProgramComponent, 0, "Content-Length is empty. Download will not succeeded");
        if (ReplyOutcome::RangeProbeShowsRanges(acceptRanges)) {
            m_bRangeSupport = true;
            ActivateStateMachine(StateDownloadFile);
        } else {
            ActivateStateMachine(StateReprobeFile);
        }
        return;
    }
    switch (ReplyOutcome::PlainProbeVerdict(acceptRanges, reply->request().hasRawHeader("Range"), status)) {
    case ReplyOutcome::Ranges::Supported:
        m_bRangeSupport = true;
        break;
    case ReplyOutcome::Ranges::NotSupported:
        m_bRangeSupport = false;
        break;
    case ReplyOutcome::Ranges::AskWithRange:
        ProbeFile(reply->url().toString(), true);
        return;
    }
    ActivateStateMachine(StateDownloadFile);
}

void CUpdater::CompleteUpdateFile()
{
    const CFileHelper::PathInfo part = CFileHelper::InspectPath(m_qsDownloadedFilePath);
    LogMessage(kProgramComponent, 3, "QFile(m_qsDownloadedFilePath).size() = %lld, rangeSupport %d", part.size,
               int(m_bRangeSupport));
    if (!part.exists) {
        FailStoring(HostUtils::SystemErrorText()); // the part file or its folder was removed meanwhile
        return;
    }
    if (m_bBackgroundDownload && !m_bRangeSupport)
        LogMessage(kProgramComponent, 1, "Server doesn't support range download. Backgroud flag (-bd) will be ignored. "
                                         "Download bandwidth won't be reduced.");
    switch (ReplyOutcome::FileCompletion(m_bBackgroundDownload, part.size, m_nUpdateFileSize)) {
    case ReplyOutcome::Completion::NextChunk:
        m_pConnectionCheckTimer->stop();
        QTimer::singleShot(kBackgroundPauseMs, Qt::PreciseTimer, this, &CUpdater::BackgroundDownloadFile);
        return;
    case ReplyOutcome::Completion::SizeMismatch:
        m_bDownloadAborted = true;
        Finish(ResultIncompleteFile);
        return;
    case ReplyOutcome::Completion::Complete:
        break;
    }
    SetIncompleteUpdate(false);
    m_nUpdateFileSize = 0;
    const QLatin1String suffix(Requests::kPartFileSuffix);
    const QString finalPath = QString(m_qsDownloadedFilePath).remove(suffix);
    m_qsDownloadedFilePath = finalPath;
    if (!CFileHelper::MoveFile(finalPath + suffix, finalPath)) {
        m_bDownloadAborted = true;
        LogMessage(kProgramComponent, 0, "Cant rename %s to %s", Utf8(finalPath + suffix).constData(),
                   Utf8(finalPath).constData());
        Finish(ResultFailed);
        return;
    }
    if (CheckDownloadedFile() != ResultOk) {
        m_bDownloadAborted = true;
        Finish(ResultChecksumMismatch);
        return;
    }
    MarkDownloaded(finalPath);
}

void CUpdater::MarkDownloaded(const QString& finalPath)
{
    if (m_pCurrentUpdate != nullptr) {
        m_nDoneBytes += Progress::Weight(m_pCurrentUpdate->Status(), m_pCurrentUpdate->FileSize());
        m_pCurrentUpdate->FilePath.set(finalPath);
        m_pCurrentUpdate->Status.set(Downloaded);
    }
    if (m_lstPendingUpdates.isEmpty()) {
        m_pCurrentUpdate = nullptr;
        ActivateStateMachine(StateAllDone);
    } else {
        ActivateStateMachine(StateProbeFile);
    }
}

void CUpdater::LogTransferFailure(QNetworkReply* reply) const
{
    LogMessage(kProgramComponent, 0, "Download failed. NetworkError %d. %s. Download url %s. Updater state %d.",
               int(reply->error()), Utf8(reply->errorString()).constData(), Utf8(reply->url().toString()).constData(),
               m_nState);
}

void CUpdater::TakeErrorPath(QNetworkReply* reply)
{
    LogTransferFailure(reply);
    const bool hadFile = m_pDownloadFile != nullptr;
    const qint64 kept = hadFile ? CFileHelper::InspectPath(m_qsDownloadFilePath).size : 0;
    const QString folder = QFileInfo(m_qsDownloadFilePath).absolutePath();
    if (hadFile && m_pCurrentUpdate == nullptr)
        QFile::remove(m_qsDownloadFilePath); // a description is never resumed
    PrintUserError(QObject::tr("Unable to connect to the Corvantis Update site."));
    switch (ReplyOutcome::Classify(int(reply->error()))) {
    case ReplyOutcome::Failure::ConnectionFailed:
        ActivateStateMachine(StateConnectionFailed);
        return;
    case ReplyOutcome::Failure::NetworkError:
        ActivateStateMachine(StateNetworkError);
        return;
    case ReplyOutcome::Failure::CheckFolder:
        break;
    }
    const ResultCode code = hadFile ? CheckDownloadFolder(m_nUpdateFileSize - kept, folder) : ResultOk;
    if (code != ResultOk)
        Finish(code);
    else
        ActivateStateMachine(StateDownloadFailed);
}
