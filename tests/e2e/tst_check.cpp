// "check" from a local updates description, as a caller sees it.
#include "documents.h"
#include "kvrtest.h"

#include <QtTest>

using namespace KvrTest;

namespace {

QByteArray Pad(const QByteArray& text, int width)
{
    return text.size() < width ? text + QByteArray(width - text.size(), ' ') : text;
}

// One line of the listing, with the widths of the current uuid lum.5.6.0-36436...
QByteArray Row(const QByteArray& uuid, const QByteArray& status, const QByteArray& name, int uuidWidth = 38,
               int statusWidth = 20)
{
    return Pad(uuid, uuidWidth) + Pad(status, statusWidth) + Pad(name, 19) + '\n';
}

const QByteArray kUpToDate = "You have the latest version of the Corvantis Software.\n";

} // namespace

class TestCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reports_data();
    void reports();
    void configurationReadFailureLeavesFileAlone();
    void translations();
    void configurationIsWrittenByAdministrator();
    void configurationIsNotWrittenByOthers();

private:
    RunResult check(const QStringList& arguments, const QString& lang = QString(), bool asNobody = false);
    QString configFile() const { return m_sandbox->configDir() + "/.corvantis_updater.xml"; }
    QScopedPointer<Sandbox> m_sandbox;
};

void TestCheck::init()
{
    m_sandbox.reset(new Sandbox);
}

RunResult TestCheck::check(const QStringList& arguments, const QString& lang, bool asNobody)
{
    RunOptions options;
    options.environment = m_sandbox->environment();
    if (!lang.isEmpty())
        options.environment.insert("LANG", lang);
    options.asNobody = asNobody;
    if (asNobody)
        m_sandbox->giveToNobody();
    return Run(QStringList{"check"} + arguments, options);
}

void TestCheck::reports_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("lang");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("logged"); // a log line of the run, when not empty
    const QString data = DataPath(QString()).chopped(1);
    for (const QJsonValue& row : Cases("updater/reports.json")) {
        QTest::newRow(qPrintable(row["name"].toString()))
            << Words(row["args"]).replaceInStrings("@DATA@", data) << row["lang"].toString()
            << row["exit"].toInt() << row["out"].toString().toUtf8() << row["err"].toString().toUtf8()
            << row["log"].toString().replace("@DATA@", data);
    }
}

void TestCheck::reports()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, lang);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QString, logged);
    const RunResult run = check(arguments, lang);
    QVERIFY(run.finished);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err, err);
    QCOMPARE(run.exitCode, exitCode);
    // A description named by the caller is left in place.
    QVERIFY(QFile::exists(arguments.at(arguments.indexOf(QRegularExpression("-d|--descr")) + 1)));
    if (!logged.isEmpty())
        QCOMPARE(LogLinesOf(run).filter(logged).size(), 1);
}

void TestCheck::configurationReadFailureLeavesFileAlone()
{
    const QByteArray broken = "<CorvantisUpdaterConfig><UpdateUrl>x</UpdateUrl></CorvantisUpdaterConfig>";
    QVERIFY(WriteFile(configFile(), broken));
    const RunResult run = check({"-u", "lum", "-d", DataPath("updater/updates.xml")});
    QCOMPARE(run.err,
             QByteArray("Updating failed as there was an error reading the Corvantis Updater configuration file.\n"));
    QCOMPARE(run.exitCode, 7);
    QCOMPARE(ReadFile(configFile()), broken);
}

void TestCheck::configurationIsNotWrittenByOthers()
{
    if (!IsRoot())
        QSKIP("needs root to run the program as nobody");
    const RunResult run = check({"-u", "lum", "-d", DataPath("updater/updates.xml")}, QString(), true);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.out.isEmpty());
    QVERIFY(!QFile::exists(configFile()));
    // The per-user settings are written all the same.
    QVERIFY(QFile::exists(m_sandbox->path("xdgconfig/Corvantis Software/Corvantis Lumen.conf")));
}

