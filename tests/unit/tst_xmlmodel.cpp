// The node framework and the record classes of the updates description and the updater
// configuration: text escaping, file errors, saving in place, identifiers, merging and copies; the
// written form, the fields each class requires, the reading rules, defaults and the inputs the fuzzer found.
#include "kvrtest.h"

#include "../../fuzz/xmlroundtrip.h"
#include "platform/filecommit.h"
#include "platform/lasterror.h"
#include "platform/log.h"
#include "xmlmodel/updaterconfig.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTextCodec>
#include <QtTest>

#include <ctime>

namespace {

const QString kProduct = "<Product%1><ProductName>P</ProductName><UpdateEnabled>1</UpdateEnabled></Product>";

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

class TestXmlModel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_logs = 0;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // "<level mark><text>" of this component's lines logged since the last call, which starts a new,
    // small log file.
    QStringList logged()
    {
        QStringList texts;
        const QString log = path(QString("log%1/").arg(m_logs)) + LogControl::FileName();
        for (const QString& line : KvrTest::LogLinesOf(log, QCoreApplication::applicationPid()))
            if (line.contains("/KvrXmlModel:"))
                texts << KvrTest::LogMark(line) + KvrTest::LogText(line);
        QDir().mkpath(path(QString("log%1").arg(++m_logs)));
        LogControl::SetFolder(QFile::encodeName(path(QString("log%1").arg(m_logs))));
        return texts;
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "XYZ-1");  // one hour east of UTC, no daylight saving
        tzset();
        qputenv("CORVANTIS_CONFIG_DIR", path("config").toUtf8());
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        logged();
    }

    void openFailures()
    {
        const QString good = Data("description.xml");
        // The message carries the system's own words for the failed open.
        auto cannot = [](const QString& name, QIODevice::OpenMode mode) {
            QFile file(name);
            return file.open(mode) ? QString() : "Error: cannot open XML file '" + name + "', err='" + file.errorString() + "'!";
        };
        const QString cannotRead = cannot(path("missing.xml"), QIODevice::ReadOnly);
        const QString cannotWrite = cannot(path("no-folder/x.xml"), QIODevice::ReadWrite);
        CUpdates updates;
        QCOMPARE(updates.loadFromFile(good), 0);
        QCOMPARE(updates.loadFromFile(nullptr, true), RC_XML_READ_FAILED);
        QCOMPARE(updates.getErrorMessage(), QString("Error: loadFromFile - File pointer is NULL!"));
        QCOMPARE(updates.loadFromFile(path("missing.xml")), RC_XML_READ_FAILED);
        QCOMPARE(updates.getErrorMessage(), cannotRead);
        QCOMPARE(updates.saveToFile(nullptr, true, true), RC_XML_WRITE_FAILED);
        QCOMPARE(updates.getErrorMessage(), QString("Error: saveToFile - File pointer is NULL!"));
        QCOMPARE(updates.saveToFile(path("no-folder/x.xml")), RC_XML_WRITE_FAILED);
        QCOMPARE(updates.getErrorMessage(), cannotWrite);
        QVERIFY(KvrTest::WriteFile(path("malformed.xml"), "<CorvantisUpdates>") && updates.loadFromFile(path("malformed.xml")) != 0);
        QCOMPARE(updates.getFileName(), good); // the last good load
        // Parse errors are only stored.
        QCOMPARE(logged(), QStringList({"FError: loadFromFile - File pointer is NULL!", "F" + cannotRead,
                                        "FError: saveToFile - File pointer is NULL!", "F" + cannotWrite}));
    }

    void saveInPlace()
    {
        const QString target = path("inplace.xml");
        QVERIFY(KvrTest::WriteFile(target, QByteArray(5000, 'x')));
        QFile opened(target); // sees the new text only when the file is rewritten, not replaced
        QVERIFY(opened.open(QIODevice::ReadOnly));
        CUpdates updates;
        updates.setId(7);
        updates.Product.append(new CUpdProduct);
        updates.Product.first()->setId(0);
        updates.Product.first()->ProductName.set(QString::fromUtf16(u"\x01\x08\x0b\x0c\x1f\xfffe\xffff\ta\nb\rc"));
        FileCommit::SetCommitFunction([](int) {
            Platform::SetLastError(5); // EIO
            return false;
        });
        const int result = updates.saveToFile(target);
        FileCommit::SetCommitFunction(nullptr);
        QCOMPARE(result, 0); // a failed commit to disk is only logged
        // The declaration, schemaVersion and no root id; the characters that XML forbids as references,
        // tab, line feed and carriage return unchanged; cut to size.
        QCOMPARE(opened.readAll(),
                 QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CorvantisUpdates schemaVersion=\"1.0\" dyn_lists=\"Product 1\">\n"
                            "   <Product id=\"0\" dyn_lists=\"Version 0\">\n      <ProductName>&#x1;&#x8;&#xb;&#xc;&#x1f;&#xfffe;&#xffff;"
                            "\ta\nb\rc</ProductName>\n      <UpdateEnabled>1</UpdateEnabled>\n   </Product>\n</CorvantisUpdates>\n"));
        const QStringList lines = logged();
        const QRegularExpression commit("^Ffsync\\(\\) failed - errno 5\\. fd \\d+\\. Filename = " + QRegularExpression::escape(target) + "$");
        QVERIFY2(lines.size() == 1 && commit.match(lines.first()).hasMatch(), qPrintable(lines.join('\n')));
        updates.Product.clear();
        QCOMPARE(updates.saveToFile(), 0); // to the file last saved
        QCOMPARE(KvrTest::ReadFile(target), updates.toXmlString(true, true).toUtf8());
    }

    void fullVolume_data()
    {
        QTest::addColumn<int>("extra"); // size of the old file beyond the document's
        QTest::addColumn<bool>("sparse");
        QTest::addColumn<int>("result");
        QTest::newRow("must grow: nothing written") << -9000 << false << RC_NOT_ENOUGH_DISK_SPACE;
        QTest::newRow("does not grow: needs no room") << 100 << false << 0;
        QTest::newRow("sparse: resized, not written") << 0 << true << RC_XML_WRITE_FAILED;
    }

    void fullVolume()
    {
        QFETCH(int, extra);
        QFETCH(bool, sparse);
        QFETCH(int, result);
        const QString mount = path("full");
        QVERIFY(QDir().mkpath(mount));
        const QString cannot = KvrTest::MountSmallVolume(mount);
        if (!cannot.isEmpty())
            QSKIP(qPrintable(cannot));
        auto unmount = qScopeGuard([&] { KvrTest::UnmountSmallVolume(mount); });
        CUpdates updates;
        for (int i = 0; i < 200; ++i) { // a text beyond the file's write buffer, the same at each write
            updates.Product.append(new CUpdProduct);
            updates.Product.last()->setId(i);
        }
        const QByteArray text = updates.toXmlString(true, true).toUtf8();
        QFile old(mount + "/config.xml");
        QVERIFY(old.open(QIODevice::WriteOnly));
        QVERIFY(sparse ? old.resize(text.size()) : old.write(QByteArray(text.size() + extra, ' ')) > 0);
        old.close();
        const QByteArray before = KvrTest::ReadFile(old.fileName());
        QFile filler(mount + "/filler");
        QVERIFY(filler.open(QIODevice::Append | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) == 4096) {
        }
        logged();
        QCOMPARE(updates.saveToFile(old.fileName()), result);
        if (!sparse) // a failed write leaves the file as far as it was written
            QCOMPARE(KvrTest::ReadFile(old.fileName()), result == 0 ? text : before);
        QCOMPARE(logged(), sparse ? QStringList("FUnable to write to file '" + old.fileName() + "'") : QStringList());
    }

    void nesting_data()
    {
        // Nesting is limited before the DOM parses (it recurses once per level): the error of a
        // parse, with where the first element too deep starts.
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("error"); // empty: the document reads
        const auto nested = [](int levels, const QByteArray& inner = QByteArray()) {
            return "<CorvantisUpdates>" + QByteArray("<a>").repeated(levels - 1) + inner
                   + QByteArray("</a>").repeated(levels - 1) + "</CorvantisUpdates>";
        };
        const QString tooDeep = "Error: elements nested deeper than 256 levels, line: %1, column: %2.\n";
        QTest::newRow("at the limit") << nested(256) << QString();
        QTest::newRow("one level more") << nested(257) << tooDeep.arg(1).arg(19 + 3 * 255);
        QTest::newRow("far too deep") << nested(100000) << tooDeep.arg(1).arg(19 + 3 * 255);
        QTest::newRow("markup in comments, CDATA and attributes does not count")
            << nested(250, "<!--" + QByteArray("<b>").repeated(9) + "--><![CDATA[<b><b><b><b><b><b><b>]]><?b <b><b>?><b x='/>'/>")
            << QString();
        QTest::newRow("elements from entities count")
            << "<!DOCTYPE a [<!ENTITY e \"" + QByteArray("<b>").repeated(100) + "\">]>\n<CorvantisUpdates>&e;&e;&e;"
                   + QByteArray("</b>").repeated(300) + "</CorvantisUpdates>"
            << tooDeep.arg(2).arg(27); // where the parser stands
        QTest::newRow("in UTF-16") << QTextCodec::codecForName("UTF-16")->fromUnicode(QString(nested(300))) << tooDeep.arg(1).arg(786);
    }

    void nesting()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, error);
        QVERIFY(KvrTest::WriteFile(path("nested.xml"), document));
        CUpdates updates;
        QCOMPARE(updates.loadFromFile(path("nested.xml")), error.isEmpty() ? 0 : RC_XML_READ_FAILED);
        QCOMPARE(updates.getErrorMessage(), error);
        if (!document.startsWith("<!") && !document.startsWith('\xff')) { // the same, given as text
            QCOMPARE(updates.fromXmlString(QString::fromUtf8(document)), error.isEmpty() ? 0 : RC_XML_READ_FAILED);
            QCOMPARE(updates.getErrorMessage(), error);
        }
    }

    void identifiers_data()
    {
        // dyn_lists of the CorvantisUpdates read, the ids of its products ("" for none), and the ids
        // written, then dyn_lists.
        KvrTest::AddRows("xmlmodel/identifiers.json");
    }

    void identifiers()
    {
        QFETCH(QJsonObject, row);
        const QString dynLists = row["dynLists"].toString();
        QString document = "<CorvantisUpdates" + (dynLists.isEmpty() ? QString() : " dyn_lists=\"" + dynLists + "\"") + ">";
        for (const QJsonValue& id : row["ids"].toArray())
            document += kProduct.arg(id.toString().isEmpty() ? QString() : " id=\"" + id.toString() + "\"");
        CUpdates description;
        QCOMPARE(description.fromXmlString(document + "</CorvantisUpdates>"), 0);
        const QDomElement root = description.toXmlDocument(false, true).documentElement();
        QStringList found;
        for (QDomElement e = root.firstChildElement("Product"); !e.isNull(); e = e.nextSiblingElement("Product"))
            found << e.attribute("id");
        QCOMPARE(found.join(' ') + " / " + root.attribute("dyn_lists"), row["written"].toString());
    }

    void uniteMergesById()
    {
        CUpdates description;
        QCOMPARE(description.loadFromFile(Data("description.xml")), 0);
        // Product is named in dyn_lists: product 0 goes, product 1 starts from its old content (its
        // Version list, not named in its own dyn_lists, stays), a new one gets an id above the old.
        const QString merge = "<CorvantisUpdates dyn_lists=\"Product\">" + kProduct.arg(" id=\"1\" dyn_lists=\"\"")
                              + kProduct.arg("").replace(">P<", ">New<") + "</CorvantisUpdates>";
        QCOMPARE(description.fromXmlString(merge, QString(), true), 0);
        QStringList found;
        for (const CUpdProduct* product : description.Product) {
            found << QString("%1 %2 %3").arg(product->getId()).arg(product->ProductName()).arg(product->UpdateEnabled());
            for (const CUpdProductVersion* version : product->Version)
                found << version->StringRepresentation();
        }
        QCOMPARE(found, QStringList({"1 P 1", "4.0.2.7", "2 New 1"}));
    }

    void copies()
    {
        CUpdaterConfig original;
        QCOMPARE(original.loadFromFile(Data("config.xml")), 0);
        const QString text = original.toXmlString(true, false);
        CUpdaterConfig copy(original);
        CUpdaterConfig assigned;
        assigned.getUpdates()->Product.append(new CUpdProduct);
        assigned = original;
        assigned = static_cast<const CUpdaterConfig&>(assigned);
        QScopedPointer<CBaseNode> clone(original.clone());
        // Changing the original leaves the copies alone, preserved elements included.
        original.getUpdates()->Product.first()->ProductName.set("Changed");
        original.getAutomaticUpdate()->UpdatePeriod.set(42);
        original.getPreservedElements().first().firstChild().setNodeValue("changed");
        QVERIFY(original.toXmlString(true, false).contains("<ProxyHint>changed</ProxyHint>"));
        original.getUpdates()->Product.clear();
        for (const CBaseNode* node : QList<const CBaseNode*>({&copy, &assigned, clone.data()}))
            QCOMPARE(node->toXmlString(true, false), text);
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
        QCOMPARE(record->saveToFile(path("saved.xml")), 0);
        QCOMPARE(KvrTest::ReadFile(path("saved.xml")), KvrTest::ReadFile(Data(golden)));
        QCOMPARE(record->loadFromFile(path("saved.xml")), 0); // read again, the same text
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
        QVERIFY(KvrTest::WriteFile(path("read.xml"), document.toUtf8()));
        for (const bool fromFile : {false, true}) { // the second read starts afresh
            const int result = fromFile ? record->loadFromFile(path("read.xml")) : record->fromXmlString(document);
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
        QCOMPARE(fresh.saveToFile(path("fresh.xml")), 0);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const int result = loaded.loadFromFile(path("fresh.xml"));
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        QCOMPARE(result, 0);
        reset.getAutomaticUpdate()->UpdatePeriod.set(9);
        reset.BuyLink.set("x");
        reset.CorvantisUpdates.clear();
        reset.resetToDefaults();
        for (const CUpdaterConfig* config : {&fresh, &loaded, &reset})
            QCOMPARE(config->toXmlString(true, true).replace(path("config"), "@CONFIG@"),
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

QTEST_MAIN(TestXmlModel)
#include "tst_xmlmodel.moc"
