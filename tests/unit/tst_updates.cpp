// The updates description: reading, writing, failures and warnings of its five record classes.
#include "kvrtest.h"

#include "../../fuzz/xmlroundtrip.h"
#include "xmlmodel/ancestry.h"
#include "xmlmodel/update.h"
#include "xmlmodel/updates.h"
#include "xmlmodel/updproduct.h"
#include "xmlmodel/updproductversion.h"

#include <QtTest>

#include <ctime>

namespace {

using Fields = QList<QPair<QString, QString>>;

// The child elements of complete records, in table order.
const Fields kUpdate = {
    {"Uuid", "lum.5.6.1"}, {"UpdateType", "0"}, {"UpdateName", "en_US#Name"}, {"UpdateDescription", "en_US#Text"},
    {"UpdatePromoUrl", "https://p"}, {"FilePath", "update.bin"}, {"FileSize", "12"}, {"CheckSum", "abc"},
    {"Status", "0"}, {"DateTime", "2015-03-01 12:00:00"}, {"Chargeable", "0"}, {"LocaleName", "en_US"},
    {"DistributorName", "Corvantis"}, {"OsType", "win"}, {"Ancestry", "<Ancestor>lum.5.6.0</Ancestor>"}, {"HotfixSN", "0"}};
const Fields kVersion = {{"Major", "5"}, {"Minor", "6"}, {"SubMinor", "0"}, {"SubSubMinor", "0"}, {"StringRepresentation", "5.6.0"}};
const Fields kProduct = {{"ProductName", "Corvantis Lumen"}, {"UpdateEnabled", "1"}};
const QStringList kOptionalUpdateFields = {"Uuid", "UpdateType", "UpdatePromoUrl", "CheckSum", "Ancestry", "HotfixSN"};

// An element with the given fields less those omitted, some values replaced, and children appended.
QString Element(const QString& name, const Fields& fields, const QStringList& omit = {},
                const QMap<QString, QString>& values = {}, const QString& children = {}, const QString& attributes = {})
{
    QString text = "<" + name + (attributes.isEmpty() ? QString() : " " + attributes) + ">";
    for (const auto& field : fields) {
        if (!omit.contains(field.first))
            text += QStringLiteral("<%1>%2</%1>").arg(field.first, values.value(field.first, field.second));
    }
    return text + children + "</" + name + ">";
}

QString UpdateXml(const QStringList& omit = {}, const QMap<QString, QString>& values = {}, const QString& attributes = {})
{
    return Element("Update", kUpdate, omit, values, {}, attributes);
}

QString Description(const QString& updates, const QStringList& omitVersion = {}, const QStringList& omitProduct = {})
{
    return "<CorvantisUpdates>" + Element("Product", kProduct, omitProduct, {}, Element("Version", kVersion, omitVersion, {}, updates))
           + "</CorvantisUpdates>";
}

CUpdate* FirstUpdate(const CUpdates& updates)
{
    return updates.Product.first()->Version.first()->Update.first();
}

QString Minimum(const QString& className, const QString& field)
{
    return QStringLiteral("Error in class '%1': tag '%2' does not satisfy 'minOccurs = 1' condition").arg(className, field);
}

QString Absent(const QString& className, const QString& field)
{
    return QStringLiteral("Warning in class '%1': tag '%2' is absent").arg(className, field);
}

} // namespace

class TestUpdates : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void goldenRoundTrip();
    void failures_data();
    void failures();
    void warnings_data();
    void warnings();
    void uuidAttribute_data();
    void uuidAttribute();
    void dateTimeHeldAsLocalTime();
    void values_data();
    void values();
    void identifiers_data();
    void identifiers();
    void newRecord();
    void uniteMergesById();
    void fuzzRegressions_data();
    void fuzzRegressions();

private:
    QTemporaryDir m_dir;
};

void TestUpdates::initTestCase()
{
    qSetGlobalQHashSeed(0); // the DOM orders attributes by hash
}

