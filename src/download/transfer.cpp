// The transfer members of the updater: requests, probes and the writing of received data.
#include "updater/updater.h"

#include "platform/log.h"
#include "xmlmodel/update.h"

#include <QNetworkReply>
#include <QTimer>

// Transfers are not part of this build yet: a run that reaches one ends as a failed
// download (result 8) with a log line naming the request that was not sent.
void CUpdater::DownloadFile(const QString& url, const QString& dir)
{
    LogMessage(kProgramComponent, 0, "Network transfers are not available in this build: GET %s into %s not sent.",
               url.toUtf8().constData(), dir.toUtf8().constData());
    ActivateStateMachine(StateDownloadFailed);
}

void CUpdater::DownloadNextUpdate()
{
    if (m_lstPendingUpdates.isEmpty())
        return;
    const char* method = m_nState == StateDownloadFile ? "GET" : "HEAD";
    LogMessage(kProgramComponent, 0, "Network transfers are not available in this build: %s %s not sent.", method,
               m_lstPendingUpdates.first()->FilePath().toUtf8().constData());
    ActivateStateMachine(StateDownloadFailed);
}

void CUpdater::HttpRequestFinished(QNetworkReply* reply)
{
    if (reply != nullptr)
        reply->deleteLater();
}

void CUpdater::ReadResponseHeader() {}

void CUpdater::ReadyRead() {}

void CUpdater::UpdateDataReadProgress64(qint64, qint64) {}

void CUpdater::BackgroundDownloadFile()
{
    Finish(1);
}

void CUpdater::CheckConnection()
{
    m_pConnectionCheckTimer->stop();
}

void CUpdater::CheckDownloadingRate() {}
