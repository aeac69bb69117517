// The updater's state machine, selection rules and folder checks, driven directly.
#include "app/commandline.h"
#include "documents.h"
#include "kvrtest.h"
#include "updater/updater.h"
#include "xmlmodel/ancestry.h"
#include "xmlmodel/update.h"
#include "xmlmodel/updaterconfig.h"
#include "xmlmodel/updates.h"
#include "xmlmodel/updproduct.h"
#include "xmlmodel/updproductversion.h"

#include <QtTest>

#include <list>
#include <memory>

using namespace KvrTest;

namespace {

// A command line as main receives it, kept alive as long as the updater that reads it.
struct Line {
    explicit Line(const QStringList& words) : args(words), line(args.argc(), args.argv()) {}
    Argv args;
    CCommandLine line;
};

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void firstResultStands();
    void namesAndUrls();
    void applicability_data();
    void applicability();
    void kindOfNewUpdates_data();
    void kindOfNewUpdates();
    void localizedText_data();
    void localizedText();
    void downloadFolderAndQueue();

private:
    std::unique_ptr<CUpdater> makeUpdater(const QStringList& words, const QByteArray& config = QByteArray());
    QScopedPointer<Sandbox> m_sandbox;
    std::list<Line> m_lines;
};

void TestUpdater::init()
{
    m_sandbox.reset(new Sandbox);
    for (const char* name : {"CORVANTIS_CONFIG_DIR", "XDG_CONFIG_HOME", "HOME"})
        qputenv(name, m_sandbox->environment().value(name).toUtf8());
}

// An updater for the words, after writing the configuration file when one is given.
std::unique_ptr<CUpdater> TestUpdater::makeUpdater(const QStringList& words, const QByteArray& config)
{
    if (!config.isEmpty() && !WriteFile(m_sandbox->configDir() + "/.corvantis_updater.xml", config))
        return nullptr;
    m_lines.emplace_back(words);
    return std::make_unique<CUpdater>(&m_lines.back().line);
}

void TestUpdater::firstResultStands()
{
    auto updater = makeUpdater({"check", "-u", "lum", "-d", "x"});
    QEventLoop loop;
    QTimer::singleShot(0, [&] {
        updater->Finish(CUpdater::ResultDescriptionUnreadable);
        updater->ActivateStateMachine(CUpdater::StateUpdatesFound);
        updater->Finish(CUpdater::ResultUpToDate);
    });
    QTimer::singleShot(10000, &loop, [&] { loop.exit(-100); });
    QCOMPARE(loop.exec(), 9);
    QCOMPARE(updater->State(), int(CUpdater::StateExit));
    QCOMPARE(updater->Result(), 9);
}

void TestUpdater::namesAndUrls()
{
    QCOMPARE(makeUpdater({"check", "-u", "ferrowick", "-v"})->CurrentUuid(),
             QString("ferrowick.5.6.0-36436.en_US.corvantis.win"));
    const QString server = "https://update.corvantis.example";
    QCOMPARE(CUpdater::DefaultUpdatesUrl(1), server + "/halden/v5/corvantis/corvantis_updates.xml");
    QCOMPARE(CUpdater::DefaultUpdatesUrl(6), server + "/quorra/v5/corvantis/corvantis_updates.xml");
    QCOMPARE(CUpdater::DefaultUpdatesUrl(65535), QString("Unknown"));
    QCOMPARE(CUpdater::ProductNameForType("ferrowick"), QString("Corvantis Ferrowick"));
    QCOMPARE(CUpdater::ProductNameForType("file"), QString());
    QCOMPARE(makeUpdater({"download", "-u", "lum", "-id", "a;;b"})->ChosenUuids(), (QStringList{"a", "b"}));
}

void TestUpdater::applicability_data()
{
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<QString>("osType");
    QTest::addColumn<QStringList>("ancestors");
    QTest::addColumn<bool>("applicable");
    const QString current = kCurrentLum;
    QTest::newRow("descends from the current version") << "u1" << "win" << QStringList{"x", current} << true;
    QTest::newRow("empty uuid matches nothing") << "" << "win" << QStringList{current} << true;
    QTest::newRow("the current version itself") << current << "win" << QStringList{current} << false;
    QTest::newRow("another system") << "u1" << "Win" << QStringList{current} << false;
    QTest::newRow("no ancestor") << "u1" << "win" << QStringList{} << false;
    QTest::newRow("ancestor compared exactly") << "u1" << "win" << QStringList{current.toUpper()} << false;
    QTest::newRow("already in the configuration") << "installed" << "win" << QStringList{current} << false;
}

