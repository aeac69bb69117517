// The updater configuration file: defaults, reading, writing and failures.
#include "kvrtest.h"

#include "platform/hostutils.h"
#include "xmlmodel/ancestry.h"
#include "xmlmodel/update.h"
#include "xmlmodel/updaterconfig.h"
#include "xmlmodel/updproductversion.h"

#include <QLocale>
#include <QtTest>

namespace {

const QString kAutomatic = "<AutomaticUpdate><UpdateEnabled>1</UpdateEnabled><UpdatePeriod>7</UpdatePeriod>"
                           "<NotifyUser>0</NotifyUser><DownloadEnabled>1</DownloadEnabled>"
                           "<InstallEnabled>1</InstallEnabled></AutomaticUpdate>";
const QString kScalars = "<UpdateUrl>https://u</UpdateUrl><RemindPeriod>3</RemindPeriod>"
                         "<BuyLink>https://b</BuyLink><DownloadPath>/d</DownloadPath>";

QString Config(const QString& content)
{
    return "<CorvantisUpdaterConfig>" + content + "</CorvantisUpdaterConfig>";
}

QString Without(QString text, const QString& name)
{
    const int start = text.indexOf("<" + name + ">");
    const int end = text.indexOf("</" + name + ">");
    return text.remove(start, end + name.size() + 3 - start);
}

QString Minimum(const QString& className, const QString& field)
{
    return QStringLiteral("Error in class '%1': tag '%2' does not satisfy 'minOccurs = 1' condition").arg(className, field);
}

// The values of a configuration that was never loaded (French locale, configuration folder from the environment).
void CompareDefaults(const CUpdaterConfig& config)
{
    QCOMPARE(config.UpdateUrl(), QString("https://update.corvantis.example/quorra/v5/corvantis_updates.xml"));
    QCOMPARE(config.BuyLink(), QString("https://www.corvantis.example/buy-lum5-fr_FR/"));
    QCOMPARE(config.DownloadPath(), HostUtils::ConfigFolder());
    QCOMPARE(config.RemindPeriod(), 0u);
    const CAutomaticUpdate* automatic = config.getAutomaticUpdate();
    QVERIFY(automatic != nullptr && config.AutomaticUpdate.size() == 1);
    QCOMPARE(QList<int>({automatic->UpdateEnabled(), automatic->UpdatePeriod(), automatic->NotifyUser(),
                         automatic->DownloadEnabled(), automatic->InstallEnabled()}),
             QList<int>({0, 1, 1, 0, 0}));
    QVERIFY(config.getUpdates() != nullptr && config.CorvantisUpdates.size() == 1);
    QVERIFY(config.getUpdates()->Product.isEmpty());
}

} // namespace

class TestUpdaterConfig : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void defaults();
    void goldenRoundTrip();
    void failures_data();
    void failures();
    void readResetsEmbeddedParts();
    void copies();

private:
    QTemporaryDir m_dir;
};

void TestUpdaterConfig::initTestCase()
{
    qSetGlobalQHashSeed(0); // the DOM orders attributes by hash
    qputenv("CORVANTIS_CONFIG_DIR", m_dir.filePath("config").toUtf8());
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
}

