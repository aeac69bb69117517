// Option look-ups on the raw word list.
#include "app/commandline.h"
#include "documents.h"
#include "kvrtest.h"

#include <QtTest>


using KvrTest::Argv;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void actionAndWords();
    void lookups_data();
    void lookups();
};

void TestCommandLine::actionAndWords()
{
    Argv args({"check", "-u", "lum", "--descr", "Überblick.xml"});
    CCommandLine line(args.argc(), args.argv());
    QCOMPARE(line.Action(), QString("check"));
    QCOMPARE(line.Words(), (QStringList{"kvr_updater_ctl", "check", "-u", "lum", "--descr", "Überblick.xml"}));

    Argv none({});
    CCommandLine empty(none.argc(), none.argv());
    QCOMPARE(empty.Action(), QString());
    QVERIFY(!empty.HasOption(Options::Update));
}

void TestCommandLine::lookups_data()
{
    KvrTest::AddRows("cli/lookups.json");
}

// "option" is a long name.
void TestCommandLine::lookups()
{
    QFETCH(QJsonObject, row);
    const CmdOption* const candidates[] = {&Options::Update, &Options::Path, &Options::Url,
                                           &Options::ProxyTryCount, &Options::Version, &Options::UpdateInfo};
    const CmdOption* chosen = nullptr;
    for (const CmdOption* candidate : candidates) {
        if (row["option"] == QLatin1String(candidate->longName))
            chosen = candidate;
    }
    QVERIFY(chosen);
    Argv args(KvrTest::Words(row["words"]));
    CCommandLine line(args.argc(), args.argv());
    QCOMPARE(line.HasOption(*chosen), row["present"].toBool());
    QCOMPARE(line.OptionValue(*chosen), row["value"].toString());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
