// The program's command line as a caller sees it: exit status, standard output and standard error.
#include "kvrtest.h"

#include <QtTest>

using namespace KvrTest;

const int kRejected = 3; // 0x80000003 keeps its low byte in a POSIX exit status

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
    void nonAdministratorDownloadIsRefusedSilently();

private:
    Sandbox m_sandbox;
};

// A run that succeeds prints "out" ("@USAGE@": the text of tests/data/cli/usage.txt); a rejected command line
// prints "err". "@DIR@" stands for an existing folder, "@FILE@" for an existing file. Under wine, "whole" is the
// whole 32-bit result code that the Windows command interpreter shows, and wine's own exit status cuts.
void TestCli::runs_data()
{
    AddRows("cli/info.json");
    AddRows("cli/validation.json");
}

void TestCli::runs()
{
    QFETCH(QJsonObject, row);
    const QStringList arguments = Words(row["args"]).replaceInStrings("@DIR@", m_sandbox.home()).replaceInStrings(
        "@FILE@", DataPath("cli/usage.txt"));
    const bool rejected = row.contains("err");
    QVERIFY(m_sandbox.setInstallLocation(ProductInstallLocation()));
    RunOptions options;
    options.environment = m_sandbox.environment();
    // Validation runs before the translators are installed: its messages stay English under a German
    // locale, with the German catalogue in place.
    if (rejected)
        options.environment.insert("LANG", "de_DE.UTF-8");
    const RunResult run = Run(arguments, options);
    QCOMPARE(run.out, row["out"] == "@USAGE@" ? ReadFile(DataPath("cli/usage.txt")) : row["out"].toString().toUtf8());
    QCOMPARE(QString::fromUtf8(run.err), rejected ? row["err"].toString() + '\n' : QString());
    QCOMPARE(run.exitCode, rejected ? kRejected : 0);
    if (WindowsProgram() && row.contains("whole")) {
        const QString line = WindowsPath(ProgramPath()) + " " + arguments.join(' ') + " & echo %ERRORLEVEL%";
        const RunResult shown = Run(KVR_SOURCE_DIR "/scripts/wine-run", {"cmd", "/c", line}, RunOptions());
        QCOMPARE(shown.out.trimmed().split('\n').last().trimmed(), row["whole"].toString().toUtf8());
    }
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
    QCOMPARE(run.exitCode, 13);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err, QByteArray());
    const QStringList lines = LogLinesOf(run);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(LogText(lines.first()), QString("kvr_updater_ctl: The updater requires authentication to download."));
    QCOMPARE(LogMark(lines.first()), QString("F"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
