// The program's command line as a caller sees it: exit status, standard output and standard error.
#include "documents.h"
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
    Sandbox m_sandbox;
};

// "@USAGE@" stands for the usage text of tests/data/cli/usage.txt.
void TestCli::usageAndVersion_data()
{
    AddRows("cli/info.json");
}

void TestCli::usageAndVersion()
{
    QFETCH(QJsonObject, row);
    const RunResult run = Run(Words(row["args"]));
    QVERIFY(run.finished);
    QCOMPARE(run.out, row["out"] == "@USAGE@" ? ReadFile(DataPath("cli/usage.txt")) : row["out"].toString().toUtf8());
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.exitCode, 0);
}

void TestCli::validation_data()
{
    AddRows("cli/validation.json");
}

void TestCli::validation()
{
    QFETCH(QJsonObject, row);
    // @DIR@ stands for an existing folder, @FILE@ for an existing file.
    const QStringList arguments = Words(row["args"]).replaceInStrings("@DIR@", m_sandbox.home()).replaceInStrings(
        "@FILE@", DataPath("cli/usage.txt"));
    // Validation runs before the translators are installed: its messages stay English under a German
    // locale, with the German catalogue in place.
    QVERIFY(m_sandbox.setInstallLocation(ProductInstallLocation()));
    RunOptions options;
    options.environment = m_sandbox.environment();
    options.environment.insert("LANG", "de_DE.UTF-8");
    const RunResult run = Run(arguments, options);
    QVERIFY(run.finished);
    QCOMPARE(QString::fromUtf8(run.err), row["err"].toString() + '\n');
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
