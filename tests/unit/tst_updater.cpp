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

#include <memory>
#include <vector>

using namespace KvrTest;

namespace {

// A command line as main receives it.
struct Line {
    explicit Line(const QStringList& words)
        : args(words)
        , line(args.argc(), args.argv())
    {
    }
    const CCommandLine* get() const { return &line; }
    Argv args;
    CCommandLine line;
};

CUpdate* NewUpdate(const QString& uuid, const QString& osType, const QStringList& ancestors)
{
    auto* update = new CUpdate;
    update->Uuid.set(uuid);
    update->OsType.set(osType);
    update->Ancestry.first()->Ancestor.set(ancestors);
    return update;
}

} // namespace

class TestUpdater : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstResultStands();
    void currentUuid_data();
    void currentUuid();
    void productsAndUrls_data();
    void productsAndUrls();
    void applicability_data();
    void applicability();
    void kindOfNewUpdates_data();
    void kindOfNewUpdates();
    void uuidListSkipsEmptyParts();
    void localizedText_data();
    void localizedText();
    void downloadFolder_data();
    void downloadFolder();
    void queueTotals();

private:
    std::unique_ptr<CUpdater> makeUpdater(const QStringList& words);
    // Loads a description through the updater, as state 3 does.
    int loadDescription(CUpdater& updater, const QList<UpdateSpec>& updates,
                        const QList<ProductSpec>& products = {});
    QScopedPointer<Sandbox> m_sandbox;
    std::vector<std::unique_ptr<Line>> m_lines;
    QByteArray m_savedEnvironment[3];
};

void TestUpdater::init()
{
    m_sandbox.reset(new Sandbox);
    m_savedEnvironment[0] = qgetenv("CORVANTIS_CONFIG_DIR");
    m_savedEnvironment[1] = qgetenv("XDG_CONFIG_HOME");
    m_savedEnvironment[2] = qgetenv("HOME");
    qputenv("CORVANTIS_CONFIG_DIR", QFile::encodeName(m_sandbox->configDir()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_sandbox->path("xdgconfig")));
    qputenv("HOME", QFile::encodeName(m_sandbox->home()));
}

void TestUpdater::cleanup()
{
    qputenv("CORVANTIS_CONFIG_DIR", m_savedEnvironment[0]);
    qputenv("XDG_CONFIG_HOME", m_savedEnvironment[1]);
    qputenv("HOME", m_savedEnvironment[2]);
    m_lines.clear();
}

std::unique_ptr<CUpdater> TestUpdater::makeUpdater(const QStringList& words)
{
    m_lines.push_back(std::make_unique<Line>(words));
    return std::make_unique<CUpdater>(m_lines.back()->get());
}

int TestUpdater::loadDescription(CUpdater& updater, const QList<UpdateSpec>& updates,
                                 const QList<ProductSpec>& products)
{
    const QString path = m_sandbox->path("description.xml");
    if (!WriteFile(path, DescriptionXml(updates, products)))
        return -1;
    return updater.LoadUpdatesDescription(path);
}

void TestUpdater::firstResultStands()
{
    auto updater = makeUpdater({"check", "-u", "lum", "-d", DataPath("updater/updates.xml")});
    QEventLoop loop;
    QTimer::singleShot(0, [&] {
        updater->Finish(9);
        updater->ActivateStateMachine(CUpdater::StateUpdatesFound);
        updater->Finish(4);
    });
    QTimer::singleShot(10000, &loop, [&] { loop.exit(-100); });
    QCOMPARE(loop.exec(), 9);
    QCOMPARE(updater->State(), int(CUpdater::StateExit));
    QCOMPARE(updater->Result(), 9);
}

void TestUpdater::currentUuid_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("uuid");
    QTest::newRow("built-in version") << QStringList{"check", "-u", "halden", "-d", "x"}
                                      << "halden.5.6.0-36436.en_US.corvantis.win";
    QTest::newRow("given version") << QStringList{"check", "-u", "lum", "-v", "5.7.0-40000"}
                                   << "lum.5.7.0-40000.en_US.corvantis.win";
    QTest::newRow("version without value") << QStringList{"check", "-u", "ferrowick", "-v"}
                                           << "ferrowick.5.6.0-36436.en_US.corvantis.win";
}

