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
    void hostileInputs_data();
    void hostileInputs();
    void translations();
    void unzippedCopyReadsTranslationsBesideIt();
    void languages_data();
    void languages();
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
    if (!NoUiLanguageFor(lang).isEmpty())
        QSKIP(qPrintable(NoUiLanguageFor(lang)));
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

void TestCheck::hostileInputs_data()
{
    // A bash command line: $0 is the program, $1 the folder of the files below.
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("config"); // written before the run when not empty, and then unchanged
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("logged"); // once among the run's log lines, when not empty
    const QByteArray deep = QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000);
    const QByteArray readFailure = "Updating failed as there was an error reading the updates description file.\n";
    const QByteArray configFailure = "Updating failed as there was an error reading the Corvantis Updater configuration file.\n";
    QTest::newRow("description from a pipe") << "cat \"$1/updates.xml\" | \"$0\" check -u lum -d /dev/stdin"
                                             << QByteArray() << 0 << QByteArray() << "";
    QTest::newRow("named pipe with a writer")
        << "mkfifo \"$1/fifo\"; cat \"$1/updates.xml\" > \"$1/fifo\" & \"$0\" check -u lum -d \"$1/fifo\""
        << QByteArray() << 0 << QByteArray() << "";
    QTest::newRow("named pipe whose writer has gone") << "mkfifo \"$1/fifo\"; \"$0\" check -u lum -d \"$1/fifo\""
                                                      << QByteArray() << 9 << readFailure << "Error: unexpected end of file";
    QTest::newRow("more than 256 MB") << "head -c 268435457 /dev/zero | \"$0\" check -u lum -d /dev/stdin" << QByteArray()
                                      << 9 << readFailure << "Error: XML file '/dev/stdin' is larger than 268435456 bytes!.";
    QTest::newRow("nested too deep") << "\"$0\" check -u lum -d \"$1/deep.xml\"" << QByteArray() << 9 << readFailure
                                     << "Error: elements nested deeper than 256 levels, line: 1, column: 769.";
    QTest::newRow("reader of the listing gone") << "\"$0\" check -u lum -d \"$1/many.xml\" > >(head -c 1 > /dev/null)"
                                                << QByteArray() << 0 << QByteArray()
                                                << "Can not write to the standard output: Broken pipe. The run goes on.";
    QTest::newRow("standard error closed") << "\"$0\" check -u lum -d \"$1/deep.xml\" 2>&-" << QByteArray() << 9
                                           << QByteArray() << "Can not write to the standard error";
    QTest::newRow("configuration nested too deep") << "\"$0\" check -u lum -d \"$1/updates.xml\""
                                                   << "<CorvantisUpdaterConfig>" + deep + "</CorvantisUpdaterConfig>" << 7
                                                   << configFailure << "";
    QTest::newRow("named configuration nested too deep") << "\"$0\" download -u lum --config \"$1/deep.xml\""
                                                         << QByteArray() << 1 << configFailure << "";
}

void TestCheck::hostileInputs()
{
    if (WindowsProgram())
        QSKIP("host pipes, FIFOs and /dev/stdin around the program, in bash command lines");
    QFETCH(QString, command);
    QFETCH(QByteArray, config);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    QFETCH(QString, logged);
    const QString files = m_sandbox->path("files");
    QStringList many;
    for (int i = 0; i < 2000; ++i) // a listing longer than a pipe holds
        many << QString("lum.5.6.1-%1.en_US.corvantis.win").arg(i);
    const QByteArray deep = QByteArray("<a>").repeated(100000) + QByteArray("</a>").repeated(100000);
    QVERIFY(QDir().mkpath(files) && QFile::copy(DataPath("updater/updates.xml"), files + "/updates.xml")
            && WriteFile(files + "/many.xml", DescriptionXml(many)) && WriteFile(files + "/deep.xml", deep));
    if (!config.isEmpty())
        QVERIFY(WriteFile(configFile(), config));
    RunOptions options;
    options.environment = m_sandbox->environment();
    // The program runs last in the background, so that its pid is known for its log lines.
    const RunResult run = Run("bash", {"-c", command + " & echo $! > \"$1/pid\"; wait $!", ProgramPath(), files}, options);
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.err, err);
    const QStringList lines = LogLinesSince(run.logStart, ReadFile(files + "/pid").trimmed().toLongLong());
    if (!logged.isEmpty())
        QVERIFY2(lines.filter(logged).size() == 1, qPrintable(lines.join('\n')));
    QCOMPARE(ReadFile(files + "/deep.xml"), deep);
    if (!config.isEmpty())
        QCOMPARE(ReadFile(configFile()), config);
    else if (exitCode == 0 && IsRoot()) // the run's record is kept, whoever reads its output
        QVERIFY(QFile::exists(configFile()));
    if (exitCode == 0)
        QVERIFY(QFile::exists(m_sandbox->path("xdgconfig/Corvantis Software/Corvantis Lumen.conf")));
}

