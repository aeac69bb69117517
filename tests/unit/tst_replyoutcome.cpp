// The rules that turn a finished reply or a watchdog tick into the updater's next step.
#include "download/replyoutcome.h"
#include "updater/updater.h"

#include <QNetworkReply>
#include <QtTest>

using namespace ReplyOutcome;

class TestReplyOutcome : public QObject
{
    Q_OBJECT

private slots:
    void nextStep();
    void probesCompletionAndWatchdog();
};

void TestReplyOutcome::nextStep()
{
    const int refused = QNetworkReply::ConnectionRefusedError, six = CUpdater::StateProbeFile,
              seven = CUpdater::StateDownloadFile;
    struct Row {
        const char* name;
        Facts facts; // error, status, state, redirect target, background, retries left
        Step step;
    } rows[] = {
        {"an error comes before the status", {refused, 200, seven, false, false, 0}, Step::Failure},
        {"background retry left", {refused, 0, seven, false, true, 1}, Step::BackgroundRetry},
        {"background retries used up", {refused, 0, seven, false, true, 0}, Step::Failure},
        {"302 with a target", {0, 302, seven, true, false, 0}, Step::Redirect},
        {"302 without a target is an answer", {0, 302, six, false, false, 0}, Step::RangeProbeAnswered},
        {"303 is no redirect", {0, 303, seven, true, false, 0}, Step::FileFetched},
        {"304", {0, 304, six, false, false, 0}, Step::NotModified},
        {"407", {0, 407, seven, false, false, 0}, Step::ProxyAuthentication},
        {"description", {0, 200, CUpdater::StateGetDescription, false, false, 0}, Step::DescriptionFetched},
        {"plain probe", {0, 206, CUpdater::StateReprobeFile, false, true, 3}, Step::PlainProbeAnswered},
        {"after the run ended", {0, 200, CUpdater::StateExit, false, false, 0}, Step::Nothing},
    };
    for (const Row& row : rows)
        QVERIFY2(NextStep(row.facts) == row.step, row.name);
    QCOMPARE(Classify(QNetworkReply::HostNotFoundError), Failure::ConnectionFailed);
    QCOMPARE(Classify(refused), Failure::NetworkError);
    QCOMPARE(Classify(QNetworkReply::OperationCanceledError), Failure::CheckFolder);
}

void TestReplyOutcome::probesCompletionAndWatchdog()
{
    QVERIFY(RangeProbeShowsRanges("Bytes"));
    QVERIFY(!RangeProbeShowsRanges("bytes, none"));
    QCOMPARE(PlainProbeVerdict("BYTES", false, 200), Ranges::Supported);
    QCOMPARE(PlainProbeVerdict("none", true, 206), Ranges::NotSupported);
    QCOMPARE(PlainProbeVerdict("", false, 200), Ranges::AskWithRange); // a third probe decides
    QCOMPARE(PlainProbeVerdict("", true, 206), Ranges::Supported);
    QCOMPARE(PlainProbeVerdict("", true, 200), Ranges::NotSupported);

    QCOMPARE(FileCompletion(true, 1048576, 3145728), Completion::NextChunk);
    QCOMPARE(FileCompletion(false, 999, 1000), Completion::SizeMismatch);
    QCOMPARE(FileCompletion(true, 1001, 1000), Completion::SizeMismatch);
    QCOMPARE(FileCompletion(true, 1000, 1000), Completion::Complete);
    QVERIFY(RedirectAllowed(9));
    QVERIFY(!RedirectAllowed(10)); // the eleventh redirect of a run fails

    const int seven = CUpdater::StateDownloadFile;
    QCOMPARE(WatchdogStep(CUpdater::StateParseDescription, 30000, 20000, true), Watch::Stop);
    QCOMPARE(WatchdogStep(seven, 20000, 20000, true), Watch::Wait);
    QCOMPARE(WatchdogStep(seven, 20001, 20000, true), Watch::ConnectionLost);
    QCOMPARE(WatchdogStep(seven, 20001, 120000, true), Watch::AbortReply);
    QCOMPARE(WatchdogStep(seven, 20001, 120000, false), Watch::Wait);
}

QTEST_GUILESS_MAIN(TestReplyOutcome)
#include "tst_replyoutcome.moc"