void TestUpdater::currentUuid()
{
    QFETCH(QStringList, words);
    QFETCH(QString, uuid);
    QCOMPARE(makeUpdater(words)->CurrentUuid(), uuid);
}

void TestUpdater::productsAndUrls_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("product");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("url");
    const QString server = "https://update.corvantis.example";
    QTest::newRow("halden") << "halden" << "Corvantis Halden" << 1
                            << server + "/halden/v5/corvantis/corvantis_updates.xml";
    QTest::newRow("ferrowick") << "ferrowick" << "Corvantis Ferrowick" << 1
                               << server + "/halden/v5/corvantis/corvantis_updates.xml";
    QTest::newRow("lum") << "lum" << "Corvantis Lumen" << 6 << server + "/quorra/v5/corvantis/corvantis_updates.xml";
    QTest::newRow("file") << "file" << "" << 65535 << "Unknown";
}

void TestUpdater::productsAndUrls()
{
    QFETCH(QString, type);
    QFETCH(QString, product);
    QFETCH(int, code);
    QFETCH(QString, url);
    QCOMPARE(CUpdater::ProductNameForType(type), product);
    QCOMPARE(CUpdater::DefaultUpdatesUrl(code), url);
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
    QTest::newRow("another ancestor") << "u1" << "win" << QStringList{"lum.5.5.0-30000.en_US.corvantis.win"} << false;
    QTest::newRow("ancestor compared exactly") << "u1" << "win" << QStringList{current.toUpper()} << false;
    QTest::newRow("already in the configuration") << "installed" << "win" << QStringList{current} << false;
}

void TestUpdater::applicability()
{
    QFETCH(QString, uuid);
    QFETCH(QString, osType);
    QFETCH(QStringList, ancestors);
    QFETCH(bool, applicable);
    UpdateSpec installed;
    installed.uuid = "installed";
    installed.status = 1;
    QVERIFY(WriteFile(m_sandbox->configDir() + "/.corvantis_updater.xml", ConfigXml({installed})));
    auto updater = makeUpdater({"check", "-u", "lum", "-d", "x"});
    QCOMPARE(updater->LoadConfig(), 0);
    std::unique_ptr<CUpdate> update(NewUpdate(uuid, osType, ancestors));
    QCOMPARE(updater->IsApplicable(update.get()), applicable);
}

void TestUpdater::kindOfNewUpdates_data()
{
    QTest::addColumn<QList<UpdateSpec>>("updates");
    QTest::addColumn<bool>("installation");
    QTest::addColumn<bool>("enabled"); // UpdateEnabled of the product in the configuration
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("merged");

    UpdateSpec ordinary, hotfix, setup, foreign;
    ordinary.uuid = "ord";
    hotfix.uuid = "hf";
    hotfix.hotfix = 9;
    setup.uuid = "setup";
    setup.type = 2;
    foreign = ordinary;
    foreign.uuid = "foreign";
    foreign.product = "Corvantis Halden";
    QTest::newRow("ordinary wins over hotfixes") << QList<UpdateSpec>{hotfix, ordinary, setup} << false << true << 0
                                                 << QStringList{"ord"};
    QTest::newRow("hotfixes alone") << QList<UpdateSpec>{hotfix, setup} << false << true << 1 << QStringList{"hf"};
    QTest::newRow("installer updates need -ui") << QList<UpdateSpec>{setup} << false << true << 3 << QStringList{};
    QTest::newRow("during installation") << QList<UpdateSpec>{ordinary, setup} << true << true << 2
                                         << QStringList{"setup"};
    QTest::newRow("during installation, nothing") << QList<UpdateSpec>{ordinary, hotfix} << true << true << 3
                                                  << QStringList{};
    QTest::newRow("another product") << QList<UpdateSpec>{foreign} << false << true << 3 << QStringList{};
    QTest::newRow("updates disabled") << QList<UpdateSpec>{ordinary} << false << false << 3 << QStringList{};
}

