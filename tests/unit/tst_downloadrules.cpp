// The download layer's rules, driven without a network or a wait: the request headers, byte ranges
// and local names, the next step after a reply or a watchdog tick, the percentage, the rate counter,
// and the MD5 digests of a file, of a file as it is written, and the choice of the expected digest.
#include "download/checksum.h"
#include "download/progress.h"
#include "download/ratecounter.h"
#include "download/replyoutcome.h"
#include "download/requests.h"
#include "download/runningdigest.h"
#include "kvrtest.h"
#include "updater/updater.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <limits>

using namespace KvrTest;
using namespace ReplyOutcome;
using Requests::Kind;

namespace {
QString Md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}
} // namespace

class TestDownloadRules : public QObject
{
    Q_OBJECT

private slots:
    // The transfer suites assert the headers that their servers receive; what they cannot show is the
    // Host of an IPv6 address, and that a description request sends none of the probe's or the file's headers.
    void headers()
    {
        auto text = [](Kind kind, const char* url, const QString& lastModified, const Requests::Range* range) {
            QStringList lines;
            for (const auto& header : Requests::RequestHeaders(kind, QUrl(url), lastModified, range))
                lines << QString::fromUtf8(header.first + ": " + header.second);
            return lines.join('|');
        };
        const Requests::Range resume{400, 999};
        QCOMPARE(text(Kind::PlainProbeWithRange, "http://[::1]:81/f", "", nullptr),
                 QString("Host: [::1]|Accept-Encoding: *|Range: bytes=0-"));
        QCOMPARE(text(Kind::Description, "http://h/d.xml", "Sat, 29 Jun 2013 14:33:09 GMT", &resume), QString());
    }

    void rangesNamesAndDates()
    {
        const qint64 mib = 1048576;
        QCOMPARE(Requests::FileRange(3 * mib, 0, true).last, mib - 1);
        QCOMPARE(Requests::FileRange(3 * mib, 2 * mib + 1, true).last, 3 * mib - 1);
        QCOMPARE(Requests::FileRange(3 * mib, 0, false).last, 3 * mib - 1);

        const QString names[][2] = {
            {"http://h/a/Update%20F%C3%BCr.upd?x=1", "Update Für.upd"},
            {"http://h/a/..%2F..%2Fpasswd", "passwd"}, // an encoded slash cannot leave the folder
            {"http://h/dir/", "index.html"},
            {"http://h/a/%2E%2E", "index.html"},
        };
        for (const auto& name : names)
            QCOMPARE(Requests::LocalFileName(QUrl(name[0])), name[1]);

        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QDateTime time(QDate(2013, 6, 29), QTime(16, 33, 9), QTimeZone("Europe/Berlin"));
        QCOMPARE(Requests::HttpDateText(time), QString("Sat, 29 Jun 2013 14:33:09 GMT"));
    }

    void nextStep()
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