void TestUpdates::goldenRoundTrip()
{
    CUpdates description;
    QCOMPARE(description.loadFromFile(KvrTest::DataPath("xml/description.xml")), 0);
    QCOMPARE(description.getId(), 4);
    QCOMPARE(description.getWarnings(),
             QStringList({Absent("CUpdate", "UpdatePromoUrl"), Absent("CUpdate", "CheckSum"), Absent("CUpdate", "Ancestry"),
                          Absent("CUpdate", "UpdatePromoUrl"), Absent("CUpdate", "CheckSum"), Absent("CUpdate", "HotfixSN"),
                          Absent("CUpdProductVersion", "Update")}));
    const CUpdProductVersion* version = description.Product.first()->Version.first();
    QCOMPARE(version->Update.size(), 3);
    const CUpdate* first = version->Update.at(0);
    QCOMPARE(first->UpdateName(), QStringList({"en_US#Lumen 5.6.1", "de_DE#Lumen 5.6.1 (Aktualisierung)"}));
    QCOMPARE(first->UpdateDescription().last(), QString::fromUtf8("fr_FR#Corrections et améliorations — été 日本語"));
    QCOMPARE(first->Ancestry.size(), 1); // a second Ancestry is kept unread
    QCOMPARE(first->Ancestry.first()->Ancestor().size(), 2);
    QCOMPARE(first->getPreservedElements().keys(), QList<qint32>({15, 18}));
    QCOMPARE(first->DateTime().toUTC(), QDateTime(QDate(2015, 3, 1), QTime(12, 0), Qt::UTC));
    const CUpdate* hotfix = version->Update.at(1);
    QCOMPARE(hotfix->Uuid(), QString("lum.5.6.0-hotfix-1"));
    QCOMPARE(QList<quint32>({hotfix->HotfixSN(), quint32(hotfix->Chargeable()), quint32(hotfix->getId())}),
             QList<quint32>({1, 1, 3})); // no id: the next free one of "Update 3"
    QCOMPARE(version->Update.at(2)->FileSize(), 4294967295u);
    QCOMPARE(description.getPreservedElements().keys(), QList<qint32>({2}));

    const QString saved = m_dir.filePath("description.xml");
    QCOMPARE(description.saveToFile(saved), 0);
    const QByteArray written = KvrTest::ReadFile(saved);
    QCOMPARE(written, KvrTest::ReadFile(KvrTest::DataPath("xml/description.golden.xml")));
    // Read again, the records write the same text.
    CUpdates again;
    QCOMPARE(again.loadFromFile(saved), 0);
    QCOMPARE(again.saveToFile(m_dir.filePath("again.xml")), 0);
    QCOMPARE(KvrTest::ReadFile(m_dir.filePath("again.xml")), written);
}

void TestUpdates::failures_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("message");
    for (const auto& field : kUpdate) {
        if (!kOptionalUpdateFields.contains(field.first))
            QTest::addRow("no %s", qPrintable(field.first)) << "CUpdates" << Description(UpdateXml({field.first}))
                                                            << Minimum("CUpdate", field.first);
    }
    for (const auto& field : kVersion)
        QTest::addRow("no %s", qPrintable(field.first)) << "CUpdates" << Description(UpdateXml(), {field.first})
                                                        << Minimum("CUpdProductVersion", field.first);
    for (const auto& field : kProduct)
        QTest::addRow("no %s", qPrintable(field.first)) << "CUpdates" << Description(UpdateXml(), {}, {field.first})
                                                        << Minimum("CUpdProduct", field.first);
    QTest::newRow("first missing in class order") << "CUpdates" << Description(UpdateXml({"OsType", "FilePath", "Uuid"}))
                                                  << Minimum("CUpdate", "FilePath");
    QTest::newRow("an empty list entry counts") << "CUpdates" << Description(UpdateXml({}, {{"UpdateName", ""}})) << "";
    const QString wrong = "': wrong root element with tag name 'Foo'";
    for (const char* name : {"CUpdates", "CUpdProduct", "CUpdProductVersion", "CUpdate", "Ancestry"})
        QTest::addRow("wrong root %s", name) << name << "<Foo><Major/></Foo>" << "Error in class '" + QString(name) + wrong;
    // An element with exactly one child, an element of the expected name, is read from it.
    const QString inner = Description(UpdateXml());
    QTest::newRow("wrapper") << "CUpdates" << "<Envelope>\n " + inner + "\n</Envelope>" << "";
    QTest::newRow("wrapper of the same name") << "CUpdates" << "<CorvantisUpdates>" + inner + "</CorvantisUpdates>" << "";
    QTest::newRow("wrapper with two children") << "CUpdates" << "<Envelope>" + inner + "<X/></Envelope>"
                                               << "Error in class 'CUpdates': wrong root element with tag name 'Envelope'";
    QTest::newRow("two wrappers") << "CUpdates" << "<A><B>" + inner + "</B></A>"
                                  << "Error in class 'CUpdates': wrong root element with tag name 'A'";
}