void TestUpdater::applicability()
{
    QFETCH(QString, uuid);
    QFETCH(QString, osType);
    QFETCH(QStringList, ancestors);
    QFETCH(bool, applicable);
    auto updater = makeUpdater({"check", "-u", "lum", "-d", "x"}, ConfigXml({"installed:0:0:1"}));
    QCOMPARE(updater->LoadConfig(), 0);
    CUpdate update;
    update.Uuid.set(uuid);
    update.OsType.set(osType);
    update.Ancestry.first()->Ancestor.set(ancestors);
    QCOMPARE(updater->IsApplicable(&update), applicable);
}

void TestUpdater::kindOfNewUpdates_data()
{
    QTest::addColumn<QStringList>("updates");
    QTest::addColumn<bool>("installation");
    QTest::addColumn<bool>("enabled"); // UpdateEnabled of the product in the configuration
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("merged");
    const QStringList all{"hf:9", "ord", "setup:0:2"};
    QTest::newRow("ordinary wins over hotfixes") << all << false << true << 0 << QStringList{"ord"};
    QTest::newRow("hotfixes alone") << QStringList{"hf:9", "setup:0:2"} << false << true << 1 << QStringList{"hf"};
    QTest::newRow("installer updates need -ui") << QStringList{"setup:0:2"} << false << true << 3 << QStringList();
    QTest::newRow("during installation") << all << true << true << 2 << QStringList{"setup"};
    QTest::newRow("during installation, nothing") << QStringList{"ord"} << true << true << 3 << QStringList();
    QTest::newRow("updates disabled") << QStringList{"ord"} << false << false << 3 << QStringList();
}

void TestUpdater::kindOfNewUpdates()
{
    QFETCH(QStringList, updates);
    QFETCH(bool, installation);
    QFETCH(bool, enabled);
    QFETCH(int, kind);
    QFETCH(QStringList, merged);
    const QString description = m_sandbox->path("description.xml");
    QVERIFY(WriteFile(description, DescriptionXml(updates)));
    QStringList words{"check", "-u", "lum", "-d", description};
    if (installation)
        words << "-ui";
    auto updater = makeUpdater(words, ConfigXml({}, enabled));
    QCOMPARE(updater->LoadConfig(), 0);
    QCOMPARE(updater->LoadUpdatesDescription(description), 0);
    QCOMPARE(updater->UpdateKind(), kind);
    QStringList found;
    for (const CUpdProduct* product : updater->WorkingConfig()->getUpdates()->Product) {
        for (const CUpdProductVersion* version : product->Version) {
            for (const CUpdate* update : version->Update) {
                found << update->Uuid();
                // A merged update descends from the current version alone.
                QCOMPARE(update->Ancestry.first()->Ancestor(), QStringList{kCurrentLum});
            }
        }
    }
    QCOMPARE(found, merged);
    QCOMPARE(updater->HasNewUpdates(), !merged.isEmpty());
}

void TestUpdater::localizedText_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    const QStringList both{"de_DE#Hallo", "en_US#Hello"};
    QTest::newRow("falls back to English") << both << "fr_FR" << "Hello";
    QTest::newRow("exact locale") << both << "de_DE" << "Hallo";
    QTest::newRow("default locale") << both << "" << "Hello";
    QTest::newRow("one entry as it stands") << QStringList{"de_DE#Hallo"} << "en_US" << "de_DE#Hallo";
    QTest::newRow("empty list") << QStringList{} << "de_DE" << "";
    QTest::newRow("language alone does not match") << QStringList{"de#Hallo", "fr_FR#Salut"} << "de_DE" << "";
}

void TestUpdater::localizedText()
{
    QFETCH(QStringList, list);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(CUpdater::LocalizedText(list, locale), text);
}

void TestUpdater::downloadFolderAndQueue()
{
    auto updater = makeUpdater({"download", "-u", "lum", "-d", "x"});
    QCOMPARE(updater->CheckDownloadFolder(-5, m_sandbox->downloads()), CUpdater::ResultOk); // a negative need is no need
    QCOMPARE(updater->CheckDownloadFolder(1, QString()), CUpdater::ResultNoDownloadFolder);
    QCOMPARE(updater->CheckDownloadFolder(std::numeric_limits<qint64>::max(), m_sandbox->downloads()),
             CUpdater::ResultNoDiskSpace);

    // Totals count the records still to download, in 64 bits.
    const QString config = m_sandbox->path("config.xml");
    QVERIFY(WriteFile(config, ConfigXml({"a:0:0:0:3000000", "b:0:0:0:7", "done:0:0:2"})));
    auto queue = makeUpdater({"download", "-u", "lum", "-c", config});
    QCOMPARE(queue->LoadConfig(), 0);
    QVERIFY(queue->SelectUpdates());
    QCOMPARE(queue->PendingUpdates().size(), 3);
    QCOMPARE(queue->TotalUpdatesSize(), qint64(3000007) * 1024);
    QCOMPARE(queue->UpdatesCount(), 2);
}

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
