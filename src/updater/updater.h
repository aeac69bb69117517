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
class QNetworkRequest;
class QElapsedTimer;
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

    // Results of a run, handed to the application exit as the process exit code; the numbers are fixed.
    enum ResultCode {
        ResultOk = 0,
        ResultFailed = 1, // nothing to select, unreadable configuration with --config, no free-space answer, ...
        ResultUpToDate = 4,
        ResultProxyAuthFailed = 5,
        ResultConfigUnreadable = 7,
        ResultDownloadFailed = 8,
        ResultDescriptionUnreadable = 9,
        ResultIllegalCommand = 11,
        ResultNoAccess = 13, // no permission on the download folder; the target file cannot be opened
        ResultChecksumNotComputed = 19, // only between the checksum check and its caller
        ResultChecksumMismatch = 20,
        ResultHotfixNotMapped = 23,
        ResultIncompleteFile = 25,
        ResultConnectionFailed = 26,
        ResultHeaderFailed = 28,
        ResultNoDownloadFolder = 29,
        ResultNoDiskSpace = 30,
        ResultNotModified = 31,
        ResultNetworkError = 32,
    };

    // Update status of a record.
    enum UpdateStatus { ReadyToDownload = 0, Installed = 1, Downloaded = 2, CanceledInstall = 3, CanceledDownload = 4 };

    // Kind of the new updates found in a description.
    enum UpdateKind { KindOrdinary = 0, KindHotfix = 1, KindInstallation = 2, KindNothing = 3 };

    // Reads the options and the per-user download folder; prints nothing, never finishes the run.
    CUpdater(const CCommandLine* pCmdLine, QObject* parent = nullptr);
    // Writes the settings and, for an administrator, the configuration; closes the download file.
    ~CUpdater() override;

    // State machine.
    // Moves to a state and posts one step after delayMs; does nothing once in StateExit.
    void ActivateStateMachine(int state, int delayMs = 0);
    // Ends the run with result: moves to StateExit; a later call changes nothing.
    void Finish(ResultCode result);
    int State() const { return m_nState; }
    int Result() const { return m_nResult; }
    // The user message printed on exit for a result (empty for most results).
    static QString ResultMessage(int result, const CUpdate* current);

    // Transfers (download/transfer.cpp).
    // Starts a GET of url into folder dir: the description (state 2) into its file, an update file
    // (state 7) into its part file. May instead find the file already present, fail to open the file
    // or the folder check: then prints the user message and moves the state or finishes the run.
    void DownloadFile(const QString& url, const QString& dir);
    // One step of states 6, 7 and 26 for the first queued update: a probe or the file's GET.
    // Prints the "Downloading " line in state 7 on the console; moves to 8 for a refused URL.
    void DownloadNextUpdate();
    // The HEAD of state 6 with the range and conditional headers; prints nothing, never finishes.
    void ProbeRangeSupport(const QString& url);
    // The plain HEAD of state 26, once more with "Range" when withRange; prints nothing, never finishes.
    void ProbeFile(const QString& url, bool withRange);
    // The downloaded-file check (download/checksum.cpp): ResultOk when nothing is to be checked or
    // the digest matches, ResultChecksumNotComputed or ResultChecksumMismatch (logged); prints nothing.
    ResultCode CheckDownloadedFile();

    // Configuration and settings (updater/configuration.cpp). Only CheckDownloadFolder prints; none
    // of them finishes the run.
    // Path of the configuration file, its folder created; empty (logged) when there is none.
    QString ConfigFilePath() const;
    // Reads the --config file and the configuration file: 0, or the negative XML code (logged).
    int LoadConfig();
    // Writes the configuration (administrators only) with the working records merged in; logs failures.
    void SaveConfig();
    // Takes the download folder from the per-user settings, else Downloads or home.
    void InitNetworkAndDownloadPath();
    // ResultOk when folder exists and has strictly more than neededBytes free; otherwise prints the
    // user message and returns ResultNoDownloadFolder, ResultNoAccess, ResultFailed or ResultNoDiskSpace.
    ResultCode CheckDownloadFolder(qint64 neededBytes, const QString& folder);
    // Records in the per-user settings that a download is under way (not with -ui).
    void SetIncompleteUpdate(bool value);

    // Selection (updater/selection.cpp). Only SelectUpdates prints or finishes the run.
    // "<type>.<version>.en_US.corvantis.win" of the installed version.
    QString MakeCurrentUuid() const;
    // "Corvantis Halden" and so on for an update type; empty for "file" and unknown types.
    static QString ProductNameForType(const QString& type);
    // The default description URL of product code 1 or 6; "Unknown" otherwise.
    static QString DefaultUpdatesUrl(int productCode);
    bool IsOwnProduct(const QString& productName) const;
    static bool IsDescendantOf(const CUpdate* update, const QString& uuid);
    // A record of this system that descends from the installed version and is not configured yet.
    bool IsApplicable(const CUpdate* update) const;
    // Reads the description at path (empty: the downloaded one) and merges it: its XML code (logged).
    int LoadUpdatesDescription(const QString& path);
    void MergeDescription();
    // The UpdateKind of the applicable records of source.
    int KindOfNewUpdates(CUpdates* source) const;
    // Copies the applicable records of source into target (the description's, or back into the
    // configuration).
    void MergeUpdates(CUpdates* source, CUpdaterConfig* target, bool fromDescription);
    // True when the working configuration holds a record still to download or install.
    bool HasNewUpdates();
    // Fills the queue; false (after the up-to-date message) when it stays empty. Two hotfixes of
    // one serial number print "This update cannot be installed." and finish the run.
    bool SelectUpdates();
    // Totals of the queue's records ready to download; resets the progress.
    void SumQueuedUpdates();
    // Orders the queued hotfixes by serial number; ResultHotfixNotMapped for a repeated number.
    ResultCode MapHotfixes();
    // Drops from the configuration every record that is not installed (logged).
    void RemoveStaleUpdates();
    // The translated name of a status.
    static QString StatusName(int status);
    // The entry of "locale#text" entries for the locale (default: the current one), else English.
    static QString LocalizedText(const QStringList& list, const QString& locale);

    // Reports (updater/reports.cpp): they print to standard output and never finish the run.
    // One "KEY: value" line, flushed.
    static void PrintOutputLine(const QString& key, const QString& value);
    // The listing, or the records of --update-info.
    void PrintUpdateList();
    // The file paths of the applicable records (-ui).
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
    // Where every request ends (download/completion.cpp): follows a redirect, records a probe,
    // completes an update file, retries in background mode or classifies a failure. Prints
    // "Last-Modified: " and the failure and 304 messages; may finish the run with any transfer result.
    void HttpRequestFinished(QNetworkReply* reply);
    // Checks the HTTP status as soon as it is known; a refused status aborts the reply, prints
    // "Unable to connect to the Corvantis Update site." and moves to 22 (result 28) or 8.
    void ReadResponseHeader();
    // Writes the received data to the file once more than 1 MiB waits; a failed write finishes the run.
    void ReadyRead();
    // Feeds the watchdog and the rate counter and prints the progress dots or lines; an updates
    // description over its size limit is aborted as a failed transfer.
    void UpdateDataReadProgress64(qint64 bytesRead, qint64 totalBytes);
    // Answers a proxy's demand for credentials (proxy/).
    void ProxyAuthenticationRequired(QNetworkProxy proxy, QAuthenticator* auth);
    // Selects the queue and checks the download folder, then probes; may finish the run (1, 11,
    // 13, 23, 29, 30) with the folder check's message.
    void StartUpdate();
    // The next background request of the current update; without one, finishes with ResultFailed.
    void BackgroundDownloadFile();
    // Marks the transfer cancelled and aborts it: the run then finishes with ResultOk.
    void CancelDownload();
    // One step of the machine for the current state.
    void StateMachine();
    // Every 2000 ms while a request is out: after too long without progress prints "Unable to
    // connect to the Corvantis Update site." and moves to 21 (result 26); in background mode a
    // silent reply is aborted first so that it is retried.
    void CheckConnection();
    // On every rate sample: prints "DOWNLOADING_RATE: " (-ui -fo) and "ESTIMATED_TIME: "; never finishes.
    void CheckDownloadingRate();