void TestUpdates::failures()
{
    QFETCH(QString, className);
    QFETCH(QString, document);
    QFETCH(QString, message);
    QScopedPointer<CBaseNode> node;
    if (className == "CUpdates")
        node.reset(new CUpdates);
    else if (className == "CUpdProduct")
        node.reset(new CUpdProduct);
    else if (className == "CUpdProductVersion")
        node.reset(new CUpdProductVersion);
    else if (className == "CUpdate")
        node.reset(new CUpdate);
    else
        node.reset(new Ancestry);
    QCOMPARE(node->fromXmlString(document), message.isEmpty() ? 0 : RC_XML_READ_FAILED);
    QCOMPARE(node->getErrorMessage(), message);
    QCOMPARE(node->getErrorCode(), message.isEmpty() ? 0u : quint32(RC_XML_READ_FAILED));
}

void TestUpdates::warnings_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("complete") << Description(UpdateXml()) << QStringList();
    for (const QString& field : kOptionalUpdateFields)
        QTest::addRow("no %s", qPrintable(field)) << Description(UpdateXml({field})) << QStringList(Absent("CUpdate", field));
    // Object lists come first; children's warnings in document order, before the parent's own.
    QStringList all = {Absent("CUpdate", "Ancestry")};
    for (const QString& field : kOptionalUpdateFields)
        if (field != "Ancestry")
            all << Absent("CUpdate", field);
    QTest::newRow("all optional missing") << Description(UpdateXml(kOptionalUpdateFields)) << all;
    QTest::newRow("document order")
        << "<CorvantisUpdates><Product><ProductName>P</ProductName><UpdateEnabled>1</UpdateEnabled>"
               + Element("Version", kVersion, {}, {}, UpdateXml({"CheckSum"}) + UpdateXml({"Uuid"}))
               + Element("Version", kVersion) + "</Product><Product><ProductName>Q</ProductName>"
               + "<UpdateEnabled>0</UpdateEnabled></Product></CorvantisUpdates>"
        << QStringList({Absent("CUpdate", "CheckSum"), Absent("CUpdate", "Uuid"), Absent("CUpdProductVersion", "Update"),
                        Absent("CUpdProduct", "Version")});
    QTest::newRow("no Product") << "<CorvantisUpdates/>" << QStringList(Absent("CUpdates", "Product"));
    QTest::newRow("no Ancestor") << Description(UpdateXml({}, {{"Ancestry", ""}})) << QStringList(Absent("Ancestry", "Ancestor"));
}

void TestUpdates::warnings()
{
    QFETCH(QString, document);
    QFETCH(QStringList, warnings);
    CUpdates description;
    QCOMPARE(description.fromXmlString(Description(UpdateXml({"Uuid"}))), 0); // a later read starts afresh
    QCOMPARE(description.fromXmlString(document), 0);
    QCOMPARE(description.getWarnings(), warnings);
}

void TestUpdates::uuidAttribute_data()
{
    QTest::addColumn<QString>("update");
    QTest::addColumn<QString>("uuid");
    QTest::newRow("attribute, no element") << UpdateXml({"Uuid"}, {}, "uuid=\"attr\"") << "attr";
    // Taken at the first child, even when that child is the Uuid element; a later element wins.
    QTest::newRow("attribute over a first element") << UpdateXml({}, {}, "uuid=\"attr\"") << "attr";
    QTest::newRow("element after the first child")
        << UpdateXml({"Uuid"}, {}, "uuid=\"attr\"").replace("</UpdateType>", "</UpdateType><Uuid>later</Uuid>") << "later";
    QTest::newRow("attribute of a child") << UpdateXml({"Uuid"}).replace("<FilePath>", "<FilePath uuid=\"child\">") << "child";
    QTest::newRow("other attribute name") << UpdateXml({"Uuid"}, {}, "Uuid=\"x\"") << "";
}

void TestUpdates::uuidAttribute()
{
    QFETCH(QString, update);
    QFETCH(QString, uuid);
    CUpdates description;
    QCOMPARE(description.fromXmlString(Description(update)), 0);
    const QString read = FirstUpdate(description)->Uuid();
    QCOMPARE(uuid.isEmpty() ? QString::number(read.size()) : read, uuid.isEmpty() ? QString("38") : uuid);
    QCOMPARE(description.getWarnings().contains(Absent("CUpdate", "Uuid")), uuid.isEmpty());
}

