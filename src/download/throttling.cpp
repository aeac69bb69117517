// Timing beside the transfers: the background requests, the connection watchdog and the rate lines.
#include "updater/updater.h"

#include "app/commandline.h"
#include "download/ratecounter.h"
#include "download/replyoutcome.h"
#include "platform/log.h"
#include "xmlmodel/update.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QTimer>

#include <limits>

void CUpdater::BackgroundDownloadFile()
{
    if (!m_bBackgroundDownload || m_pCurrentUpdate == nullptr) {
        Finish(ResultFailed);
        return;
    }
    DownloadFile(m_pCurrentUpdate->FilePath(), m_qsDownloadDir);
}

void CUpdater::CheckConnection()
{
    const qint64 silentMs = m_pLostConnectionTimeout->isValid() ? m_pLostConnectionTimeout->elapsed() : 0;
    LogMessage(kProgramComponent, 3, "m_nState = %d m_pLostConnectionTimeout->elapsed() = %d", m_nState, int(silentMs));
    const bool running = m_pReply != nullptr && m_pReply->isRunning();
    switch (ReplyOutcome::WatchdogStep(m_nState, silentMs, m_nLostConnectionTimeoutMs, running)) {
    case ReplyOutcome::Watch::Stop:
        m_pConnectionCheckTimer->stop();
        break;
    case ReplyOutcome::Watch::ConnectionLost:
        LogMessage(kProgramComponent, 0, "Updater lost connection timeout expired. State is %d", m_nState);
        m_pConnectionCheckTimer->stop();
        PrintUserError(QObject::tr("Unable to connect to the Corvantis Update site."));
        ActivateStateMachine(StateConnectionFailed);
        break;
    case ReplyOutcome::Watch::AbortReply:
        // Not marked cancelled: the reply takes the failure path, which retries in background mode.
        m_pReply->abort();
        break;
    case ReplyOutcome::Watch::Wait:
        break;
    }
}

void CUpdater::CheckDownloadingRate()
{
    if (m_nState != StateDownloadFile) {
        m_pRateCounter->stop();
        return;
    }
    const quint32 rate = m_pRateCounter->rate();
    if (m_bUpdateDuringInstallation && m_pCmdLine->HasOption(Options::FormatOutput))
        PrintOutputLine(QStringLiteral("DOWNLOADING_RATE: "), QString::number(rate));
    if (rate == 0)
        return;
    const quint64 left = quint64(qMax<qint64>(0, m_nUpdateFileSize - m_nStartDownloadByte));
    PrintOutputLine(QStringLiteral("ESTIMATED_TIME: "),
                    QString::number(m_pRateCounter->estimatedTime(left, std::numeric_limits<quint64>::max())));
}
