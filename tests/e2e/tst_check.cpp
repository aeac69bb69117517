// "check" from a local updates description, as a caller sees it.
#include "documents.h"
#include "kvrtest.h"

#include <QtTest>

using namespace KvrTest;

class TestCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reports_data();
    void reports();
    void hostileInputs_data();
    void hostileInputs();
    void unzippedCopyReadsTranslationsBesideIt();
    void configurationIsWrittenByAdministrator();

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
    AddRows("updater/reports.json");
}

void TestCheck::reports()
{
    QFETCH(QJsonObject, row);
    const QString data = DataPath(QString()).chopped(1);
    const QStringList arguments = Words(row["args"]).replaceInStrings("@DATA@", data);
    if (!NoUiLanguageFor(row["lang"].toString()).isEmpty())
        QSKIP(qPrintable(NoUiLanguageFor(row["lang"].toString())));
    // "install" takes the German test catalogue ("test") or the product's, through the machine-wide
    // install location. With a "catalogue", the English "err" is expected as that catalogue translates it.
    if (row.contains("install"))
        QVERIFY(m_sandbox->setInstallLocation(row["install"] == "test" ? TestInstallLocation()
                                                                        : ProductInstallLocation()));
    QString err = row["err"].toString();
    if (row.contains("catalogue")) {
        const QString path = KVR_SOURCE_DIR "/translations/corvantis_" + row["catalogue"].toString() + ".ts";
        err = ReadCatalogue(path)["QObject\n" + err.chopped(1)] + '\n';
        QVERIFY(err.size() > 1 && err != row["err"].toString());
    }
    const bool nobody = row["nobody"].toBool();
    if (nobody && !NoOtherUser().isEmpty())
        QSKIP(qPrintable(NoOtherUser()));
    const RunResult run = check(arguments, row["lang"].toString(), nobody);
    QVERIFY(run.finished);
    QCOMPARE(run.out, row["out"].toString().toUtf8());
    QCOMPARE(QString::fromUtf8(run.err), err);
    QCOMPARE(run.exitCode, row["exit"].toInt());
    // A description named by the caller is left in place.
    QVERIFY(QFile::exists(arguments.at(arguments.indexOf(QRegularExpression("-d|--descr")) + 1)));
    if (row.contains("log"))
        QCOMPARE(LogLinesOf(run).filter(row["log"].toString().replace("@DATA@", data)).size(), 1);
    // Another user's run writes its per-user settings, but not the machine-wide configuration.
    if (nobody) {
        QVERIFY(!QFile::exists(configFile()));
        QVERIFY(QFile::exists(m_sandbox->path("xdgconfig/Corvantis Software/Corvantis Lumen.conf")));
    }
}

// Each row is a bash command line: $0 is the program, $1 the folder of the files below. A "config"
// ("@DEEP@" for elements nested 100000 deep) is written before the run, and must be left unchanged.
void TestCheck::hostileInputs_data()
{
    AddRows("updater/hostile.json");
}

void TestCheck::hostileInputs()
{
    if (WindowsProgram())
        QSKIP("host pipes, FIFOs and /dev/stdin around the program, in bash command lines");
    QFETCH(QJsonObject, row);
    const int exitCode = row["exit"].toInt();
    const QString files = m_sandbox->path("files");
    QStringList many;
    for (int i = 0; i < 2000; ++i) // a listing longer than a pipe holds
        many << QString("lum.5.6.1-%1.en_US.corvantis.win").arg(i);
    const QByteArray deep = QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000);
    const QByteArray config = row["config"].toString().toUtf8().replace("@DEEP@", deep);
    QVERIFY(QDir().mkpath(files) && QFile::copy(DataPath("updater/updates.xml"), files + "/updates.xml")
            && WriteFile(files + "/many.xml", DescriptionXml(many)) && WriteFile(files + "/deep.xml", deep));
    if (!config.isEmpty())
        QVERIFY(WriteFile(configFile(), config));
    RunOptions options;
    options.environment = m_sandbox->environment();
    // The program runs last in the background, so that its pid is known for its log lines.
    const QString command = row["command"].toString() + " & echo $! > \"$1/pid\"; wait $!";
    const RunResult run = Run("bash", {"-c", command, ProgramPath(), files}, options);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err, row["err"].toString().toUtf8());
    const QStringList lines = LogLinesSince(run.logStart, ReadFile(files + "/pid").trimmed().toLongLong());
    if (row.contains("log"))
        QVERIFY2(lines.filter(row["log"].toString()).size() == 1, qPrintable(lines.join('\n')));
    QCOMPARE(ReadFile(files + "/deep.xml"), deep);
    if (!config.isEmpty())
        QCOMPARE(ReadFile(configFile()), config);
    else if (exitCode == 0 && IsRoot()) // the run's record is kept, whoever reads its output
        QVERIFY(QFile::exists(configFile()));
    if (exitCode == 0)
        QVERIFY(QFile::exists(m_sandbox->path("xdgconfig/Corvantis Software/Corvantis Lumen.conf")));
}

// An unzipped copy of the Windows release archive has no install location in the registry: it
// finds the catalogues beside itself.
void TestCheck::unzippedCopyReadsTranslationsBesideIt()
{
    const QString zip = qEnvironmentVariable("KVR_WINDOWS_ZIP");
    if (zip.isEmpty())
        QSKIP("needs the Windows release archive, which scripts/test-windows names in KVR_WINDOWS_ZIP");
    if (!NoUiLanguageFor("de_DE.UTF-8").isEmpty())
        QSKIP(qPrintable(NoUiLanguageFor("de_DE.UTF-8")));
    QProcess unzip;
    unzip.start("unzip", {"-q", zip, "-d", m_sandbox->path("release")});
    QVERIFY(unzip.waitForFinished(60000) && unzip.exitCode() == 0);
    const QString program = m_sandbox->path("release/" + QFileInfo(zip).completeBaseName() + "/kvr_updater_ctl.exe");
    RunOptions options;
    options.environment = m_sandbox->environment();
    options.environment.insert("LANG", "de_DE.UTF-8");
    const RunResult listed = Run(program, {"check", "-u", "lum", "-d", DataPath("updater/updates.xml")}, options);
    QCOMPARE(listed.exitCode, 0);
    QVERIFY2(listed.out.contains("Bereit zum Herunterladen"), listed.out.constData());
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
