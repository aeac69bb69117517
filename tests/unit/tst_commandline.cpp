// Option look-ups on the raw word list.
#include "app/commandline.h"
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
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("option"); // long name
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("value");

    QTest::newRow("short name") << QStringList{"check", "-u", "halden"} << "--update" << true << "halden";
    QTest::newRow("long value wins over short") << QStringList{"check", "--url", "a", "-l", "b"} << "--url" << true
                                                << "a";
    QTest::newRow("short value when long has none") << QStringList{"check", "-l", "b", "--url"} << "--url" << true
                                                    << "b";
    QTest::newRow("negative number is no value") << QStringList{"download", "-pc", "-1"} << "--proxy-try-count"
                                                 << true << "";
    QTest::newRow("names are case-sensitive") << QStringList{"check", "-U", "lum"} << "--update" << false << "";
    QTest::newRow("prefix is not a name") << QStringList{"check", "--up", "lum"} << "--update" << false << "";
    QTest::newRow("option with empty value word") << QStringList{"check", "-v", ""} << "--version" << true << "";
}

void TestCommandLine::lookups()
{
    QFETCH(QStringList, words);
    QFETCH(QString, option);
    QFETCH(bool, present);
    QFETCH(QString, value);

    const CmdOption* const candidates[] = {&Options::Update, &Options::Path, &Options::Url,
                                           &Options::ProxyTryCount, &Options::Version, &Options::UpdateInfo};
    const CmdOption* chosen = nullptr;
    for (const CmdOption* candidate : candidates) {
        if (option == QLatin1String(candidate->longName))
            chosen = candidate;
    }
    QVERIFY(chosen);
    Argv args(words);
    CCommandLine line(args.argc(), args.argv());
    QCOMPARE(line.HasOption(*chosen), present);
    QCOMPARE(line.OptionValue(*chosen), value);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
