// The record classes of the updates description and the updater configuration: the written form,
// the fields each class requires, the reading rules, defaults and the inputs the fuzzer found.
#include "kvrtest.h"

#include "../../fuzz/xmlroundtrip.h"
#include "xmlmodel/updaterconfig.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include <ctime>

namespace {

QString Data(const QString& name)
{
    return KvrTest::DataPath("xml/" + name);
}

// A record of the named class; a configuration for the configuration's file, else a description.
CBaseNode* NewRecord(const QString& name)
{
    if (name == "CUpdate")
        return new CUpdate;
    return name == "CUpdaterConfig" || name.startsWith("config") ? static_cast<CBaseNode*>(new CUpdaterConfig) : new CUpdates;
}

QStringList Texts(const QDomElement& parent, const QString& name, const QString& attribute = QString())
{
    QStringList texts;
    for (QDomElement e = parent.firstChildElement(name); !e.isNull(); e = e.nextSiblingElement(name))
        texts << (attribute.isEmpty() ? QString() : e.attribute(attribute) + "=") + e.text();
    return texts;
}

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        qputenv("TZ", "XYZ-1");  // one hour east of UTC, no daylight saving
        tzset();
        qputenv("CORVANTIS_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }

    void goldenRoundTrip_data()
    {
        KvrTest::AddRows("xmlmodel/golden.json"); // "warnings": "<class> <field>" of each absent field, in document order
    }

    void goldenRoundTrip()
    {
        QFETCH(QJsonObject, row);
        const QString input = row["input"].toString(), golden = row["golden"].toString();
        QStringList warnings = row["warnings"].toVariant().toStringList();
        QScopedPointer<CBaseNode> record(NewRecord(input));
        QCOMPARE(record->loadFromFile(Data(input)), 0);
        QCOMPARE(record->getWarnings(),
                 warnings.replaceInStrings(QRegularExpression("(\\w+) (\\w+)"), "Warning in class '\\1': tag '\\2' is absent"));
        QCOMPARE(record->saveToFile(m_dir.filePath("saved.xml")), 0);
        QCOMPARE(KvrTest::ReadFile(m_dir.filePath("saved.xml")), KvrTest::ReadFile(Data(golden)));
        QCOMPARE(record->loadFromFile(m_dir.filePath("saved.xml")), 0); // read again, the same text
        QCOMPARE(record->toXmlString(true, true).toUtf8(), KvrTest::ReadFile(Data(golden)));
    }

    void fields_data()
    {
        // Each field left out of a complete document: the error of a required one, surfacing at the
        // top, or one more warning of an optional one.
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("message");
        const QString error = "Error in class '%1': tag '%2' does not satisfy 'minOccurs = 1' condition";
        for (const QJsonValue& row : KvrTest::Cases("xmlmodel/fields.json")) {
            const QString file = row["file"].toString();
            const QStringList required = row["required"].toString().split(' ', Qt::SkipEmptyParts);
            for (const QString& field : required + row["optional"].toString().split(' ', Qt::SkipEmptyParts))
                QTest::addRow("%s: %s", qPrintable(file), qPrintable(field))
                    << file << field
                    << (required.contains(field) ? error : "Warning in class '%1': tag '%2' is absent").arg(row["class"].toString(), field);
        }
    }

    void fields()
    {
        QFETCH(QString, file);
        QFETCH(QString, field);
        QFETCH(QString, message);
        QScopedPointer<CBaseNode> complete(NewRecord(file));
        QScopedPointer<CBaseNode> edited(NewRecord(file));
        QCOMPARE(complete->loadFromFile(Data(file)), 0);
        // The first element of that name goes, with its siblings of the same name.
        QDomDocument document;
        QVERIFY(document.setContent(KvrTest::ReadFile(Data(file))));
        QDomNode parent = document.elementsByTagName(field).at(0).parentNode();
        while (!parent.firstChildElement(field).isNull())
            parent.removeChild(parent.firstChildElement(field));
        const bool required = message.startsWith("Error");
        QCOMPARE(edited->fromXmlString(document.toString()), required ? RC_XML_READ_FAILED : 0);
        if (required)
            QCOMPARE(edited->getErrorMessage(), message);
        else
            QCOMPARE(edited->getWarnings().count(message), complete->getWarnings().count(message) + 1);
    }

    void reads_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("warnings");
        QTest::addColumn<QStringList>("values"); // "field=text" as written
        QDomDocument reads;
        QVERIFY(reads.setContent(KvrTest::ReadFile(Data("reads.xml"))));
        for (QDomElement read = reads.documentElement().firstChildElement(); !read.isNull(); read = read.nextSiblingElement())
            QTest::newRow(qPrintable(read.attribute("name")))
                << read.attribute("root") << read.firstChildElement("document").text()
                << read.firstChildElement("error").text() << Texts(read, "warning") << Texts(read, "value", "field");
    }

