#include "updater/updater.h"

#include "app/commandline.h"
#include "download/ratecounter.h"
#include "download/replyoutcome.h"
#include "download/requests.h"
#include "platform/log.h"
#include "platform/tempfolder.h"
#include "xmlmodel/update.h"
#include "xmlmodel/updaterconfig.h"
#include "xmlmodel/updates.h"
#include "xmlmodel/updproduct.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QAuthenticator>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QElapsedTimer>
#include <QTimer>

namespace {
const char kOrganisationDomain[] = "corvantis.example";
} // namespace

CUpdater::CUpdater(const CCommandLine* pCmdLine, QObject* parent)
    : QObject(parent)
    , m_pCmdLine(pCmdLine)
{
    m_qsUpdateType = m_pCmdLine->OptionValue(Options::Update);
    m_pUpdates = new CUpdates;
    m_pConfig = new CUpdaterConfig;
    m_pTmpConfig = new CUpdaterConfig;
    for (const char* name : {"Corvantis Halden", "Corvantis Ferrowick", "Corvantis Lumen"})
        AddProduct(m_pConfig, QString::fromLatin1(name));

    m_pNetworkManager = new QNetworkAccessManager;
    connect(m_pNetworkManager, &QNetworkAccessManager::finished, this, &CUpdater::HttpRequestFinished);
    connect(m_pNetworkManager, &QNetworkAccessManager::proxyAuthenticationRequired, this,
            &CUpdater::ProxyAuthenticationRequired);
    m_pConnectionCheckTimer = new QTimer;
    connect(m_pConnectionCheckTimer, &QTimer::timeout, this, &CUpdater::CheckConnection);
    m_pLostConnectionTimeout = new QElapsedTimer;
    m_pRateCounter = new CRateCounter(2000, 1000);
    connect(m_pRateCounter, &CRateCounter::rateChanged, this, &CUpdater::CheckDownloadingRate);

    ReadOptions();

    QCoreApplication::setOrganizationName(QStringLiteral("Corvantis Software"));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(kOrganisationDomain));
    QCoreApplication::setApplicationName(ApplicationName());
    InitNetworkAndDownloadPath();
}

CUpdater::~CUpdater()
{
    // A reply ended by the teardown below must not reach the slots of a half-destroyed updater.
    disconnect(m_pNetworkManager, nullptr, this, nullptr);
    WriteSettings();
    SaveConfig();
    m_lstPendingUpdates.clear();
    if (m_pDownloadFile != nullptr) {
        m_pDownloadFile->close();
        if (m_pCurrentUpdate == nullptr)
            QFile::remove(m_qsDownloadFilePath);
    }
    // The record made for type "file" is owned apart: a finished download lets go of m_pCurrentUpdate.
    delete m_pFileUpdate;
    m_pCurrentUpdate = nullptr;
    delete m_pDownloadFile;
    delete m_pRateCounter;
    delete m_pLostConnectionTimeout;
    delete m_pConnectionCheckTimer;
    delete m_pNetworkManager;
    delete m_pTmpConfig;
    delete m_pConfig;
    delete m_pUpdates;
}

void CUpdater::ReadOptions()
{
    const CCommandLine& line = *m_pCmdLine;
    m_bUpdateDuringInstallation = line.HasOption(Options::UpdateDuringInstallation);
    if (line.HasOption(Options::ProxyTryCount))
        m_nProxyTryCount = line.OptionValue(Options::ProxyTryCount).toInt(nullptr, 10);
    if (m_bUpdateDuringInstallation)
        m_nProxyTryCount = 1;
    m_bBackgroundDownload = line.HasOption(Options::BackgroundDownload);
    m_nLostConnectionTimeoutMs =
        m_bBackgroundDownload ? ReplyOutcome::kBackgroundLostConnectionMs : ReplyOutcome::kLostConnectionMs;
    m_nBackgroundRetries = m_bBackgroundDownload ? ReplyOutcome::kBackgroundRetries : 0;

    const bool download = line.Action() == QLatin1String("download");
    if (download)
        m_qsTmpConfigPath = line.OptionValue(Options::Config);
    if (m_qsTmpConfigPath.isEmpty()) {
        m_qsOptionUrl = line.OptionValue(Options::Url);
        if (m_qsOptionUrl.isEmpty())
            m_qsDescrPath = line.OptionValue(Options::Descr);
    }
    m_qsTargetPath = line.OptionValue(Options::Path);
    const QString uuids = line.OptionValue(Options::UuidList);
    if (!uuids.isEmpty())
        m_lstUuids = uuids.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    m_qsConfigPath = ConfigFilePath();

    if (line.Action() == QLatin1String("check"))
        m_nState = StateGetDescription;
    else if (download)
        m_nState = m_qsTmpConfigPath.isEmpty() ? StateGetDescription : StateLoadConfig;

    m_qsCurrentUuid = MakeCurrentUuid();
    LogMessage(kProgramComponent, 3, "current uuid = %s", m_qsCurrentUuid.toUtf8().constData());
}

