// The updater's state machine, selection rules and folder checks, driven directly; and the option
// look-ups on the raw word list that it reads.
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

    QScopedPointer<Sandbox> m_sandbox;
    std::list<Line> m_lines;

    // An updater for the words, after writing the configuration file when one is given.
    std::unique_ptr<CUpdater> makeUpdater(const QStringList& words, const QByteArray& config = QByteArray())
    {
        if (!config.isEmpty() && !WriteFile(m_sandbox->configDir() + "/.corvantis_updater.xml", config))
            return nullptr;
        m_lines.emplace_back(words);
        return std::make_unique<CUpdater>(&m_lines.back().line);
    }

private slots:
    void init()
    {
        m_sandbox.reset(new Sandbox);
        for (const char* name : {"CORVANTIS_CONFIG_DIR", "XDG_CONFIG_HOME", "HOME"})
            qputenv(name, m_sandbox->environment().value(name).toUtf8());
    }

    void firstResultStands()
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

    // The list given to -id; empty entries are no updates.
    void chosenUuids()
    {
        QCOMPARE(makeUpdater({"download", "-u", "lum", "-id", "a;;b"})->ChosenUuids(), (QStringList{"a", "b"}));
    }

    void applicability_data()
    {
        AddRows("updater/applicability.json");
    }

    void applicability()
    {
        QFETCH(QJsonObject, row);
        auto updater = makeUpdater({"check", "-u", "lum", "-d", "x"}, ConfigXml({"installed:0:0:1"}));
        QCOMPARE(updater->LoadConfig(), 0);
        CUpdate update;
        update.Uuid.set(row["uuid"].toString());
        update.OsType.set(row["os"].toString());
        update.Ancestry.first()->Ancestor.set(Words(row["ancestors"]));
        QCOMPARE(updater->IsApplicable(&update), row["applicable"].toBool());
    }

    // The kind of update that the run offers, and the updates merged into the working configuration;
    // "installation" runs with -ui, "disabled" turns the product's UpdateEnabled off.
    void kindOfNewUpdates_data()
    {
        AddRows("updater/kinds.json");
    }

    void kindOfNewUpdates()
    {
        QFETCH(QJsonObject, row);
        const QString description = m_sandbox->path("description.xml");
        QVERIFY(WriteFile(description, DescriptionXml(Words(row["updates"]))));
        QStringList words{"check", "-u", "lum", "-d", description};
        if (row["installation"].toBool())
            words << "-ui";
        auto updater = makeUpdater(words, ConfigXml({}, !row["disabled"].toBool()));
        QCOMPARE(updater->LoadConfig(), 0);
        QCOMPARE(updater->LoadUpdatesDescription(description), 0);
        QCOMPARE(updater->UpdateKind(), row["kind"].toInt());
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
        QCOMPARE(found, Words(row["merged"]));
        QCOMPARE(updater->HasNewUpdates(), !found.isEmpty());
    }

    void localizedText_data()
    {
        AddRows("updater/localized.json");
    }

    void localizedText()
    {
        QFETCH(QJsonObject, row);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(CUpdater::LocalizedText(Words(row["list"]), row["locale"].toString()), row["text"].toString());
    }

    void downloadFolderAndQueue()
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

    void lookups_data()
    {
        AddRows("cli/lookups.json");
    }

    // "option" is a long name.
    void lookups()
    {
        QFETCH(QJsonObject, row);
        const CmdOption* const candidates[] = {&Options::Update, &Options::Path, &Options::Url, &Options::ProxyTryCount,
                                               &Options::Version};
        const CmdOption* chosen = nullptr;
        for (const CmdOption* candidate : candidates) {
            if (row["option"] == QLatin1String(candidate->longName))
                chosen = candidate;
        }
        QVERIFY(chosen);
        Argv args(Words(row["words"]));
        CCommandLine line(args.argc(), args.argv());
        QCOMPARE(line.HasOption(*chosen), row["present"].toBool());
        QCOMPARE(line.OptionValue(*chosen), row["value"].toString());
    }
};

QTEST_GUILESS_MAIN(TestUpdater)
#include "tst_updater.moc"
