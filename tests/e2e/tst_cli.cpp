// The program's command line as a caller sees it: exit status, standard output and standard error.
#include "kvrtest.h"

#include <QtTest>

using namespace KvrTest;

namespace {
const int kRejected = 3; // 0x80000003 keeps its low byte in a POSIX exit status
}

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void usageAndVersion_data();
    void usageAndVersion();
    void validation_data();
    void validation();
    void nonAdministratorDownloadIsRefusedSilently();
    void wholeResultCodeOnWindows_data();
    void wholeResultCodeOnWindows();

private:
    QStringList expand(const QStringList& arguments) const;
    Sandbox m_sandbox;
};

QStringList TestCli::expand(const QStringList& arguments) const
{
    QStringList expanded;
    for (QString word : arguments) {
        word.replace("@DIR@", m_sandbox.home());
        word.replace("@FILE@", DataPath("cli/usage.txt"));
        expanded << word;
    }
    return expanded;
}

void TestCli::usageAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("out");
    const QByteArray usage = ReadFile(DataPath("cli/usage.txt"));
    QVERIFY(usage.endsWith("<md5-hash>]\n"));
    QTest::newRow("no arguments") << QStringList() << usage;
    QTest::newRow("info") << QStringList{"info"} << usage;
    QTest::newRow("info ignores further words") << QStringList{"info", "-zz", "stray"} << usage;
    QTest::newRow("version") << QStringList{"version"} << QByteArray("Version: 5.6.0-36436\n");
    QTest::newRow("version with options") << QStringList{"version", "-u", "nothing"}
                                          << QByteArray("Version: 5.6.0-36436\n");
}

void TestCli::usageAndVersion()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, out);
    const RunResult run = Run(arguments);
    QVERIFY(run.finished);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
}

void TestCli::validation_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    // @DIR@ stands for an existing folder, @FILE@ for an existing file.
    for (const QJsonValue& row : Cases("cli/validation.json"))
        QTest::newRow(qPrintable(row["name"].toString())) << Words(row["args"]) << row["err"].toString();
}

void TestCli::validation()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    // Validation runs before the translators are installed: its messages stay English under a German
    // locale, with the German catalogue in place.
    QVERIFY(m_sandbox.setInstallLocation(ProductInstallLocation()));
    RunOptions options;
    options.environment = m_sandbox.environment();
    options.environment.insert("LANG", "de_DE.UTF-8");
    const RunResult run = Run(expand(arguments), options);
    QVERIFY(run.finished);
    QCOMPARE(QString::fromUtf8(run.err), message + '\n');
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.exitCode, kRejected);
}

void TestCli::nonAdministratorDownloadIsRefusedSilently()
{
    if (!NoOtherUser().isEmpty())
        QSKIP(qPrintable(NoOtherUser()));
    m_sandbox.giveToNobody();
    RunOptions options;
    options.environment = m_sandbox.environment();
    options.asNobody = true;
    const RunResult run = Run({"download", "-u", "lum", "-m", "silent"}, options);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 13);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err, QByteArray());
    const QStringList lines = LogLinesOf(run);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(LogText(lines.first()), QString("kvr_updater_ctl: The updater requires authentication to download."));
    QCOMPARE(LogMark(lines.first()), QString("F"));
}

void TestCli::wholeResultCodeOnWindows_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("rejected command line: 0x80000003") << "--bogus" << QByteArray("-2147483645");
    QTest::newRow("success") << "version" << QByteArray("0");
}

// The Windows command interpreter shows the whole 32-bit result code, which wine's own exit status cuts.
void TestCli::wholeResultCodeOnWindows()
{
    if (!WindowsProgram())
        QSKIP("a POSIX exit status keeps only the low byte of the result code");
    QFETCH(QString, arguments);
    QFETCH(QByteArray, code);
    const RunResult run = Run(KVR_SOURCE_DIR "/scripts/wine-run",
                              {"cmd", "/c", WindowsPath(ProgramPath()) + " " + arguments + " & echo %ERRORLEVEL%"}, RunOptions());
    QVERIFY(run.finished);
    QCOMPARE(run.out.trimmed().split('\n').last().trimmed(), code);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
