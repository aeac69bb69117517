// The catalogues under translations/ against the messages that the code translates.
#include "kvrtest.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace KvrTest;

namespace {

// What a translation keeps of its source: the placeholders (in any order), the number of line
// breaks and the trailing blanks.
QString Shape(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("%\\d+"));
    QStringList placeholders;
    for (auto it = placeholder.globalMatch(text); it.hasNext();)
        placeholders << it.next().captured();
    placeholders.sort();
    int end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    // One arg() call, so that the placeholders are not filled in turn.
    return QStringLiteral("placeholders [%1], %2 line breaks, trailing [%3]")
        .arg(placeholders.join(' '), QString::number(text.count('\n')), text.mid(end).replace('\n', "\\n"));
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

    QStringList m_code; // context and source of each text the code passes through tr()

private slots:
    void initTestCase()
    {
        QTemporaryDir dir;
        QProcess lupdate;
        lupdate.start(KVR_LUPDATE,
                      {"-silent", "-locations", "none", KVR_SOURCE_DIR "/src", "-ts", dir.filePath("code.ts")});
        QVERIFY2(lupdate.waitForFinished(60000) && lupdate.exitCode() == 0, lupdate.readAllStandardError());
        m_code = ReadCatalogue(dir.filePath("code.ts")).keys();
        QVERIFY(m_code.contains("QObject\nYou have the latest version of the Corvantis Software."));
    }

    void catalogue_data()
    {
        QTest::addColumn<QString>("path");
        const QDir folder(KVR_SOURCE_DIR "/translations");
        const QStringList names = folder.entryList({"corvantis_*.ts"}, QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 12);
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << folder.filePath(name);
    }

    void catalogue()
    {
        QFETCH(QString, path);
        const QMap<QString, QString> catalogue = ReadCatalogue(path);
        QStringList faults;
        for (const QString& key : m_code) {
            if (!catalogue.contains(key))
                faults << "missing: " + key;
        }
        for (auto it = catalogue.cbegin(); it != catalogue.cend(); ++it) {
            const QString source = it.key().section('\n', 1);
            if (!m_code.contains(it.key()))
                faults << "not translated by the code: " + it.key();
            if (it->isEmpty())
                faults << "unfinished: " + it.key();
            else if (Shape(*it) != Shape(source))
                faults << *it + ": " + Shape(*it) + "; its source has " + Shape(source);
        }
        // The update list's status column is as wide as the translated "Ready To Download" and three
        // blanks, in UTF-8 bytes: the other status names must leave a blank before the next column.
        const int width = catalogue.value("QObject\nReady To Download").toUtf8().size() + 3;
        for (const char* status : {"Installed", "Downloaded", "Canceled Install", "Canceled Download", "Unknown"}) {
            if (catalogue.value(QStringLiteral("QObject\n") + status).toUtf8().size() >= width)
                faults << QStringLiteral("wider than the status column: ") + status;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
