// The node framework: written form, parse errors, loading and saving, and the generic record pattern.
#include "kvrtest.h"

#include "platform/filecommit.h"
#include "platform/log.h"
#include "xmlmodel/ancestry.h"
#include "xmlmodel/automaticupdate.h"
#include "xmlmodel/updates.h"
#include "xmlmodel/updproduct.h"

#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// A record with a field of each kind, declared the way the record classes declare theirs.
class CSample : public CRecord<CSample>
{
public:
    static constexpr const char* ClassName = "CSample";
    static constexpr const char* ElementName = "Sample";

    Scalar<qint32> Count{this, "Count", Required, 5};
    Scalar<QString> Label{this, "Label", Optional, nullptr, "label"};
    StringList Tag{this, "Tag", Optional};
    DynList<::Ancestry> Ancestry{this, "Ancestry", Required};
    FixedList<CAutomaticUpdate> AutomaticUpdate{this, "AutomaticUpdate", Optional, 2};
};

namespace {

QString Automatic(int period)
{
    return QStringLiteral("<AutomaticUpdate><UpdateEnabled>1</UpdateEnabled><UpdatePeriod>%1</UpdatePeriod>"
                          "<NotifyUser>1</NotifyUser><DownloadEnabled>0</DownloadEnabled>"
                          "<InstallEnabled>0</InstallEnabled></AutomaticUpdate>")
        .arg(period);
}

// Numbered products with their identifiers, so that every write gives the same text.
void AddProducts(CUpdates& updates, int count)
{
    for (int i = 0; i < count; ++i) {
        auto* product = new CUpdProduct;
        product->ProductName.set(QString("Product %1").arg(i));
        product->setId(i);
        updates.Product.append(product);
    }
}

QStringList WrittenChildren(const CBaseNode& node)
{
    QStringList names;
    const QDomDocument document = node.toXmlDocument(false, true);
    for (QDomElement e = document.documentElement().firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        names << e.tagName();
    return names;
}

bool FailingCommit(int)
{
    errno = EIO;
    return false;
}

} // namespace

class TestBaseNode : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void characters_data();
    void characters();
    void writtenForm();
    void parseErrors_data();
    void parseErrors();
    void openFailures();
    void saveInPlace();
    void fullVolume();
    void writeAndFlushFailures();
    void commitFailureOnlyLogged();
    void preservedPositions_data();
    void preservedPositions();
    void genericRecord_data();
    void genericRecord();
    void copies();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // "<level mark><text>" of this component's lines logged into folder since the last call.
    QStringList logged(const QString& folder = QString());

    QTemporaryDir m_dir;
    int m_linesSeen = 0;
};

void TestBaseNode::initTestCase()
{
    qSetGlobalQHashSeed(0); // the DOM orders attributes by hash
    QVERIFY(QDir().mkpath(path("log")));
    LogControl::SetFolder(QFile::encodeName(path("log")));
}

QStringList TestBaseNode::logged(const QString& folder)
{
    const QStringList lines = KvrTest::LogLinesOf((folder.isEmpty() ? path("log") : folder) + "/" + LogControl::FileName(),
                                                  QCoreApplication::applicationPid());
    QStringList texts;
    for (int i = folder.isEmpty() ? m_linesSeen : 0; i < lines.size(); ++i) {
        if (lines.at(i).contains("/KvrXmlModel:"))
            texts << KvrTest::LogMark(lines.at(i)) + KvrTest::LogText(lines.at(i));
    }
    if (folder.isEmpty())
        m_linesSeen = lines.size();
    return texts;
}

void TestBaseNode::characters_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("U+0001") << QString(QChar(1)) << QByteArray("&#x1;");
    QTest::newRow("U+0008 U+000B U+000C U+001F") << (QString(QChar(8)) + QChar(11) + QChar(12) + QChar(0x1F))
                                                 << QByteArray("&#x8;&#xb;&#xc;&#x1f;");
    QTest::newRow("U+FFFE U+FFFF") << (QString(QChar(0xFFFE)) + QChar(0xFFFF)) << QByteArray("&#xfffe;&#xffff;");
    QTest::newRow("tab, line feed, carriage return") << "a\tb\nc\rd\r\n" << QByteArray("a\tb\nc\rd\r\n");
    QTest::newRow("markup characters") << "<a & \"b\" 'c'>" << QByteArray("&lt;a &amp; \"b\" 'c'>");
    QTest::newRow("a reference as text") << "&#xd;" << QByteArray("&amp;#xd;");
    QTest::newRow("other scripts") << QString::fromUtf8("été 日本語 😀") << QByteArray("été 日本語 😀");
}