void TestUpdaterConfig::defaults()
{
    CUpdaterConfig fresh;
    CompareDefaults(fresh);
    QCOMPARE(fresh.DownloadPath(), m_dir.filePath("config"));

    // Saved and loaded again: the same values, the link with the locale substituted already.
    const QString path = m_dir.filePath("fresh.xml");
    QCOMPARE(fresh.saveToFile(path), 0);
    QVERIFY(KvrTest::ReadFile(path).contains("<CorvantisUpdaterConfig schemaVersion=\"1.0\" dyn_lists=\"\">\n"
                                             "   <AutomaticUpdate dyn_lists=\"\">"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    CUpdaterConfig loaded;
    const int result = loaded.loadFromFile(path);
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    QCOMPARE(result, 0);
    QCOMPARE(loaded.getWarnings(), QStringList("Warning in class 'CUpdates': tag 'Product' is absent"));
    CompareDefaults(loaded);

    QCOMPARE(loaded.loadFromFile(KvrTest::DataPath("xml/config.xml")), 0);
    loaded.resetToDefaults();
    CompareDefaults(loaded);
}

void TestUpdaterConfig::goldenRoundTrip()
{
    // The file is in the written form already: it must be written back byte for byte.
    const QString input = KvrTest::DataPath("xml/config.xml");
    CUpdaterConfig config;
    QCOMPARE(config.loadFromFile(input), 0);
    QCOMPARE(config.getWarnings(), QStringList({"Warning in class 'CUpdProduct': tag 'Version' is absent",
                                                "Warning in class 'CUpdProduct': tag 'Version' is absent",
                                                "Warning in class 'CUpdate': tag 'UpdatePromoUrl' is absent"}));
    QCOMPARE(QList<int>({config.getAutomaticUpdate()->UpdatePeriod(), config.getAutomaticUpdate()->NotifyUser(),
                         int(config.RemindPeriod())}),
             QList<int>({7, 0, 3}));
    QCOMPARE(config.BuyLink(), QString("https://www.corvantis.example/buy-lum5-de_DE/"));
    const CUpdate* installed = config.getUpdates()->Product.at(2)->Version.first()->Update.first();
    QCOMPARE(installed->Status(), 1);
    QCOMPARE(installed->Ancestry.first()->Ancestor(), QStringList("lum.5.6.0-36436.en_US.corvantis.win"));
    // The unknown ProxyHint and the second AutomaticUpdate are kept unread.
    QCOMPARE(config.getPreservedElements().keys(), QList<qint32>({2, 7}));

    const QString saved = m_dir.filePath("config.xml");
    QCOMPARE(config.saveToFile(saved), 0);
    QCOMPARE(KvrTest::ReadFile(saved), KvrTest::ReadFile(input));
}

void TestUpdaterConfig::failures_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("warnings");
    const QString complete = Config(kAutomatic + kScalars + "<CorvantisUpdates/>");
    const QStringList noProduct = {"Warning in class 'CUpdates': tag 'Product' is absent"};
    QTest::newRow("complete") << complete << QString() << noProduct;
    QTest::newRow("empty") << Config("") << Minimum("CUpdaterConfig", "UpdateUrl")
                           << QStringList({"Warning in class 'CUpdaterConfig': tag 'AutomaticUpdate' is absent",
                                           "Warning in class 'CUpdaterConfig': tag 'CorvantisUpdates' is absent"});
    for (const char* field : {"UpdateUrl", "RemindPeriod", "BuyLink", "DownloadPath"})
        QTest::addRow("no %s", field) << Without(complete, field) << Minimum("CUpdaterConfig", field) << noProduct;
    // The innermost message surfaces at the top.
    for (const char* field : {"UpdateEnabled", "UpdatePeriod", "NotifyUser", "DownloadEnabled", "InstallEnabled"})
        QTest::addRow("no AutomaticUpdate/%s", field) << Without(complete, field) << Minimum("CAutomaticUpdate", field)
                                                      << QStringList();
    const QString version = "<Version><Major>1</Major><Minor>0</Minor><SubMinor>0</SubMinor><SubSubMinor>0</SubSubMinor>"
                            "<StringRepresentation>1</StringRepresentation>%1</Version>";
    QTest::newRow("update without FilePath")
        << Config(kAutomatic + kScalars + "<CorvantisUpdates><Product><ProductName>P</ProductName><UpdateEnabled>1"
                  "</UpdateEnabled>" + version.arg("<Update><UpdateName>n</UpdateName><UpdateDescription>d"
                                                   "</UpdateDescription></Update>") + "</Product></CorvantisUpdates>")
        << Minimum("CUpdate", "FilePath") << QStringList();
}

void TestUpdaterConfig::failures()
{
    QFETCH(QString, document);
    QFETCH(QString, message);
    QFETCH(QStringList, warnings);
    CUpdaterConfig config;
    QCOMPARE(config.fromXmlString(document), message.isEmpty() ? 0 : RC_XML_READ_FAILED);
    QCOMPARE(config.getErrorMessage(), message);
    QCOMPARE(config.getWarnings(), warnings);
}

void TestUpdaterConfig::readResetsEmbeddedParts()
{
    CUpdaterConfig config;
    CAutomaticUpdate* automatic = config.getAutomaticUpdate();
    automatic->UpdatePeriod.set(99);
    config.getUpdates()->Product.append(new CUpdProduct);
    // No AutomaticUpdate in the text: its defaults are in force again. The products are the text's.
    const QString text = Config(QString(kScalars).replace("<RemindPeriod>3", "<RemindPeriod>4294967296") + "<CorvantisUpdates/>");
    QCOMPARE(config.fromXmlString(text), 0);
    QCOMPARE(config.getWarnings(), QStringList({"Warning in class 'CUpdates': tag 'Product' is absent",
                                                "Warning in class 'CUpdaterConfig': tag 'AutomaticUpdate' is absent"}));
    QCOMPARE(config.getAutomaticUpdate(), automatic); // read into the children it owns
    QCOMPARE(automatic->UpdatePeriod(), 1);
    QVERIFY(automatic->isDefaulted() && !config.getUpdates()->isDefaulted());
    QVERIFY(config.getUpdates()->Product.isEmpty());
    QCOMPARE(config.RemindPeriod(), 0u); // above 32 bits
    QCOMPARE(config.fromXmlString(Config(QString(kAutomatic).replace("<UpdatePeriod>7", "<UpdatePeriod>4294967297")
                                         + kScalars)),
             0);
    QCOMPARE(automatic->UpdatePeriod(), 1); // read in 64 bits, kept in 32

    // Without the parts, a read creates them again.
    config.AutomaticUpdate.clear();
    delete config.CorvantisUpdates.takeAt(0);
    QVERIFY(config.getAutomaticUpdate() == nullptr && config.getUpdates() == nullptr);
    QCOMPARE(config.fromXmlString(Config(kAutomatic + kScalars + "<CorvantisUpdates/>")), 0);
    QVERIFY(config.getAutomaticUpdate() != nullptr && config.getUpdates() != nullptr);
}

void TestUpdaterConfig::copies()
{
    CUpdaterConfig original;
    QCOMPARE(original.loadFromFile(KvrTest::DataPath("xml/config.xml")), 0);
    const QString text = original.toXmlString(true, false);
    CUpdaterConfig copy(original);
    CUpdaterConfig assigned;
    assigned.getUpdates()->Product.append(new CUpdProduct);
    assigned = original;
    const CUpdaterConfig& self = assigned;
    assigned = self;
    QCOMPARE(copy.getFileName(), original.getFileName());
    QVERIFY(copy.getUpdates() != original.getUpdates() && copy.getAutomaticUpdate() != original.getAutomaticUpdate());
    QCOMPARE(assigned.getUpdates()->Product.size(), 3);

    // Changing the original leaves the copies alone, preserved elements included.
    original.getUpdates()->Product.first()->ProductName.set("Changed");
    original.getAutomaticUpdate()->UpdatePeriod.set(42);
    original.getPreservedElements().first().firstChild().setNodeValue("changed");
    original.getUpdates()->Product.clear();
    QCOMPARE(copy.toXmlString(true, false), text);
    QCOMPARE(assigned.toXmlString(true, false), text);
}

QTEST_MAIN(TestUpdaterConfig)
#include "tst_updaterconfig.moc"