void TestUpdater::kindOfNewUpdates()
{
    QFETCH(QList<UpdateSpec>, updates);
    QFETCH(bool, installation);
    QFETCH(bool, enabled);
    QFETCH(int, kind);
    QFETCH(QStringList, merged);
    QVERIFY(WriteFile(m_sandbox->configDir() + "/.corvantis_updater.xml",
                      ConfigXml({}, {{"Corvantis Lumen", enabled}})));
    QStringList words{"check", "-u", "lum", "-d", "x"};
    if (installation)
        words << "-ui";
    auto updater = makeUpdater(words);
    QCOMPARE(updater->LoadConfig(), 0);
    QCOMPARE(loadDescription(*updater, updates), 0);
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

void TestUpdater::uuidListSkipsEmptyParts()
{
    auto updater = makeUpdater({"download", "-u", "lum", "-d", "x", "-id", "a;;b"});
    QCOMPARE(updater->ChosenUuids(), (QStringList{"a", "b"}));
}

void TestUpdater::localizedText_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    const QStringList both{"de_DE#Hallo", "en_US#Hello"};
    QTest::newRow("falls back to English") << both << "fr_FR" << "Hello";
    QTest::newRow("exact locale") << both << "de_DE" << "Hallo";
    QTest::newRow("one entry as it stands") << QStringList{"de_DE#Hallo"} << "en_US" << "de_DE#Hallo";
    QTest::newRow("empty list") << QStringList{} << "de_DE" << "";
    QTest::newRow("language alone does not match") << QStringList{"de#Hallo", "en_US#Hello"} << "de_DE" << "Hello";
    QTest::newRow("default locale") << both << "" << "Hello";
}

void TestUpdater::localizedText()
{
    QFETCH(QStringList, list);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(CUpdater::LocalizedText(list, locale), text);
}

void TestUpdater::downloadFolder_data()
{
    QTest::addColumn<QString>("folder"); // relative to the sandbox; "" is an empty path
    QTest::addColumn<qint64>("needed");
    QTest::addColumn<int>("code");
    QTest::newRow("negative need counts as nothing") << "home/Downloads" << qint64(-5) << 0;
    QTest::newRow("no such folder") << "home/Nowhere" << qint64(1) << 29;
    QTest::newRow("empty path") << "" << qint64(1) << 29;
    QTest::newRow("more than any volume") << "home/Downloads" << std::numeric_limits<qint64>::max() << 30;
}

void TestUpdater::downloadFolder()
{
    QFETCH(QString, folder);
    QFETCH(qint64, needed);
    QFETCH(int, code);
    auto updater = makeUpdater({"download", "-u", "lum", "-d", "x"});
    QCOMPARE(updater->CheckDownloadFolder(needed, folder.isEmpty() ? QString() : m_sandbox->path(folder)), code);
}

void TestUpdater::queueTotals()
{
    UpdateSpec a, b, done;
    a.uuid = "a";
    a.fileSizeKb = 3000000; // over 2 GiB in bytes: the total is 64-bit
    b.uuid = "b";
    b.fileSizeKb = 7;
    done.uuid = "done";
    done.status = 2;
    done.fileSizeKb = 100;
    const QString config = m_sandbox->path("config.xml");
    QVERIFY(WriteFile(config, ConfigXml({a, b, done})));
    auto updater = makeUpdater({"download", "-u", "lum", "-c", config});
    QCOMPARE(updater->LoadConfig(), 0);
    QVERIFY(updater->SelectUpdates());
    QCOMPARE(updater->PendingUpdates().size(), 3);
    QCOMPARE(updater->TotalUpdatesSize(), qint64(3000007) * 1024);
    QCOMPARE(updater->UpdatesCount(), 2);
}

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