private:
    CUpdater(const CUpdater&) = delete;
    CUpdater& operator=(const CUpdater&) = delete;

    void ReadOptions();
    // The steps of the states; each may print its user message and finish the run.
    void ReportAndFinish();
    void StateGetDescriptionStep();
    void StateParseDescriptionStep();
    void StateLoadConfigStep();
    void StateUpToDateStep();
    // Prints the result's message, removes the files of a failed download and exits the loop.
    void StateExitStep();
    void WriteSettings();
    QString ApplicationName() const;
    void AddProduct(CUpdaterConfig* config, const QString& name);
    // Every update of the current type's product in the configuration, in document order.
    QList<CUpdate*> OwnUpdates(const CUpdaterConfig* config) const;
    QList<CUpdate*> ReportedRecords() const;
    const QSet<QString>& ConfigUuids() const;

    // Transfer helpers (download/).
    // Sends a GET whose reply holds a bounded amount of unread data.
    QNetworkReply* Get(const QNetworkRequest& request);
    // Makes a sent request the running reply, with the watchdog started.
    void IssueRequest(QNetworkReply* reply);
    // Prints the progress of the update file in the run's mode: a line, a number or a console dot.
    void ShowProgress(int percent, qint64 fileBytes, bool replyComplete);
    // Reads everything the reply holds, appending it to the download file when store; the error
    // text of StoreData.
    QString DrainReply(QNetworkReply* reply, bool store);
    // True (after its outputs) when the final file is already there and no request is needed.
    bool UseFilePresent(const QString& finalPath);
    // Opens the file to write for this transfer; false after the user message and the move to 23 or 8.
    bool OpenDownloadFile(const QString& path, bool append, const QString& dir);
    // Appends data to the download file: empty when done, else the system's text of why the data
    // could not be written (a full disk, the file or its folder removed).
    QString StoreData(const QByteArray& data);
    // Ends the run after a failed write: the folder check's result, or ResultNoAccess after the
    // "Unable to save the file" message with the error text.
    void FailStoring(const QString& error);
    // Parts of HttpRequestFinished.
    // A failed background attempt: the same request again after 10 s.
    void RetryInBackground(QNetworkReply* reply);
    // 304: prints that the file is up to date and moves to StateNotModified.
    void ReportNotModified(QNetworkReply* reply);
    void FollowRedirect(QNetworkReply* reply, const QString& target);
    void RecordProbe(QNetworkReply* reply, int status);
    void CompleteUpdateFile();
    // Records the current update as downloaded to finalPath and moves on to the next one, or to
    // StateAllDone.
    void MarkDownloaded(const QString& finalPath);
    void TakeErrorPath(QNetworkReply* reply);
    // Logs "Download failed. NetworkError ..." for a reply.
    void LogTransferFailure(QNetworkReply* reply) const;
    // Writes what the reply still holds, closes the download file and prints "Last-Modified: ";
    // the error text of StoreData.
    QString CloseDownloadFile(QNetworkReply* reply, int status);
    // Puts the update whose GET was answered with a redirect or 407 back at the head of the queue.
    void RequeueCurrentUpdate();
    // Path of the open download file (QFile keeps no name for a file opened by descriptor).
    QString DownloadFilePath() const;

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
    CUpdate* m_pFileUpdate = nullptr; // the record made for type "file", owned: m_pCurrentUpdate lets go of it
    QTimer* m_pConnectionCheckTimer = nullptr;
    QElapsedTimer* m_pLostConnectionTimeout = nullptr;
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

    // Bookkeeping beyond the run's own state: the exit step runs once, the download file's path,
    // and the uuids of the configuration kept in a hash for the applicability test.
    bool m_bExitDone = false;
    QString m_qsDownloadFilePath; // path of m_pDownloadFile
    qint64 m_nReportedBytes = -1; // bytes of the last progress report of the running GET
    mutable QSet<QString> m_setConfigUuids;
    mutable bool m_bConfigUuidsKnown = false;
};