void TestBaseNode::characters()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, written);
    CUpdProduct product;
    product.ProductName.set(value);
    QCOMPARE(product.saveToFile(path("characters.xml")), 0);
    const QByteArray file = KvrTest::ReadFile(path("characters.xml"));
    QVERIFY2(file.contains("<ProductName>" + written + "</ProductName>"), file.constData());
    CUpdProduct again;
    QCOMPARE(again.fromXmlString(product.toXmlString(true, true)), 0);
    QCOMPARE(again.ProductName(), value);
}

void TestBaseNode::writtenForm()
{
    CUpdates updates;
    updates.setId(7);
    QCOMPARE(updates.saveToFile(path("root.xml")), 0);
    QCOMPARE(KvrTest::ReadFile(path("root.xml")), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                             "<CorvantisUpdates schemaVersion=\"1.0\" dyn_lists=\"Product 0\"/>\n"));
    const QString withId = updates.toXmlString(false, false);
    QVERIFY(withId.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<CorvantisUpdates "));
    QVERIFY(withId.contains(" id=\"7\"") && !withId.contains("schemaVersion"));
    QVERIFY(CUpdProduct().toXmlString(false, true).contains("\">\n   <ProductName></ProductName>\n   <UpdateEnabled>1<"));

    // Markup keeps its references: attribute values, comments and CDATA; text gets the character.
    CSample sample;
    QCOMPARE(sample.fromXmlString("<Sample><Count>1</Count><Ancestry/><Extra note=\"a&#xd;b\"><!-- &#xd; -->"
                                  "<![CDATA[&#xd;]]>x&#xd;y</Extra></Sample>"),
             0);
    const QString text = sample.toXmlString(false, true);
    QVERIFY2(text.contains("note=\"a&#xd;b\"") && text.contains("<!-- &#xd; -->") && text.contains("<![CDATA[&#xd;]]>")
                 && text.contains("x\ry"),
             qPrintable(text));
}

void TestBaseNode::parseErrors_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::newRow("empty") << "" << "unexpected end of file" << 1 << 1;
    QTest::newRow("mismatch") << "<?xml version=\"1.0\"?>\n<CorvantisUpdates>\n</Product>" << "tag mismatch" << 3 << 10;
    QTest::newRow("two roots") << "<a/><b/>" << "unexpected character" << 1 << 6;
}

void TestBaseNode::parseErrors()
{
    QFETCH(QString, document);
    QFETCH(QString, message);
    QFETCH(int, line);
    QFETCH(int, column);
    logged();
    const QString expected = QStringLiteral("Error: %1, line: %2, column: %3.\n").arg(message).arg(line).arg(column);
    CUpdates updates;
    QString text;
    int errorLine = -1;
    int errorColumn = -1;
    QCOMPARE(updates.fromXmlString(document, QString(), false, &text, &errorLine, &errorColumn), RC_XML_READ_FAILED);
    QCOMPARE(text, message);
    QCOMPARE(QList<int>({errorLine, errorColumn, updates.getErrorLine(), updates.getErrorColumn()}),
             QList<int>({line, column, line, column}));
    QCOMPARE(updates.getErrorMessage(), expected);
    QCOMPARE(updates.getErrorCode(), quint32(RC_XML_READ_FAILED));

    QVERIFY(KvrTest::WriteFile(path("malformed.xml"), document.toUtf8()));
    QCOMPARE(updates.loadFromFile(path("malformed.xml")), RC_XML_READ_FAILED);
    QCOMPARE(updates.getErrorMessage(), expected);
    QVERIFY(updates.getFileName().isEmpty());
    QCOMPARE(logged(), QStringList()); // parse errors are only stored

    QCOMPARE(updates.fromXmlString("<CorvantisUpdates id=\"12\"/>"), 0);
    QCOMPARE(QList<int>({updates.getErrorLine(), updates.getErrorColumn(), int(updates.getErrorCode()), updates.getId()}),
             QList<int>({0, 0, 0, 12}));
}

