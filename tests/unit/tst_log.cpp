// The shared log file: line format, limits, re-creation and concurrent writers.
#include "kvrtest.h"
#include "platform/lasterror.h"
#include "platform/log.h"

#include <QJsonObject>
#include <QtTest>

using namespace KvrTest;

class TestLog : public QObject
{
    Q_OBJECT

    QString logPath() const { return m_dir->path() + "/corvantis-lum.log"; }
    QScopedPointer<QTemporaryDir> m_dir;
    QStringList lines() const
    {
        QStringList result = QString::fromUtf8(ReadFile(logPath())).split('\n');
        if (!result.isEmpty() && result.last().isEmpty())
            result.removeLast();
        return result;
    }

private slots:
    void init()
    {
        LogLevel = 1;
        m_dir.reset(new QTemporaryDir);
        // The log keeps its file open until the next one replaces it; Windows cannot remove a folder
        // that holds an open file.
        m_dir->setAutoRemove(!IsWindows());
        LogControl::SetFolder(QFile::encodeName(m_dir->path()));
    }

    void lineFormat()
    {
        const QDateTime before = QDateTime::currentDateTime();
        RestrictNewFiles();
        Platform::SetLastError(13);
        LogMessage("kvr_up2date_ctl", 0, "Updater process is running already.");
        QCOMPARE(Platform::LastError(), 13); // the caller's error survives the call
        // Writable by every user, whatever new files get by default.
        QVERIFY(!NoAccessLists().isEmpty() || OpenToEveryone(logPath()));
        const QStringList written = lines();
        QCOMPARE(written.size(), 1);
        const QRegularExpression pattern("^(\\d\\d)-(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)\\.(\\d{3}) F "
                                         "/kvr_up2date_ctl:(\\d+):([0-9a-f]+)/ Updater process is running already\\.$");
        const QRegularExpressionMatch match = pattern.match(written.first());
        QVERIFY2(match.hasMatch(), qPrintable(written.first()));
        QCOMPARE(match.captured(1).toInt(), before.date().month());
        QCOMPARE(match.captured(7).toLongLong(), QCoreApplication::applicationPid());
        QCOMPARE(match.captured(8).toULongLong(nullptr, 16), ThreadId());
        QCOMPARE(LogControl::CurrentPath(), QFile::encodeName(logPath()));
    }

    void levelMarks_data()
    {
        AddRows("log/levels.json"); // "mark" empty: not written
    }

    void levelMarks()
    {
        QFETCH(QJsonObject, row);
        const int level = row["level"].toInt();
        const QString mark = row["mark"].toString();
        LogLevel = row["threshold"].toInt();
        LogMessage("KvrXmlModel", level, "level %d", level);
        const QStringList written = lines();
        QCOMPARE(written.size(), mark.isEmpty() ? 0 : 1);
        if (!mark.isEmpty())
            QCOMPARE(written.first().mid(19, mark.size() + 1), mark + "/");
    }

    void longMessageIsCut()
    {
        const QByteArray text(10000, 'x');
        LogMessage("HostUtils", 0, "%s", text.constData());
        LogMessage("HostUtils", 0, "after");
        const QByteArray content = ReadFile(logPath());
        const int firstEnd = content.indexOf('\n');
        QCOMPARE(firstEnd + 1, 4095);
        QVERIFY(content.mid(firstEnd + 1).endsWith(" after\n"));
    }

    void replacedFileIsReopened_data()
    {
        QTest::addColumn<bool>("moved"); // moved away by a log rotation, or deleted
        QTest::newRow("deleted") << false;
        QTest::newRow("moved") << true;
    }

    void replacedFileIsReopened()
    {
        QFETCH(bool, moved);
        if (!moved && UnderWine())
            QSKIP("wine keeps the name of a deleted file until its last handle is closed");
        LogMessage("kvrdirs", 0, "before");
        const QString rotated = logPath() + ".1";
        QVERIFY(moved ? QFile::rename(logPath(), rotated) : QFile::remove(logPath()));
        QThread::msleep(1100); // the file is checked again in the next second
        LogMessage("kvrdirs", 0, "after");
        QCOMPARE(lines().size(), 1);
        QCOMPARE(LogText(lines().first()), QString("after"));
        QCOMPARE(ReadFile(rotated).count('\n'), moved ? 1 : 0);
    }