    void reads()
    {
        QFETCH(QString, root);
        QFETCH(QString, document);
        QFETCH(QString, message);
        QFETCH(QStringList, warnings);
        QFETCH(QStringList, values);
        QScopedPointer<CBaseNode> record(NewRecord(root));
        QVERIFY(KvrTest::WriteFile(m_dir.filePath("read.xml"), document.toUtf8()));
        for (const bool fromFile : {false, true}) { // the second read starts afresh
            const int result = fromFile ? record->loadFromFile(m_dir.filePath("read.xml")) : record->fromXmlString(document);
            QCOMPARE(result, message.isEmpty() ? 0 : RC_XML_READ_FAILED);
            QCOMPARE(record->getErrorCode(), quint32(result));
            QCOMPARE(QStringList(record->getErrorMessage()) + record->getWarnings(), QStringList(message) + warnings);
            QCOMPARE(QString(", line: %1, column: %2.\n").arg(record->getErrorLine()).arg(record->getErrorColumn()),
                     message.startsWith("Error: ") ? message.mid(message.lastIndexOf(", line")) : ", line: 0, column: 0.\n");
            const QDomDocument written = record->toXmlDocument(false, true);
            for (const QString& value : values) {
                const QString field = value.section('=', 0, 0);
                QCOMPARE(field + "=" + written.elementsByTagName(field).at(0).toElement().text(), value);
            }
        }
    }

    void dateTimes_data()
    {
        KvrTest::AddRows("xmlmodel/datetimes.json"); // "held": local time, one hour east of UTC; empty for none
    }

    void dateTimes()
    {
        QFETCH(QJsonObject, row);
        const QString text = row["text"].toString(), held = row["held"].toString();
        XmlModel::DateTimeValue value(QDateTime::currentDateTime());
        value.fromText(text);
        QCOMPARE(value.get().toString("yyyy-MM-dd hh:mm:ss"), held);
        QCOMPARE(value.toText(), held.isEmpty() ? QString() : text);
    }

    void defaults()
    {
        // A fresh configuration, one saved and loaded under another locale, and one reset to defaults.
        CUpdaterConfig fresh, loaded, reset;
        QCOMPARE(fresh.saveToFile(m_dir.filePath("fresh.xml")), 0);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const int result = loaded.loadFromFile(m_dir.filePath("fresh.xml"));
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QCOMPARE(result, 0);
        reset.getAutomaticUpdate()->UpdatePeriod.set(9);
        reset.BuyLink.set("x");
        reset.CorvantisUpdates.clear();
        reset.resetToDefaults();
        for (const CUpdaterConfig* config : {&fresh, &loaded, &reset})
            QCOMPARE(config->toXmlString(true, true).replace(m_dir.filePath("config"), "@CONFIG@"),
                     QString(KvrTest::ReadFile(Data("config.default.xml"))));

        // In UTC: Windows reads the local clock without the TZ set above, but converts with it.
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        const CUpdate update;
        QVERIFY(update.Uuid().size() == 38 && update.Uuid().startsWith('{') && update.Uuid() != CUpdate().Uuid());
        QVERIFY(update.DateTime() >= before && update.DateTime() <= QDateTime::currentDateTimeUtc()
                && update.DateTime().time().msec() == 0);
        QCOMPARE(update.toXmlString(false, true)
                     .replace(update.Uuid(), "@UUID@")
                     .replace(update.DateTime().toUTC().toString("yyyy-MM-dd hh:mm:ss"), "@NOW@"),
                 QString(KvrTest::ReadFile(Data("update.default.xml"))));
    }

    void fuzzRegressions_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString& folder : {Data("fuzz-regressions"), Data("")})
            for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
                QTest::newRow(qPrintable(file.fileName())) << file.filePath();
    }

    void fuzzRegressions()
    {
        // The inputs that the fuzzer found, and the documents above: loaded, written and loaded again.
        QFETCH(QString, path);
        const QString failure = XmlRoundTrip::Check(KvrTest::ReadFile(path), m_dir.filePath("fuzz-input.xml"));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }
};

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