void TestUpdates::dateTimeHeldAsLocalTime()
{
    const QByteArray previous = qgetenv("TZ");
    const bool hadPrevious = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "XYZ-1"); // one hour east of UTC, no daylight saving
    tzset();
    CUpdates description;
    const int result = description.fromXmlString(Description(UpdateXml({}, {{"DateTime", "2015-03-01 12:00:00"}})));
    const QDateTime held = result == 0 ? FirstUpdate(description)->DateTime() : QDateTime();
    const QString written = description.toXmlString(true, true);
    if (hadPrevious)
        qputenv("TZ", previous);
    else
        qunsetenv("TZ");
    tzset();

    QCOMPARE(result, 0);
    QCOMPARE(held.timeSpec(), Qt::LocalTime);
    QCOMPARE(held.date(), QDate(2015, 3, 1));
    QCOMPARE(held.time(), QTime(13, 0));
    QVERIFY(written.contains("<DateTime>2015-03-01 12:00:00</DateTime>"));
}

void TestUpdates::values_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written");
    QTest::newRow("FileSize largest") << "FileSize" << "4294967295" << "4294967295";
    QTest::newRow("FileSize above 32 bits") << "FileSize" << "4294967296" << "0";
    QTest::newRow("FileSize negative") << "FileSize" << "-1" << "0";
    QTest::newRow("FileSize trailing letters") << "FileSize" << "12abc" << "0";
    QTest::newRow("Status negative") << "Status" << "-5" << "-5";
    QTest::newRow("UpdateType kept in 32 bits") << "UpdateType" << "4294967297" << "1";
    QTest::newRow("UpdateType above 64 bits") << "UpdateType" << "9223372036854775808" << "0";
    QTest::newRow("Chargeable 2") << "Chargeable" << "2" << "1";
    QTest::newRow("Chargeable text") << "Chargeable" << "yes" << "0";
    QTest::newRow("DateTime leap day") << "DateTime" << "2016-02-29 23:59:59" << "2016-02-29 23:59:59";
    QTest::newRow("DateTime invalid day") << "DateTime" << "2015-02-30 12:00:00" << "";
    QTest::newRow("DateTime ISO form") << "DateTime" << "2015-03-01T12:00:00" << "";
    QTest::newRow("last occurrence wins") << "Status" << "1</Status><Status>2" << "2";
}

void TestUpdates::values()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, written);
    CUpdates description;
    QCOMPARE(description.fromXmlString(Description(UpdateXml({}, {{field, text}}))), 0);
    const QString expected = QStringLiteral("<%1>%2</%1>").arg(field, written);
    QVERIFY2(description.toXmlString(false, true).contains(expected), qPrintable(expected));
}

void TestUpdates::identifiers_data()
{
    QTest::addColumn<QString>("attributes"); // of CorvantisUpdates
    QTest::addColumn<QStringList>("ids");    // of each Product, "" for none
    QTest::addColumn<QList<int>>("written");
    QTest::addColumn<QString>("dynLists");
    QTest::newRow("kept") << "" << QStringList({"0", "1", "2"}) << QList<int>({0, 1, 2}) << "Product 3";
    QTest::newRow("missing get the next") << "" << QStringList({"", "5", ""}) << QList<int>({6, 5, 7}) << "Product 8";
    QTest::newRow("duplicates") << "" << QStringList({"2", "2", "2"}) << QList<int>({2, 3, 4}) << "Product 5";
    QTest::newRow("next from dyn_lists") << "dyn_lists=\"Product 7\"" << QStringList({"0", ""}) << QList<int>({0, 7}) << "Product 8";
    QTest::newRow("number not after the name") << "dyn_lists=\"Product  9\"" << QStringList({""}) << QList<int>({0}) << "Product 1";
    QTest::newRow("another list's number") << "dyn_lists=\"Version 9 Product\"" << QStringList({""}) << QList<int>({0}) << "Product 1";
    QTest::newRow("number out of range") << "dyn_lists=\"Product 99999999999\"" << QStringList({""}) << QList<int>({0}) << "Product 1";
    QTest::newRow("id not a number") << "" << QStringList({"abc", ""}) << QList<int>({0, 1}) << "Product 2";
    QTest::newRow("negative id") << "" << QStringList({"-5", ""}) << QList<int>({-5, 0}) << "Product 1";
    QTest::newRow("largest id") << "" << QStringList({"2147483647", "", "2147483647"}) << QList<int>({2147483647, 0, 1})
                                << "Product 2";
}