void CUpdater::AddProduct(CUpdaterConfig* config, const QString& name)
{
    auto* product = new CUpdProduct;
    product->ProductName.set(name);
    config->getUpdates()->Product.append(product);
    if (config == m_pConfig)
        m_bConfigUuidsKnown = false;
}

void CUpdater::ActivateStateMachine(int state, int delayMs)
{
    LogMessage(kProgramComponent, 3, "ActivateStateMachine %d -> %d", m_nState, state);
    if (m_nState == StateExit)
        return;
    m_nPrevState = m_nState;
    m_nState = state;
    // Precise: a coarse timer, which Qt picks for delays of 2 s and more, may fire up to 5 % early,
    // and the 10 s pauses between background requests are a promise.
    QTimer::singleShot(delayMs, Qt::PreciseTimer, this, &CUpdater::StateMachine);
}

void CUpdater::Finish(ResultCode result)
{
    // The first result of a run stands: once in the exit state, nothing changes it.
    if (m_nState == StateExit) {
        LogMessage(kProgramComponent, 3, "ActivateStateMachine %d -> %d", m_nState, int(StateExit));
        return;
    }
    m_nResult = result;
    ActivateStateMachine(StateExit, 0);
}

void CUpdater::StateMachine()
{
    if (m_nPrevState == StateDownloadFile && m_nState != StateDownloadFile)
        m_pRateCounter->stop();
    LogMessage(kProgramComponent, 3, "m_nState = %d", m_nState);
    switch (m_nState) {
    case StateGetDescription:
        StateGetDescriptionStep();
        break;
    case StateParseDescription:
        StateParseDescriptionStep();
        break;
    case StateUpdatesFound:
        ReportAndFinish();
        break;
    case StateLoadConfig:
        StateLoadConfigStep();
        break;
    case StateProbeFile:
    case StateDownloadFile:
    case StateReprobeFile:
        DownloadNextUpdate();
        break;
    case StateDownloadFailed:
        Finish(ResultDownloadFailed);
        break;
    case StateCanceled:
        Finish(ResultOk);
        break;
    case StateAllDone:
        if (m_pCmdLine->Action() == QLatin1String("download"))
            Finish(ResultOk);
        else
            ReportAndFinish();
        break;
    case StateExit:
        StateExitStep();
        break;
    case StateUpToDate:
        StateUpToDateStep();
        break;
    case StateConnectionFailed:
        Finish(ResultConnectionFailed);
        break;
    case StateHeaderFailed:
        Finish(ResultHeaderFailed);
        break;
    case StateFileOpenFailed:
        Finish(ResultNoAccess);
        break;
    case StateNotModified:
        Finish(ResultNotModified);
        break;
    case StateNetworkError:
        Finish(ResultNetworkError);
        break;
    default:
        break;
    }
}

void CUpdater::StateGetDescriptionStep()
{
    if (m_qsUpdateType == QLatin1String("file")) {
        m_pFileUpdate = m_pCurrentUpdate = new CUpdate;
        m_pCurrentUpdate->FilePath.set(m_pCmdLine->OptionValue(Options::File));
        m_lstPendingUpdates.append(m_pCurrentUpdate);
        m_qsDownloadDir = m_pCmdLine->OptionValue(Options::Path);
        ActivateStateMachine(StateProbeFile);
        return;
    }
    if (LoadConfig() < 0) {
        PrintUserError(
            QObject::tr("Updating failed as there was an error reading the Corvantis Updater configuration file."));
        Finish(ResultConfigUnreadable);
        return;
    }
    if (!m_qsDescrPath.isEmpty()) {
        ActivateStateMachine(StateParseDescription);
        return;
    }
    QString url = m_qsUpdatesUrl;
    if (url.isEmpty())
        url = m_qsOptionUrl;
    if (url.isEmpty()) {
        int productCode = 65535;
        if (m_qsUpdateType == QLatin1String("halden") || m_qsUpdateType == QLatin1String("ferrowick"))
            productCode = 1;
        else if (m_qsUpdateType == QLatin1String("lum"))
            productCode = 6;
        url = DefaultUpdatesUrl(productCode);
    }
    DownloadFile(url, UserTempFolder());
}

