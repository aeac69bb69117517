// The updater: one object that runs a check or a download as a state machine on the event loop.
#pragma once

#include <QList>
#include <QNetworkProxy>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class CCommandLine;
class CUpdates;
class CUpdaterConfig;
class CUpdate;
class CRateCounter;
class QAuthenticator;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QTime;
class QTimer;

class CUpdater : public QObject
{
    Q_OBJECT

public:
    // States of the machine; the numbers are fixed.
    enum State {
        StateGetDescription = 2,
        StateParseDescription = 3,
        StateUpdatesFound = 4,
        StateLoadConfig = 5,
        StateProbeFile = 6,
        StateDownloadFile = 7,
        StateDownloadFailed = 8,
        StateCanceled = 9,
        StateAllDone = 10,
        StateExit = 15,
        StateProxyAuth = 16,
        StateUpToDate = 18,
        StateConnectionFailed = 21,
        StateHeaderFailed = 22,
        StateFileOpenFailed = 23,
        StateNotModified = 24,
        StateNetworkError = 25,
        StateReprobeFile = 26,
        StateNone = 27,
    };

    // Update status of a record.
    enum UpdateStatus { ReadyToDownload = 0, Installed = 1, Downloaded = 2, CanceledInstall = 3, CanceledDownload = 4 };

    // Kind of the new updates found in a description.
    enum UpdateKind { KindOrdinary = 0, KindHotfix = 1, KindInstallation = 2, KindNothing = 3 };

    CUpdater(const CCommandLine* pCmdLine, QObject* parent = nullptr);
    ~CUpdater() override;

    // State machine.
    void ActivateStateMachine(int state, int delayMs = 0);
    void Finish(int result);
    int State() const { return m_nState; }
    int Result() const { return m_nResult; }
    static QString ResultMessage(int result, const CUpdate* current);

    // Transfers.
    void DownloadFile(const QString& url, const QString& dir);
    void DownloadNextUpdate();

    // Configuration and settings.
    QString ConfigFilePath() const;
    int LoadConfig();
    void SaveConfig();
    void InitNetworkAndDownloadPath();
    int CheckDownloadFolder(qint64 neededBytes, const QString& folder);
    void SetIncompleteUpdate(bool value);

    // Selection.
    QString MakeCurrentUuid() const;
    static QString ProductNameForType(const QString& type);
    static QString DefaultUpdatesUrl(int productCode);
    bool IsOwnProduct(const QString& productName) const;
    static bool IsDescendantOf(const CUpdate* update, const QString& uuid);
    bool IsApplicable(const CUpdate* update) const;
    int LoadUpdatesDescription(const QString& path);
    void MergeDescription();
    int KindOfNewUpdates(CUpdates* source) const;
    void MergeUpdates(CUpdates* source, CUpdaterConfig* target, bool fromDescription);
    bool HasNewUpdates();
    bool SelectUpdates();
    void SumQueuedUpdates();
    int MapHotfixes();
    void RemoveStaleUpdates();
    static QString StatusName(int status);
    static QString LocalizedText(const QStringList& list, const QString& locale);

    // Reports.
    static void PrintOutputLine(const QString& key, const QString& value);
    void PrintUpdateList();
    void PrintFilePaths();
    static void PrintUpdateDescription(const QString& text);

    // Read-only views for the caller and for tests.
    const CUpdaterConfig* Config() const { return m_pConfig; }
    const CUpdaterConfig* WorkingConfig() const { return m_pTmpConfig; }
    const QList<CUpdate*>& PendingUpdates() const { return m_lstPendingUpdates; }
    const QString& CurrentUuid() const { return m_qsCurrentUuid; }
    const QStringList& ChosenUuids() const { return m_lstUuids; }
    const QString& DownloadDir() const { return m_qsDownloadDir; }
    int UpdateKind() const { return m_nUpdateKind; }
    bool HaveDownloaded() const { return m_bHaveDownloaded; }
    qint64 TotalUpdatesSize() const { return m_nTotalUpdatesSize; }
    int UpdatesCount() const { return m_nUpdatesCount; }

public slots:
    void HttpRequestFinished(QNetworkReply* reply);
    void ReadResponseHeader();
    void ReadyRead();
    void UpdateDataReadProgress64(qint64 bytesRead, qint64 totalBytes);
    void ProxyAuthenticationRequired(QNetworkProxy proxy, QAuthenticator* auth);
    void StartUpdate();
    void BackgroundDownloadFile();
    void CancelDownload();
    void StateMachine();
    void CheckConnection();
    void CheckDownloadingRate();

private:
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;

    void ReadOptions();
    void ReportAndFinish();
    void StateGetDescriptionStep();
    void StateParseDescriptionStep();
    void StateLoadConfigStep();
    void StateUpToDateStep();
    void StateExitStep();
    void WriteSettings();
    QString ApplicationName() const;
    void AddProduct(CUpdaterConfig* config, const QString& name);
    // Every update of the current type's product in the configuration, in document order.
    QList<CUpdate*> OwnUpdates(const CUpdaterConfig* config) const;
    QList<CUpdate*> ReportedRecords() const;
    const QSet<QString>& ConfigUuids() const;

    const CCommandLine* m_pCmdLine;
    QString m_qsUpdateType;
    QString m_qsCurrentUuid;
    CUpdates* m_pUpdates = nullptr;
    CUpdaterConfig* m_pConfig = nullptr;
    CUpdaterConfig* m_pTmpConfig = nullptr;
    QList<CUpdate*> m_lstPendingUpdates;
    QStringList m_lstUuids;
    int m_nState = StateNone;
    int m_nPrevState = StateNone;
    QString m_qsConfigPath;
    CUpdate* m_pCurrentUpdate = nullptr;
    QTimer* m_pConnectionCheckTimer = nullptr;
    QTime* m_pLostConnectionTimeout = nullptr;
    QFile* m_pDownloadFile = nullptr;
    QNetworkAccessManager* m_pNetworkManager = nullptr;
    QNetworkReply* m_pReply = nullptr;
    bool m_bDownloadAborted = false;
    QString m_qsDownloadDir;
    QString m_qsDownloadedFilePath;
    QString m_qsUrl;
    QString m_qsUpdatesUrl;
    QString m_qsTmpConfigPath;
    QString m_qsDescrPath;
    QString m_qsOptionUrl;
    QString m_qsTargetPath;
    bool m_bHaveDownloaded = false;
    qint64 m_nTotalUpdatesSize = 0;
    qint64 m_nDoneBytes = 0;
    int m_nUpdatesCount = 0;
    int m_nLastProgress = 0;
    qint64 m_nLastProgressTime = 0;
    bool m_bConfigLoaded = false;
    bool m_bDescriptionLoaded = false;
    bool m_bUpdateDuringInstallation = false;
    int m_nRedirectCount = 0;
    int m_nResult = 0;
    qint64 m_nUpdateFileSize = 0;
    qint64 m_nStartDownloadByte = 0;
    bool m_bBackgroundDownload = false;
    int m_nLostConnectionTimeoutMs = 20000;
    int m_nBackgroundRetries = 0;
    int m_nUpdateKind = KindNothing;
    bool m_bRangeSupport = false;
    int m_nProxyTryCount = 3;
    CRateCounter* m_pRateCounter = nullptr;

    // Bookkeeping beyond the run's own state: the exit step runs once, and the uuids of the
    // configuration are kept in a hash for the applicability test.
    bool m_bExitDone = false;
    mutable QSet<QString> m_setConfigUuids;
    mutable bool m_bConfigUuidsKnown = false;
};
