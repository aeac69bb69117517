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

    const QString conflict = "Simultaneous usage of command line arguments is incorrect.";
    QTest::newRow("unknown action") << QStringList{"update"} << "Updater command [update] is unknown.";
    QTest::newRow("install is not an action") << QStringList{"install", "-u", "lum"}
                                              << "Updater command [install] is unknown.";
    QTest::newRow("actions are case-sensitive") << QStringList{"Check", "-u", "lum"}
                                                << "Updater command [Check] is unknown.";
    QTest::newRow("unknown argument") << QStringList{"check", "-u", "lum", "--verbose"}
                                      << "Updater command line argument [--verbose] is unknown.";
    QTest::newRow("password is never an argument") << QStringList{"check", "-u", "lum", "-pp", "secret"}
                                                   << "Updater command line argument [-pp] is unknown.";
    QTest::newRow("a value that looks like an option") << QStringList{"check", "-u", "lum", "-v", "-5"}
                                                       << "Updater command line argument [-5] is unknown.";
    QTest::newRow("unknown argument before unknown mode") << QStringList{"check", "-u", "zap", "-x"}
                                                          << "Updater command line argument [-x] is unknown.";
    QTest::newRow("missing update type") << QStringList{"check"} << "Update mode [] is unknown.";
    QTest::newRow("unknown update type") << QStringList{"check", "--update", "Lum"} << "Update mode [Lum] is unknown.";
    QTest::newRow("later value wins") << QStringList{"check", "-u", "lum", "-u", "zap"}
                                      << "Update mode [zap] is unknown.";
    QTest::newRow("file needs download") << QStringList{"check", "-u", "file", "-f", "a", "-p", "@DIR@"}
                                         << "Illegal command [check] for update mode [file].";
    QTest::newRow("file needs a source") << QStringList{"download", "-u", "file", "-p", "@DIR@"}
                                         << "Update mode [file] needs a source file to download it.";
    QTest::newRow("file needs a target") << QStringList{"download", "-u", "file", "-f", "http://127.0.0.1/a"}
                                         << "Update mode [file] needs a target path to download the file.";
    QTest::newRow("-p followed by an option has no value")
        << QStringList{"download", "-u", "file", "-f", "x", "-p", "-fo"}
        << "Update mode [file] needs a target path to download the file.";
    QTest::newRow("unknown interactive mode") << QStringList{"check", "-u", "lum", "-m", "quiet"}
                                              << "Updater interactive mode [quiet] is unknown.";
    QTest::newRow("mode followed by an option") << QStringList{"check", "-u", "lum", "-m", "-i"}
                                                << "Updater interactive mode [] is unknown.";
    QTest::newRow("mode as the last word") << QStringList{"check", "-u", "lum", "--mode"}
                                           << "Updater interactive mode [] is unknown.";
    QTest::newRow("long and short update") << QStringList{"check", "-u", "lum", "--update", "lum"} << conflict;
    QTest::newRow("long and short mode") << QStringList{"check", "-u", "lum", "-m", "low", "--mode", "low"}
                                         << conflict;
    QTest::newRow("long and short -ud") << QStringList{"check", "-u", "lum", "-ud", "--update-description"}
                                        << conflict;
    QTest::newRow("descr with url") << QStringList{"check", "-u", "lum", "-d", "@FILE@", "-l", "http://127.0.0.1/"}
                                    << conflict;
    QTest::newRow("config with uuid list") << QStringList{"download", "-u", "lum", "-c", "@FILE@", "-id", "a"}
                                           << conflict;
    QTest::newRow("config with descr") << QStringList{"download", "-u", "lum", "--config", "@FILE@", "-d", "@FILE@"}
                                       << conflict;
    QTest::newRow("conflict before a missing path")
        << QStringList{"download", "-u", "lum", "-c", "/nonexistent/c.xml", "-l", "http://127.0.0.1/"} << conflict;
    QTest::newRow("missing path") << QStringList{"download", "-u", "lum", "-p", "/nonexistent/folder"}
                                  << "Invalid file path: [/nonexistent/folder]";
    QTest::newRow("path without value") << QStringList{"download", "-u", "lum", "-p"} << "Invalid file path: []";
    QTest::newRow("missing description") << QStringList{"check", "-u", "lum", "-d", "/nonexistent/d.xml"}
                                         << "Invalid file path: [/nonexistent/d.xml]";
    QTest::newRow("invalid url") << QStringList{"check", "-u", "lum", "-l", "http://[::1"} << "Invalid URL: []";
    QTest::newRow("invalid proxy url") << QStringList{"check", "-u", "lum", "-ps", "http://a b"} << "Invalid URL: []";
    QTest::newRow("port out of range") << QStringList{"check", "-u", "lum", "-ps", "127.0.0.1", "-po", "70000"}
                                       << "Invalid port: [70000]";
    QTest::newRow("port not a number") << QStringList{"check", "-u", "lum", "-ps", "127.0.0.1", "-po", "80a"}
                                       << "Invalid port: [80a]";
    QTest::newRow("port without server") << QStringList{"check", "-u", "lum", "-po", "8080"}
                                         << "Proxy port argument without proxy server URL.";
    const QString badDate =
        "Incorrect date-time format: mus be RFC 822 e.g. \"Wed, 02 Jun 2013 14:33:09 GMT\"";
    QTest::newRow("date with the wrong weekday") << QStringList{"download", "-u", "lum", "-lm",
                                                                "Wed, 29 Jun 2013 14:33:09 GMT"}
                                                 << badDate;
    QTest::newRow("date with an offset") << QStringList{"download", "-u", "lum", "-lm",
                                                        "Sat, 29 Jun 2013 14:33:09 +0000"}
                                         << badDate;
    QTest::newRow("date without weekday") << QStringList{"download", "-u", "lum", "-lm", "29 Jun 2013 14:33:09 GMT"}
                                          << badDate;
    QTest::newRow("halden check needs a source")
        << QStringList{"check", "-u", "halden"}
        << "To check for Corvantis Halden updates, you must specify the URL to the updates description file or "
           "the path to it if this file is stored locally.";
}

void TestCli::validation()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    RunOptions options;
    options.environment = m_sandbox.environment();
    options.environment.insert("LANG", "de_DE.UTF-8"); // validation messages are never translated
    const RunResult run = Run(expand(arguments), options);
    QVERIFY(run.finished);
    QCOMPARE(QString::fromUtf8(run.err), message + '\n');
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.exitCode, kRejected);
}

void TestCli::nonAdministratorDownloadIsRefusedSilently()
{
    if (!IsRoot())
        QSKIP("needs root to run the program as nobody");
    m_sandbox.giveToNobody();
    RunOptions options;
    options.environment = m_sandbox.environment();
    options.asNobody = true;
    const RunResult run = Run({"download", "-u", "lum", "-m", "silent"}, options);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 13);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.err, QByteArray());
    const QStringList lines = LogLinesOf(m_sandbox, run.pid);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(LogText(lines.first()), QString("kvr_updater_ctl: The updater requires authentication to download."));
    QCOMPARE(LogMark(lines.first()), QString("F"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