void CUpdater::StateParseDescriptionStep()
{
    const int result = LoadUpdatesDescription(m_qsDescrPath);
    if (result < 0) {
        PrintUserError(QObject::tr("Updating failed as there was an error reading the updates description file."));
        Finish(ResultDescriptionUnreadable);
        return;
    }
    if (result == 0 && HasNewUpdates())
        ActivateStateMachine(StateUpdatesFound);
    else
        ActivateStateMachine(m_bHaveDownloaded ? StateAllDone : StateUpToDate);
}

void CUpdater::StateLoadConfigStep()
{
    if (LoadConfig() < 0) {
        PrintUserError(
            QObject::tr("Updating failed as there was an error reading the Corvantis Updater configuration file."));
        Finish(ResultFailed);
        return;
    }
    if (SelectUpdates())
        ActivateStateMachine(StateProbeFile);
    else
        Finish(ResultFailed);
}

void CUpdater::StateUpToDateStep()
{
    SetIncompleteUpdate(false);
    if (m_bUpdateDuringInstallation) {
        Finish(ResultFailed);
        return;
    }
    PrintUserError(QObject::tr("You have the latest version of the Corvantis Software."));
    Finish(ResultUpToDate);
}

void CUpdater::ReportAndFinish()
{
    if (m_pCmdLine->Action() == QLatin1String("download")) {
        StartUpdate();
        return;
    }
    if (m_bUpdateDuringInstallation)
        PrintFilePaths();
    else
        PrintUpdateList();
    Finish(ResultOk);
}

void CUpdater::StartUpdate()
{
    if (m_pCmdLine->Action() != QLatin1String("download")) {
        LogMessage(kProgramComponent, 0, "Illegal command [%s] to statrt update.",
                   m_pCmdLine->Action().toUtf8().constData());
        Finish(ResultIllegalCommand);
        return;
    }
    m_lstPendingUpdates.clear();
    if (!SelectUpdates()) {
        Finish(ResultFailed);
        return;
    }
    const QString target = m_qsTargetPath.isEmpty() ? m_qsDownloadDir : m_qsTargetPath;
    qint64 needed = 0;
    for (const CUpdate* update : qAsConst(m_lstPendingUpdates)) {
        if (update->Status() == ReadyToDownload)
            needed += qint64(update->FileSize()) * 1024;
    }
    const ResultCode code = CheckDownloadFolder(needed, target);
    if (code != ResultOk) {
        Finish(code);
        return;
    }
    m_qsDownloadDir = target;
    SumQueuedUpdates();
    ActivateStateMachine(StateProbeFile);
}

QString CUpdater::ResultMessage(int result, const CUpdate* current)
{
    if (result == ResultChecksumMismatch)
        return QObject::tr("This update cannot be installed.");
    if (result == ResultIncompleteFile) {
        const QString path = current != nullptr ? current->FilePath() : QString();
        return QObject::tr("The file \"%1\" was not downloaded completely.")
            .arg(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    }
    return QString();
}

void CUpdater::StateExitStep()
{
    if (m_bExitDone)
        return;
    m_bExitDone = true;
    PrintUserError(ResultMessage(m_nResult, m_pCurrentUpdate));
    if (m_nResult == ResultChecksumMismatch || m_nResult == ResultIncompleteFile || m_nResult == ResultHeaderFailed) {
        if (m_pDownloadFile != nullptr)
            m_qsDownloadedFilePath = DownloadFilePath();
        if (!m_qsDownloadedFilePath.isEmpty()) {
            QString target = m_qsDownloadedFilePath;
            const QLatin1String suffix(Requests::kPartFileSuffix);
            if (target.endsWith(suffix))
                target.chop(suffix.size());
            QFile::remove(target);
            QFile::remove(target + suffix);
        }
    }
    QCoreApplication::exit(m_nResult);
}

QString CUpdater::DownloadFilePath() const
{
    return m_pDownloadFile != nullptr ? m_qsDownloadFilePath : QString();
}

void CUpdater::CancelDownload()
{
    m_bDownloadAborted = true;
    if (m_pReply != nullptr)
        m_pReply->abort();
}