    void fallbackFolder()
    {
        QTemporaryDir state;
        const QString fallback = LogFallbackFolder(state.path());
        // A folder that is not a folder: the file cannot be created there.
        const QString blocker = m_dir->path() + "/blocker";
        QVERIFY(WriteFile(blocker, "file"));
        LogControl::SetFolder(QFile::encodeName(blocker));
        LogMessage("kvrdirs", 0, "to the fallback %lld", QCoreApplication::applicationPid());
        const QByteArray content = ReadFile(fallback + "/corvantis-lum.log");
        QVERIFY(content.endsWith(" to the fallback " + QByteArray::number(QCoreApplication::applicationPid()) + "\n"));
    }

    void qtMessages()
    {
        const QtMessageHandler previous = qInstallMessageHandler(QtMessageRelay);
        qDebug("not relayed");
        qWarning("a warning %d", 1);
        qCritical("a critical error");
        LogLevel = 0;
        qWarning("hidden below the threshold");
        qInstallMessageHandler(previous);
        const QStringList written = lines();
        QCOMPARE(written.size(), 2);
        QCOMPARE(written.at(0).mid(19), QString("W /[QT]:%1:%2/ a warning 1")
                                            .arg(QCoreApplication::applicationPid())
                                            .arg(ThreadId(), 0, 16));
        QCOMPARE(LogMark(written.at(1)), QString("F"));
        QCOMPARE(LogText(written.at(1)), QString("a critical error"));
    }

    void assertionReport()
    {
        const qint64 m_nUpdateFileSize = 0;
        const int line = __LINE__ + 1;
        KVR_ASSERT("kvr_up2date_ctl", m_nUpdateFileSize);
        KVR_ASSERT("kvr_up2date_ctl", m_nUpdateFileSize == 0); // holds: nothing written
        const QStringList written = lines();
        QCOMPARE(written.size(), 1);
        QCOMPARE(LogText(written.first()),
                 QString("ASSERT( m_nUpdateFileSize ) occured in %1:%2 [TestLog::assertionReport]").arg(__FILE__).arg(line));
        QCOMPARE(QualifiedFunctionName("QList<int> Ns::Klass::list(int)"), QByteArray("Ns::Klass::list"));
        QCOMPARE(QualifiedFunctionName("bool Less::operator()(int, int) const"), QByteArray("Less::operator()"));
    }

    void concurrentWriters()
    {
        if (UnderWine())
            QSKIP("wine appends in two steps, finding the end and writing there, so concurrent lines can overlap");
        const int processes = 4, threads = 4, perThread = 1500;
        QList<QProcess*> writers;
        for (int p = 0; p < processes; ++p) {
            auto* process = new QProcess(this);
            process->start(HelperPath("logwriter"), {m_dir->path(), QString("proc%1").arg(p), QString::number(threads),
                                                     QString::number(perThread)});
            writers << process;
        }
        for (QProcess* process : writers) {
            QVERIFY(process->waitForFinished(120000));
            QCOMPARE(process->exitCode(), 0);
        }

        // Every line is whole and every numbered line is there exactly once.
        const QRegularExpression whole("^\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} F /logwriter:\\d+:[0-9a-f]+/ "
                                       "(\\w+) (\\d+) (\\d+) ([a-z]*)\\.$");
        QHash<QString, int> seen;
        const QStringList written = lines();
        for (const QString& line : written) {
            const QRegularExpressionMatch match = whole.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line.left(200)));
            const QString payload = match.captured(4);
            QVERIFY(payload.isEmpty() || payload.count(payload.at(0)) == payload.size());
            seen[match.captured(1) + ' ' + match.captured(2) + ' ' + match.captured(3)]++;
        }
        QCOMPARE(written.size(), processes * threads * perThread);
        QCOMPARE(seen.size(), written.size());
    }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