void TestUpdates::identifiers()
{
    QFETCH(QString, attributes);
    QFETCH(QStringList, ids);
    QFETCH(QList<int>, written);
    QFETCH(QString, dynLists);
    QString products;
    for (const QString& id : ids)
        products += Element("Product", kProduct, {}, {}, {}, id.isEmpty() ? QString() : "id=\"" + id + "\"");
    CUpdates description;
    QCOMPARE(description.fromXmlString("<CorvantisUpdates " + attributes + ">" + products + "</CorvantisUpdates>"), 0);
    const QString text = description.toXmlString(true, true);
    QVERIFY2(text.contains("<CorvantisUpdates schemaVersion=\"1.0\" dyn_lists=\"" + dynLists + "\""), qPrintable(text));
    CUpdates again;
    QCOMPARE(again.fromXmlString(text), 0);
    QList<int> read;
    for (const CUpdProduct* product : again.Product)
        read << product->getId();
    QCOMPARE(read, written);
}

void TestUpdates::newRecord()
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    CUpdate update;
    QVERIFY(update.Uuid().size() == 38 && update.Uuid().startsWith('{') && update.Uuid() != CUpdate().Uuid());
    QVERIFY(update.DateTime() >= before && update.DateTime() <= QDateTime::currentDateTime());
    QCOMPARE(update.DateTime().time().msec(), 0);
    QCOMPARE(update.Ancestry.size(), 1);
    QCOMPARE(QList<int>({update.Status(), int(update.Chargeable()), update.getId(), int(CUpdProduct().UpdateEnabled())}),
             QList<int>({0, 0, -1, 1}));
    // Empty lists write no entries, but dyn_lists still names them.
    const QString text = update.toXmlString(false, true);
    QVERIFY(text.contains("<Update dyn_lists=\"UpdateName UpdateDescription UpdatePromoUrl\">"));
    QVERIFY(!text.contains("<UpdateName") && !text.contains("<UpdateDescription") && !text.contains("<UpdatePromoUrl"));
    QVERIFY(text.contains("<Ancestry dyn_lists=\"Ancestor\"/>"));
}

void TestUpdates::uniteMergesById()
{
    CUpdates description;
    QCOMPARE(description.loadFromFile(KvrTest::DataPath("xml/description.xml")), 0);
    // The Product list is named in dyn_lists: product 0 goes, product 1 starts from its old content
    // (its Version list, not named in its own dyn_lists, stays), a new one gets an id above the old.
    const QString merge = "<CorvantisUpdates dyn_lists=\"Product\"><Product id=\"1\" dyn_lists=\"\">"
                          "<ProductName>Renamed</ProductName><UpdateEnabled>1</UpdateEnabled></Product>"
                          "<Product><ProductName>New</ProductName><UpdateEnabled>0</UpdateEnabled></Product></CorvantisUpdates>";
    QCOMPARE(description.fromXmlString(merge, QString(), true), 0);
    QCOMPARE(description.Product.size(), 2);
    const CUpdProduct* merged = description.Product.at(0);
    QCOMPARE(QList<int>({merged->getId(), int(merged->UpdateEnabled()), merged->Version.size()}), QList<int>({1, 1, 1}));
    QCOMPARE(merged->ProductName(), QString("Renamed"));
    QCOMPARE(merged->Version.first()->StringRepresentation(), QString("4.0.2.7"));
    QCOMPARE(description.Product.at(1)->getId(), 2);
}

void TestUpdates::fuzzRegressions_data()
{
    QTest::addColumn<QString>("path");
    for (const QString& folder : {KvrTest::DataPath("xml/fuzz-regressions"), KvrTest::DataPath("xml")}) {
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(file.fileName())) << file.filePath();
    }
}

void TestUpdates::fuzzRegressions()
{
    // The inputs that the fuzzer found, and the seed documents: loaded, written and loaded again.
    QFETCH(QString, path);
    const QString failure = XmlRoundTrip::Check(KvrTest::ReadFile(path), m_dir.filePath("fuzz-input.xml"));
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

QTEST_MAIN(TestUpdates)
#include "tst_updates.moc"