void TestCheck::translations()
{
    // The install location comes from the machine-wide settings in /etc/xdg; the run gets its own
    // /etc/xdg in a private mount namespace, naming an install folder that holds a German translation.
    if (!IsRoot() || QProcess::execute("unshare", {"-m", "true"}) != 0)
        QSKIP("needs root and mount namespaces");
    const QString etc = m_sandbox->path("etcxdg");
    QVERIFY(QDir().mkpath(etc + "/Corvantis") && QDir().mkpath(m_sandbox->path("install/Resources/de")));
    QVERIFY(WriteFile(etc + "/Corvantis/Corvantis Lumen.conf",
                      "[General]\nInstallLocation=" + QFile::encodeName(m_sandbox->path("install")) + "\n"));
    QVERIFY(QFile::copy(DataPath("i18n/corvantis.qm"), m_sandbox->path("install/Resources/de/corvantis.qm")));
    RunOptions options;
    options.environment = m_sandbox->environment();
    options.environment.insert("LANG", "de_DE.UTF-8");
    auto run = [&](const QStringList& arguments) {
        return Run("unshare", QStringList{"-m", "sh", "-c", "mount --bind \"$0\" /etc/xdg && exec \"$@\"", etc,
                                          ProgramPath(), "check", "-u"} + arguments, options);
    };
    const QString description = DataPath("updater/updates.xml");
    RunResult listed = run({"lum", "-d", description});
    // The status column is as wide as the translated "Ready To Download".
    QCOMPARE(listed.out, Row("UUID", "STATUS", "NAME", 38, 27)
                             + Row("lum.5.6.1-36500.en_US.corvantis.win", "Bereit zum Herunterladen",
                                   "Lumen 5.6.1 (Deutsch)", 38, 27));
    RunResult upToDate = run({"lum", "-d", description, "-v", "9.0.0-1"});
    QCOMPARE(upToDate.err, QByteArray("Sie haben die neueste Version der Corvantis Software.\n"));
    QCOMPARE(upToDate.exitCode, 4);
    // The command line is checked before the translators are installed.
    QCOMPARE(run({"zap"}).err, QByteArray("Update mode [zap] is unknown.\n"));
}

void TestCheck::configurationIsWrittenByAdministrator()
{
    if (!IsRoot())
        QSKIP("needs root");
    // A first run creates the file; only installed records are kept, so the new update is not in it.
    const RunResult first = check({"-u", "lum", "-d", DataPath("updater/updates.xml")});
    QCOMPARE(first.exitCode, 0);
    const QByteArray created = ReadFile(configFile());
    QVERIFY(created.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CorvantisUpdaterConfig"));
    QVERIFY(created.contains("<ProductName>Corvantis Lumen</ProductName>"));
    QVERIFY(!created.contains("lum.5.6.1-36500"));
    QVERIFY(LogLinesOf(first).filter("failed").isEmpty());

    // A later run keeps installed records and elements it does not know, and drops the others.
    const QString installed = "lum.5.6.0-36436.hotfix2.en_US.corvantis.win";
    const QString downloaded = "lum.5.6.0-36436.hotfix3.en_US.corvantis.win";
    QVERIFY(WriteFile(configFile(), ConfigXml({installed + ":2:0:1", downloaded + ":3:0:2"}, true,
                                              "<Telemetry level=\"off\">x</Telemetry>\n")));

    const RunResult run = check({"-u", "lum", "-d", DataPath("updater/updates.xml")});
    QCOMPARE(run.exitCode, 0);
    const QByteArray written = ReadFile(configFile());
    QVERIFY(written.contains("<Telemetry level=\"off\">x</Telemetry>"));
    QVERIFY(written.contains(installed.toUtf8()));
    QVERIFY(!written.contains(downloaded.toUtf8()));
    QVERIFY(written.contains("<RemindPeriod>3</RemindPeriod>"));
    const QStringList removed = LogLinesOf(run).filter("Update has insufficient status");
    QCOMPARE(removed.size(), 1);
    QCOMPARE(LogText(removed.first()),
             "Update has insufficient status 2. Update record " + downloaded
                 + " has been deleted from updater config.");
}

QTEST_GUILESS_MAIN(TestCheck)
#include "tst_check.moc"