    void probesCompletionAndWatchdog()
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
        // Progress lines are 1000 ms apart, but the one of 100 % comes at once.
        QVERIFY(Progress::LineDue(100, 5300, 5000) && !Progress::LineDue(99, 5300, 5000));
    }

    void percentage_data()
    {
        // "position": file bytes, file size, done, file and total weights, files; announced sizes need
        // not be the real ones.
        AddRows("download/progress.json");
    }

    void percentage()
    {
        QFETCH(QJsonObject, row);
        QList<qint64> at;
        for (const QJsonValue& value : row["position"].toArray())
            at << value.toVariant().toLongLong();
        QCOMPARE(Progress::Percentage({at[0], at[1], at[2], at[3], at[4], int(at[5])}), row["percent"].toInt());
    }

    void rateSamplingAndEstimate()
    {
        QCOMPARE(CRateCounter::SampleRate(16777217, 1000), quint32(16777216)); // single precision
        QCOMPARE(CRateCounter::SampleRate(1, 2000), quint32(0));
        QCOMPARE(CRateCounter::SampleRate(10000000000000ULL, 1000), std::numeric_limits<quint32>::max());

        CRateCounter counter(2000, 1000);
        QSignalSpy changed(&counter, &CRateCounter::rateChanged);
        const quint64 none = std::numeric_limits<quint64>::max();
        counter.start();
        QVERIFY(counter.timer()->isSingleShot());
        QCOMPARE(counter.timer()->interval(), 1000);
        QCOMPARE(counter.estimatedTime(100, none), none); // no sample yet

        // Nothing arrived: no sample, and the first one is tried again after 1000 ms.
        counter.onNextSample();
        QCOMPARE(changed.count(), 0);
        QVERIFY(counter.timer()->isActive() && counter.timer()->isSingleShot());

        counter.setCurrentBytes(3000000);
        counter.onNextSample();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(counter.rate(), quint32(3000000));
        QVERIFY(counter.timer()->isActive() && !counter.timer()->isSingleShot());
        QCOMPARE(counter.timer()->interval(), 2000);

        counter.setCurrentBytes(3000002); // 2 bytes in 2 s
        counter.onNextSample();
        QCOMPARE(counter.rate(), quint32(1));
        // Average (3000000 + 1) / 2 = 1500000 bytes per second, over whole seconds.
        QCOMPARE(counter.estimatedTime(6000002, none), quint64(2));
        QCOMPARE(counter.estimatedTime(3000001, none), quint64(0)); // more than the total received

        // Stopped while its sample is handled, it stays stopped.
        connect(&counter, &CRateCounter::rateChanged, &counter, &CRateCounter::stop);
        counter.reset();
        counter.start();
        counter.setCurrentBytes(1);
        counter.onNextSample();
        QCOMPARE(counter.sampleCount(), quint32(1));
        QVERIFY(!counter.timer()->isActive());
    }

    void digest()
    {
        Sandbox sandbox;
        // 40 MiB: windows of 16, 16 and 8 MiB.
        QByteArray content(40 * 1024 * 1024, Qt::Uninitialized);
        for (int i = 0; i < content.size(); ++i)
            content[i] = char((i * 2654435761u) >> 23);
        const QString big = sandbox.path("big.bin");
        QVERIFY(WriteFile(big, content));
        QCOMPARE(Checksum::FileDigest(big), Md5Hex(content));

        const QString empty = sandbox.path("empty.bin");
        QVERIFY(WriteFile(empty, QByteArray()));
        QCOMPARE(Checksum::FileDigest(empty), QString("d41d8cd98f00b204e9800998ecf8427e"));

        // Nothing to digest: a missing file, a folder, and a link (never followed).
        const QString link = sandbox.path("link.bin");
        QVERIFY(MakeSymbolicLink(big, link));
        for (const QString& path : {sandbox.path("missing.bin"), sandbox.path(), link})
            QCOMPARE(Checksum::FileDigest(path), QString());
    }

    void running_data()
    {
        AddRows("download/running.json");
    }

    // Steps: 'b' Begin(path, start), 'a' Add(text), 'r' Restart, 'd' Drop; then Result(path, size),
    // which must be the digest of "digestOf", or empty when the row has none.
    void running()
    {
        QFETCH(QJsonObject, row);
        CRunningDigest digest;
        for (const QJsonValue& value : row["steps"].toArray()) {
            const QJsonArray step = value.toArray();
            const QString op = step[0].toString();
            if (op == "b")
                digest.Begin(step[1].toString(), step[2].toInt());
            else if (op == "a")
                digest.Add(step[1].toString().toLatin1());
            else if (op == "r")
                digest.Restart();
            else
                digest.Drop();
        }
        const QJsonValue digestOf = row["digestOf"];
        QCOMPARE(digest.Result(row["path"].toString(), row["size"].toInt()),
                 digestOf.isString() ? Md5Hex(digestOf.toString().toLatin1()) : QString());
    }

    void manyBlocks()
    {
        // Far more than the worker's queue holds, in order.
        CRunningDigest digest;
        QByteArray all;
        digest.Begin("p", 0);
        for (int i = 0; i < 64; ++i) {
            const QByteArray block(65536 + i, char(i));
            digest.Add(block);
            all += block;
        }
        QCOMPARE(digest.Result("p", all.size()), Md5Hex(all));
    }

    void expected()
    {
        QCOMPARE(Checksum::ExpectedDigest("9E107D9D372BB6826BD81D3542A419D6", "ffff"),
                 QString("9e107d9d372bb6826bd81d3542a419d6"));
        QCOMPARE(Checksum::ExpectedDigest("", "ABCD"), QString("abcd"));
        QCOMPARE(Checksum::ExpectedDigest("", ""), QString());
    }
};

QTEST_GUILESS_MAIN(TestDownloadRules)
#include "tst_downloadrules.moc"