void TestBaseNode::openFailures()
{
    logged();
    const QString good = KvrTest::DataPath("xml/description.xml");
    CUpdates updates;
    QCOMPARE(updates.loadFromFile(good), 0);
    QCOMPARE(updates.loadFromFile(nullptr, true), RC_XML_READ_FAILED);
    QCOMPARE(updates.getErrorMessage(), QString("Error: loadFromFile - File pointer is NULL!"));
    QCOMPARE(updates.loadFromFile(path("missing.xml")), RC_XML_READ_FAILED);
    const QString cannotRead =
        QStringLiteral("Error: cannot open XML file '%1', err='No such file or directory'!").arg(path("missing.xml"));
    QCOMPARE(updates.getErrorMessage(), cannotRead);
    QCOMPARE(updates.getFileName(), good); // the last good load
    QCOMPARE(updates.Product.size(), 2);

    QCOMPARE(updates.saveToFile(nullptr, true, true), RC_XML_WRITE_FAILED);
    QCOMPARE(updates.getErrorMessage(), QString("Error: saveToFile - File pointer is NULL!"));
    QCOMPARE(updates.saveToFile(path("no-folder/x.xml")), RC_XML_WRITE_FAILED);
    const QString cannotWrite =
        QStringLiteral("Error: cannot open XML file '%1', err='No such file or directory'!").arg(path("no-folder/x.xml"));
    QCOMPARE(updates.getErrorMessage(), cannotWrite);
    QCOMPARE(updates.getFileName(), good);
    QCOMPARE(logged(), QStringList({"FError: loadFromFile - File pointer is NULL!", "F" + cannotRead,
                                    "FError: saveToFile - File pointer is NULL!", "F" + cannotWrite}));

    // An open file is closed and read from its start.
    QFile file(good);
    QVERIFY(file.open(QIODevice::ReadOnly) && file.seek(100));
    QCOMPARE(updates.loadFromFile(&file, true), 0);
    QVERIFY(!file.isOpen());
}

void TestBaseNode::saveInPlace()
{
    const QString target = path("inplace.xml");
    QVERIFY(KvrTest::WriteFile(target, QByteArray(5000, 'x')));
    struct stat before, after;
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &before), 0);
    CUpdates updates;
    AddProducts(updates, 2);
    QCOMPARE(updates.saveToFile(target), 0);
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino); // rewritten, not replaced
    QCOMPARE(KvrTest::ReadFile(target), updates.toXmlString(true, true).toUtf8());

    // saveToFile() writes to the file last saved; safe-save mode puts a new file in its place.
    updates.Product.removeAt(0);
    updates.setUseTempFile(true);
    QCOMPARE(updates.saveToFile(), 0);
    QCOMPARE(::stat(QFile::encodeName(target).constData(), &after), 0);
    QVERIFY(after.st_ino != before.st_ino);
    QCOMPARE(KvrTest::ReadFile(target), updates.toXmlString(true, true).toUtf8());
    QCOMPARE(QDir(m_dir.path()).entryList({"inplace.xml*"}, QDir::Files), QStringList("inplace.xml"));

    // A target that cannot be replaced: the temporary file goes again.
    QVERIFY(QDir().mkpath(path("occupied/config.xml")));
    QCOMPARE(updates.saveToFile(path("occupied/config.xml")), RC_XML_WRITE_FAILED);
    QCOMPARE(QDir(path("occupied")).entryList(QDir::Files), QStringList());
}

void TestBaseNode::fullVolume()
{
    const QString mount = path("full");
    QVERIFY(QDir().mkpath(mount));
    if (!KvrTest::IsRoot() || QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mount}) != 0)
        QSKIP("cannot mount a small tmpfs here (needs root)");
    auto unmount = qScopeGuard([&] { QProcess::execute("umount", {mount}); });
    CUpdates updates;
    AddProducts(updates, 100);
    const QByteArray text = updates.toXmlString(true, true).toUtf8();
    QVERIFY(text.size() > 8192); // needs pages beyond the one of the old content
    const QString target = mount + "/config.xml";
    auto fill = [&] {
        QFile filler(mount + "/filler");
        QVERIFY(filler.open(QIODevice::Append | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'f')) == 4096) {
        }
    };

    QVERIFY(KvrTest::WriteFile(target, "<old/>"));
    fill();
    QCOMPARE(updates.saveToFile(target), RC_NOT_ENOUGH_DISK_SPACE);
    QCOMPARE(KvrTest::ReadFile(target), QByteArray("<old/>")); // nothing written
    QVERIFY(updates.getFileName().isEmpty());

    // A file that does not grow needs no room.
    QVERIFY(QFile::remove(mount + "/filler"));
    QVERIFY(KvrTest::WriteFile(target, QByteArray(text.size() + 100, ' ')));
    fill();
    QCOMPARE(updates.saveToFile(target), 0);
    QCOMPARE(KvrTest::ReadFile(target), text);
}

