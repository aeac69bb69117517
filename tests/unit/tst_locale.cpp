#include "kvrtest.h"

#include "platform/locale.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QtTest>

// Sets LC_ALL, LC_MESSAGES and LANG from "a|b|c" ("-" leaves one unset).
static void SetLocaleVariables(const QString& values)
{
    const QStringList parts = values.split('|');
    const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (int i = 0; i < 3; ++i) {
        if (parts.value(i, "-") == "-")
            qunsetenv(names[i]);
        else
            qputenv(names[i], parts[i].toUtf8());
    }
}

class TestLocale : public QObject
{
    Q_OBJECT

    QTemporaryDir m_logDir;

private slots:
    void initTestCase() { LogControl::SetFolder(QFile::encodeName(m_logDir.path())); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void uiLocale_data()
    {
        QTest::addColumn<QString>("variables");
        QTest::addColumn<QString>("expected"); // empty: the call fails
        QTest::addColumn<QString>("logged");
        const QString found = QStringLiteral("Windows user interface locale is '%1'");
        const QString failed = QStringLiteral("Failed to retrieve information about the system locale, 0x%1");
        QTest::newRow("LANG with codeset") << "-|-|de_DE.UTF-8" << "de_DE" << found.arg("de_DE");
        QTest::newRow("LC_ALL first") << "fr_CA|ja_JP|de_DE" << "fr_CA" << found.arg("fr_CA");
        QTest::newRow("empty counts as unset") << "||ja_JP.eucJP@x" << "ja_JP" << found.arg("ja_JP");
        QTest::newRow("Hong Kong reads as Taiwan") << "-|zh_HK.UTF-8|-" << "zh_TW" << found.arg("zh_TW");
        QTest::newRow("none set") << "-|-|-" << QString() << failed.arg("2");
        QTest::newRow("C") << "C|-|de_DE" << QString() << failed.arg("16");
        QTest::newRow("POSIX") << "-|-|POSIX" << QString() << failed.arg("16");
        QTest::newRow("no country") << "-|-|en.UTF-8" << QString() << failed.arg("16");
        QTest::newRow("unknown language") << "-|-|qq_QQ" << QString() << failed.arg("16");
    }

    void uiLocale()
    {
        QFETCH(QString, variables);
        QFETCH(QString, expected);
        QFETCH(QString, logged);
        SetLocaleVariables(variables);
        QTemporaryDir logDir;
        LogControl::SetFolder(QFile::encodeName(logDir.path()));
        QLocale locale(QLocale::Korean);
        QCOMPARE(GetWindowsUiLocale(locale), !expected.isEmpty());
        QCOMPARE(locale.name(), expected.isEmpty() ? QStringLiteral("ko_KR") : expected);
        const QStringList lines = KvrTest::LogLinesOf(logDir.filePath(LogControl::FileName()), QCoreApplication::applicationPid());
        QCOMPARE(lines.size(), 1);
        QCOMPARE(KvrTest::LogText(lines[0]), logged);
        const QStringList candidates = (expected.isEmpty() ? QStringList() : QStringList{expected}) + QStringList{"en_US", "en"};
        QCOMPARE(UiLanguageCandidates(), candidates);
    }

    void chooseSupportedLocale_data()
    {
        QTest::addColumn<QStringList>("candidates");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("Hong Kong") << QStringList{"zh_HK", "en_US", "en"} << "zh_TW";
        QTest::newRow("Macau") << QStringList{"zh_MO"} << "zh_TW";
        QTest::newRow("mainland China") << QStringList{"zh_CN"} << "zh_CN";
        QTest::newRow("other Chinese rejected") << QStringList{"zh_SG", "de_AT"} << "de_DE";
        QTest::newRow("Portugal rejected") << QStringList{"pt_PT", "en_US", "en"} << "en_US";
        QTest::newRow("Brazil") << QStringList{"pt_BR", "en_US", "en"} << "pt_BR";
        QTest::newRow("British English") << QStringList{"en_GB", "en_US", "en"} << "en_US";
        QTest::newRow("Dutch unsupported") << QStringList{"nl_NL", "en_US", "en"} << "en_US";
        QTest::newRow("nothing accepted") << QStringList{"nl_NL", "pt_PT", "bogus"} << "en_US";
        QTest::newRow("language only") << QStringList{"es_MX"} << "es_ES";
    }

    void chooseSupportedLocale()
    {
        QFETCH(QStringList, candidates);
        QFETCH(QString, chosen);
        QCOMPARE(ChooseSupportedLocale(candidates).name(), chosen);
    }

    void everySupportedLanguage()
    {
        for (const char* name : {"ru", "fr", "de", "ko", "it", "pl", "cs", "ja", "es"})
            QVERIFY2(ChooseSupportedLocale({name}).language() == QLocale(name).language(), name);
    }

    void setDefaultLocale()
    {
        SetLocaleVariables("-|-|zh_HK.UTF-8");
        SetDefaultLocale({});
        QCOMPARE(QLocale().name(), QStringLiteral("zh_TW"));
        SetDefaultLocale({"pt_BR"});
        QCOMPARE(QLocale().name(), QStringLiteral("pt_BR"));
    }

    void findTranslationsFolder_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full name first") << QStringList{"de_DE", "de"} << "@" << "@/de_DE";
        QTest::newRow("language only") << QStringList{"de", "fr_FR"} << "@/x/.." << "@/de";
        QTest::newRow("a file is not a folder") << QStringList{"file:de_DE"} << "@" << QString();
        QTest::newRow("missing base") << QStringList{"de"} << "@/missing" << QString();
    }

    void findTranslationsFolder()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, base);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("x"));
        for (const QString& folder : folders)
            QVERIFY(folder.startsWith("file:") ? KvrTest::WriteFile(dir.filePath(folder.mid(5)), "x")
                                               : QDir(dir.path()).mkdir(folder));
        QLocale::setDefault(QLocale("de_DE"));
        QCOMPARE(FindTranslationsFolder(base.replace('@', dir.path())), expected.replace('@', dir.path()));
    }

    void translationsUnderTheResourcesFolder()
    {
        QTemporaryDir settings, install;
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, settings.path());
        QLocale::setDefault(QLocale("fr_FR"));
        QCOMPARE(FindTranslationsFolder(QString()), QString()); // not installed
        QVERIFY(QDir(install.path()).mkpath("Resources/fr") && QDir(settings.path()).mkpath("Corvantis"));
        QVERIFY(KvrTest::WriteFile(settings.filePath("Corvantis/Corvantis Lumen.conf"),
                                   "[General]\nInstallLocation=" + install.path().toUtf8() + "\n"));
        QCOMPARE(FindTranslationsFolder(QString()), install.path() + "/Resources/fr");
    }

    void replaceLocaleMacro_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no macro") << "https://corvantis.example/buy" << "https://corvantis.example/buy";
        QTest::newRow("twice") << "/@LOCALE@/buy?lang=@LOCALE@" << "/zh_TW/buy?lang=zh_TW";
        QTest::newRow("case matters") << "/@locale@/@LOCALE" << "/@locale@/@LOCALE";
    }

    void replaceLocaleMacro()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ReplaceLocaleMacro(text, QLocale("zh_TW")), expected);
    }
};

QTEST_GUILESS_MAIN(TestLocale)
#include "tst_locale.moc"