void TestCheck::configurationIsNotWrittenByOthers()
{
    if (!NoOtherUser().isEmpty())
        QSKIP(qPrintable(NoOtherUser()));
    const RunResult run = check({"-u", "lum", "-d", DataPath("updater/updates.xml")}, QString(), true);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(!run.out.isEmpty());
    QVERIFY(!QFile::exists(configFile()));
    // The per-user settings are written all the same.
    QVERIFY(QFile::exists(m_sandbox->path("xdgconfig/Corvantis Software/Corvantis Lumen.conf")));
}

void TestCheck::translations()
{
    if (!NoUiLanguageFor("de_DE.UTF-8").isEmpty())
        QSKIP(qPrintable(NoUiLanguageFor("de_DE.UTF-8")));
    // The German test catalogue, found through the install location of the machine-wide settings.
    QVERIFY(m_sandbox->setInstallLocation(TestInstallLocation()));
    const RunResult listed = check({"-u", "lum", "-d", DataPath("updater/updates.xml")}, "de_DE.UTF-8");
    // The status column is as wide as the translated "Ready To Download".
    QCOMPARE(listed.out, Row("UUID", "STATUS", "NAME", 38, 27)
                             + Row("lum.5.6.1-36500.en_US.corvantis.win", "Bereit zum Herunterladen",
                                   "Lumen 5.6.1 (Deutsch)", 38, 27));
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

void TestCheck::languages_data()
{
    QTest::addColumn<QString>("lang");
    QTest::addColumn<QString>("catalogue"); // the translation expected, or empty for English
    const QStringList translated = {"ru_RU", "fr_FR", "fr_CA", "zh_CN", "zh_TW", "pt_BR", "de_DE", "de_AT",
                                    "ko_KR", "it_IT", "pl_PL", "cs_CZ", "ja_JP", "es_ES", "es_MX"};
    for (const QString& name : translated) {
        const QString catalogue = name.startsWith("zh") || name == "pt_BR" ? name : name.left(2);
        QTest::newRow(qPrintable(name)) << name + ".UTF-8" << catalogue;
    }
    // Hong Kong and Macau read Taiwan's Chinese; the other countries of Chinese and Portuguese, and the
    // languages without a catalogue, get the English texts.
    QTest::newRow("zh_HK") << "zh_HK.UTF-8" << "zh_TW";
    QTest::newRow("zh_MO") << "zh_MO.UTF-8" << "zh_TW";
    for (const char* name : {"zh_SG", "pt_PT", "nl_NL", "en_GB"})
        QTest::newRow(name) << QString(name) + ".UTF-8" << QString();
}

void TestCheck::languages()
{
    QFETCH(QString, lang);
    QFETCH(QString, catalogue);
    if (!NoUiLanguageFor(lang).isEmpty())
        QSKIP(qPrintable(NoUiLanguageFor(lang)));
    const QString source = QString::fromUtf8(kUpToDate).chopped(1);
    QString expected = source;
    if (!catalogue.isEmpty()) {
        expected = ReadCatalogue(KVR_SOURCE_DIR "/translations/corvantis_" + catalogue + ".ts")["QObject\n" + source];
        QVERIFY(!expected.isEmpty() && expected != source);
    }
    QVERIFY(m_sandbox->setInstallLocation(ProductInstallLocation()));
    const RunResult run = check({"-u", "lum", "-d", DataPath("updater/updates.xml"), "-v", "9.0.0-1"}, lang);
    QCOMPARE(QString::fromUtf8(run.err), expected + '\n');
    QCOMPARE(run.exitCode, 4);
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