void TestBaseNode::writeAndFlushFailures()
{
    // Under a file size limit below the document, a file that has the document's size already is
    // resized but cannot be written: a large text fails in the write, a small (buffered) one in the flush.
    const QList<QPair<int, QString>> cases = {{400, "FUnable to write to file '%1'"},
                                              {20, "FUnable to flush data '%1' with 2"}};
    for (const auto& test : cases) {
        CUpdates updates;
        AddProducts(updates, test.first);
        const QByteArray text = updates.toXmlString(true, true).toUtf8();
        const QString target = path(QString("limited-%1.xml").arg(test.first));
        const QString logFolder = path(QString("log-%1").arg(test.first)); // stays below the limit
        QVERIFY(KvrTest::WriteFile(target, QByteArray(text.size(), ' ')) && QDir().mkpath(logFolder));
        LogControl::SetFolder(QFile::encodeName(logFolder));
        struct rlimit saved, limited;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        limited = saved;
        limited.rlim_cur = 1024;
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const int result = updates.saveToFile(target);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        LogControl::SetFolder(QFile::encodeName(path("log")));

        QCOMPARE(result, RC_XML_WRITE_FAILED);
        QVERIFY2(logged(logFolder).contains(test.second.arg(target)), qPrintable(logged(logFolder).join('\n')));
        QVERIFY(updates.getFileName().isEmpty());
        QCOMPARE(KvrTest::ReadFile(target).left(1024), text.left(1024)); // left as far as written
    }
}

void TestBaseNode::commitFailureOnlyLogged()
{
    logged();
    CUpdates updates;
    FileCommit::SetCommitFunction(&FailingCommit);
    const int result = updates.saveToFile(path("commit.xml"));
    FileCommit::SetCommitFunction(nullptr);
    QCOMPARE(result, 0);
    QCOMPARE(updates.getFileName(), path("commit.xml"));
    const QStringList lines = logged();
    QCOMPARE(lines.size(), 1);
    const QString pattern = "^Ffsync\\(\\) failed - errno 5\\. fd \\d+\\. Filename = " + QRegularExpression::escape(path("commit.xml")) + "$";
    QVERIFY2(QRegularExpression(pattern).match(lines.first()).hasMatch(), qPrintable(lines.first()));
}

void TestBaseNode::preservedPositions_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("between fields") << "<ProductName>P</ProductName><U/><UpdateEnabled>1</UpdateEnabled>"
                                    << QStringList({"ProductName", "U", "UpdateEnabled"});
    QTest::newRow("first, consecutive") << "<U/><V/><ProductName>P</ProductName><UpdateEnabled>1</UpdateEnabled>"
                                        << QStringList({"U", "V", "ProductName", "UpdateEnabled"});
    QTest::newRow("after the last") << "<ProductName>P</ProductName><UpdateEnabled>1</UpdateEnabled><U/><V/>"
                                    << QStringList({"ProductName", "UpdateEnabled", "U", "V"});
    // Positions count written children: the fields come in class order.
    QTest::newRow("by position") << "<UpdateEnabled>1</UpdateEnabled><ProductName>P</ProductName><U/>"
                                 << QStringList({"ProductName", "UpdateEnabled", "U"});
}

void TestBaseNode::preservedPositions()
{
    QFETCH(QString, content);
    QFETCH(QStringList, written);
    CUpdProduct product;
    QCOMPARE(product.fromXmlString("<Product>" + content + "</Product>"), 0);
    QCOMPARE(WrittenChildren(product), written);
    CUpdProduct again;
    QCOMPARE(again.fromXmlString(product.toXmlString(true, true)), 0);
    QCOMPARE(again.toXmlString(true, true), product.toXmlString(true, true));
}

void TestBaseNode::genericRecord_data()
{
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("values"); // Count, Label, periods of the fixed list's children
    QTest::addColumn<QStringList>("warnings");
    const QString body = "<Count>1</Count><Ancestry/>";
    const QStringList absent = {"Warning in class 'Ancestry': tag 'Ancestor' is absent",
                                "Warning in class 'CSample': tag 'AutomaticUpdate' is absent",
                                "Warning in class 'CSample': tag 'Label' is absent",
                                "Warning in class 'CSample': tag 'Tag' is absent"};
    QTest::newRow("required dynamic list missing")
        << "<Sample><Count>1</Count></Sample>"
        << "Error in class 'CSample': tag 'Ancestry' does not satisfy 'minOccurs = 1' condition"
        << QStringList({"1", "", "1", "1"}) << QStringList();
    QTest::newRow("fixed list of two, third kept")
        << "<Sample><Count>1</Count><Label>l</Label><Ancestry/>" + Automatic(10) + Automatic(20) + Automatic(30) + "</Sample>"
        << QString() << QStringList({"1", "l", "10", "20"}) << QStringList({absent[0], absent[3]});
    QTest::newRow("fixed list, second defaulted") << "<Sample>" + body + Automatic(10) + "</Sample>" << QString()
                                                  << QStringList({"1", "", "10", "1"})
                                                  << QStringList({absent[0], absent[2], absent[3]});
    QTest::newRow("child's attribute, own first")
        << "<Sample label=\"own\"><Count>1</Count><Ancestry label=\"child\"/></Sample>" << QString()
        << QStringList({"1", "own", "1", "1"}) << QStringList({absent[0], absent[1], absent[3]});
    // A required field takes an attribute only once its element was read (its counter is then 0).
    QTest::newRow("required, attribute after element") << "<Sample Count=\"7\">" + body + "</Sample>" << QString()
                                                       << QStringList({"7", "", "1", "1"}) << absent;
    QTest::newRow("required, attribute before element") << "<Sample Count=\"7\"><Ancestry/><Count>1</Count></Sample>"
                                                        << QString() << QStringList({"1", "", "1", "1"}) << absent;
}

void TestBaseNode::genericRecord()
{
    QFETCH(QString, document);
    QFETCH(QString, message);
    QFETCH(QStringList, values);
    QFETCH(QStringList, warnings);
    CSample sample;
    sample.AutomaticUpdate.at(1)->UpdatePeriod.set(99);
    QCOMPARE(sample.fromXmlString(document), message.isEmpty() ? 0 : RC_XML_READ_FAILED);
    QCOMPARE(sample.getErrorMessage(), message);
    QCOMPARE(sample.getWarnings(), warnings);
    QCOMPARE(QStringList({QString::number(sample.Count()), sample.Label(),
                          QString::number(sample.AutomaticUpdate.at(0)->UpdatePeriod()),
                          QString::number(sample.AutomaticUpdate.at(1)->UpdatePeriod())}),
             values);
    QCOMPARE(sample.AutomaticUpdate.size(), 2);
    if (message.isEmpty()) { // the same text, with what was kept, when read again
        CSample again;
        QCOMPARE(again.fromXmlString(sample.toXmlString(true, true)), 0);
        QCOMPARE(again.toXmlString(true, true), sample.toXmlString(true, true));
    }
}

void TestBaseNode::copies()
{
    CSample original;
    QCOMPARE(original.fromXmlString("<Sample><Count>4</Count><Tag>a</Tag><Tag>b</Tag><Tag>c</Tag>"
                                    "<Ancestry id=\"3\"><Ancestor>x</Ancestor></Ancestry><Kept>k</Kept></Sample>"),
             0);
    const QString text = original.toXmlString(true, false);
    QScopedPointer<CBaseNode> clone(original.clone());
    QVERIFY(dynamic_cast<CSample*>(clone.data()) != nullptr);
    QCOMPARE(clone->toXmlString(true, false), text);

    CSample assigned;
    assigned.Ancestry.append(new Ancestry);
    assigned = original;
    QCOMPARE(assigned.toXmlString(true, false), text);
    QVERIFY(assigned.Ancestry.first() != original.Ancestry.first());
    Ancestry* taken = assigned.Ancestry.takeAt(0);
    QCOMPARE(taken->getId(), 3);
    QCOMPARE(taken->Ancestor(), QStringList("x"));
    delete taken;

    // The copies keep their own preserved elements; a shorter list still writes them.
    original.getPreservedElements().first().firstChild().setNodeValue("changed");
    original.Ancestry.clear();
    QCOMPARE(clone->toXmlString(true, false), text);
    original.Tag.set({"a"});
    original.AutomaticUpdate.clear();
    QVERIFY(original.toXmlString(false, true).contains("<Kept>changed</Kept>"));

    original.resetToDefaults();
    QCOMPARE(original.Count(), 5);
    QVERIFY(original.Tag().isEmpty() && original.getPreservedElements().size() == 1);
    QCOMPARE(original.AutomaticUpdate.size(), 2);
}

QTEST_MAIN(TestBaseNode)
#include "tst_basenode.moc"
