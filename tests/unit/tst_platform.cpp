// Host and file utilities, access rights and the locale.
#include "kvrtest.h"

#include "platform/auth.h"
#include "platform/authhelper.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/locale.h"
#include "platform/log.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSettings>
#include <QtTest>

using namespace HostUtils;
using namespace KvrTest;

// The free-space result code; 1 when the outputs are not zeroed on failure or not all set on success.
static quint32 SpaceCode(const QString& path)
{
    quint64 free = 9, all = 1, allFree = 5; // no volume gives these
    const quint32 code = CFileHelper::GetDiskAvailableSpace(path, &free, &all, &allFree);
    return (code == 0 ? all > 0 && free <= allFree && allFree <= all : free + all + allFree == 0) ? code : 1;
}

class TestPlatform : public QObject
{
    Q_OBJECT

    QTemporaryDir m_logDir;
    QScopedPointer<QTemporaryDir> m_dir; // a fresh folder per case, written '@' in paths
    int m_logSeen = 0;

    QString At(QString path) const { return path.replace('@', m_dir->path()); }
    // Log texts this process has written since the previous call.
    QStringList NewLog()
    {
        const QStringList lines = LogLinesOf(m_logDir.filePath(LogControl::FileName()), QCoreApplication::applicationPid());
        QStringList texts;
        for (; m_logSeen < lines.size(); ++m_logSeen)
            texts << LogText(lines[m_logSeen]);
        return texts;
    }
    // The product's install record, in the case's folder where the platform keeps it in a file.
    static QSettings InstallRecord() { return QSettings(QSettings::SystemScope, "Corvantis", "Corvantis Lumen"); }

private slots:
    void initTestCase() { LogControl::SetFolder(QFile::encodeName(m_logDir.path())); }
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_dir->path());
        InstallRecord().clear(); // a registry outlives the case
        NewLog();
    }

    void places_data()
    {
        QTest::addColumn<QString>("service"); // root, type, free, space, config or resources
        QTest::addColumn<QString>("argument"); // '@': the case's folder
        QTest::addColumn<QString>("result");   // '@', and '%' for the program's folder; "+" any count of bytes
        QTest::addColumn<QString>("logged");
        // Network paths are not looked at; a plain file or a missing folder is "path not found".
        // A plain file or a missing folder is "path not found"; the table holds the other rows, those
        // with an "os" for that system only. Network paths are not looked at. Not installed, a Windows
        // copy keeps its translations beside the program; on POSIX, none is logged at level 0.
        QTest::newRow("space: file") << "space" << "@/f" << QString::number(CFileHelper::FH_PATH_NOT_FOUND) << "";
        QTest::newRow("space: missing") << "space" << "@/no" << QString::number(CFileHelper::FH_PATH_NOT_FOUND) << "";
        const QString os = IsWindows() ? "windows" : "posix";
        for (const QJsonValue& row : Cases("platform/places.json"))
            if (row["os"].toString(os) == os)
                QTest::newRow(qPrintable(row["name"].toString())) << row["service"].toString() << row["argument"].toString()
                                                                  << row["result"].toString() << row["logged"].toString();
    }

    void places()
    {
        QFETCH(QString, service);
        QFETCH(QString, argument);
        QFETCH(QString, result);
        QFETCH(QString, logged);
        QVERIFY(WriteFile(At("@/f"), "\n"));
        QVERIFY(IsWindows() || QFile::link("/dev/shm", At("@/shm"))); // a link counts for the volume it points into
        qputenv("CORVANTIS_CONFIG_DIR", ""); // counts as unset
        argument = At(argument);
        QString found;
        if (service == "root") {
            found = GetVolumeRoot(argument);
        } else if (service == "type") {
            found = QString::number(GetFileSystemType(argument));
        } else if (service == "space") {
            found = QString::number(SpaceCode(argument));
        } else if (service == "config") {
            found = ConfigFolder();
        } else if (service == "resources") {
            found = ResourcesFolder();
        } else {
            const qint64 bytes = GetFreeSpace(argument);
            found = bytes >= 0 && result == "+" ? "+" : QString::number(bytes);
        }
        QCOMPARE(found, At(result).replace('%', QCoreApplication::applicationDirPath()));
        QCOMPARE(NewLog(), logged.isEmpty() ? QStringList() : QStringList{logged});
    }

    void spaceOfAClosedFolder()
    {
        if (!NoOtherUser().isEmpty())
            QSKIP(qPrintable(NoOtherUser()));
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        QVERIFY(QDir().mkpath(At("@/locked/inner")) && QFile::setPermissions(At("@/locked"), owner)
                && QFile::setPermissions(m_dir->path(), owner | QFile::ReadOther | QFile::ExeOther));
        // As another user, a folder closed to the caller gives "access denied".
        QVERIFY(AsOtherUser([this] { return SpaceCode(At("@/locked/inner")) == CFileHelper::FH_ACCESS_DENIED; }));
    }

    void uuids()
    {
        const unsigned char bytes[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        QCOMPARE(UuidText(bytes), QStringLiteral("{00010203-0405-0607-0809-0a0b0c0d0e0f}"));
        QSet<QString> texts; // random, version 4, variant 1
        for (int i = 0; i < 1000; ++i)
            texts << NewUuidText();
        const QRegularExpression form("^\\{[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\}$");
        QCOMPARE(QStringList(texts.values()).filter(form).size(), 1000);
    }

    void addAccessRights_data()
    {
        QTest::addColumn<QString>("path"); // '@' alone: the folder itself
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("after"); // empty: unchanged
        QTest::addColumn<QString>("logged"); // empty: granted
        const QString administrators = IsWindows() ? "BUILTIN\\Administrators" : "BUILTIN\\root";
        // The file starts as FileList(), the folder as FolderList().
        if (IsWindows()) {
            QTest::newRow("file: replaces only the account's entry")
                << "@/f" << administrators << "D:P(A;;FR;;;WD)(A;;FA;;;SY)(A;OICIID;GA;;;BA)" << QString();
        } else {
            QTest::newRow("file: replaces only the account's entry")
                << "@/f" << administrators << "u::rw-,u:65534:r--,g::r--,g:0:rwx,m::rwx,o::r--" << QString();
            QTest::newRow("folder: added and passed on")
                << "@" << administrators << "u::rwx,g::r-x,g:0:rwx,m::rwx,o::---" << QString();
        }
        QTest::newRow("unknown account") << "@/f" << "BUILTIN\\kvr_nobody_here" << ""
                                         << QString("error: get account \"BUILTIN\\kvr_nobody_here\" (%1)")
                                                .arg(IsWindows() ? 1332 : 2);
        QTest::newRow("missing file") << "@/missing" << administrators << "-"
                                      << "error: get Dacl for \"@/missing\"  (2)";
    }

    void addAccessRights()
    {
        QFETCH(QString, path);
        QFETCH(QString, account);
        QFETCH(QString, after);
        QFETCH(QString, logged);
        if (logged.isEmpty() && !NoAccessLists().isEmpty())
            QSKIP(qPrintable(NoAccessLists()));
        QVERIFY(WriteFile(At("@/f"), "<x/>"));
        const QString fileList = IsWindows() ? "D:(A;;FR;;;WD)(A;;FR;;;BA)(A;;FA;;;SY)"
                                             : "u::rw-,u:65534:r--,g::r--,g:0:r--,m::r--,o::r--";
        if (AccessList(At("@/f"), fileList) == "-")
            QSKIP("the temporary folder's volume keeps no access lists");
        QVERIFY(IsWindows() || AccessList(m_dir->path(), "u::rwx,g::r-x,o::---") != "-");
        path = At(path);
        const QString before = AccessList(path);
        for (int call = 0; call < 2; ++call) { // a second call still leaves a single entry
            QCOMPARE(CAuth::AddAccessRights(path, account, CAuth::GENERIC_ALL_ACCESS), logged.isEmpty());
            QCOMPARE(AccessList(path), after.isEmpty() ? before : after);
            QCOMPARE(NewLog(), logged.isEmpty() ? QStringList() : QStringList{At(logged)});
        }
        if (path == m_dir->path()) // what the folder passes on
            QCOMPARE(AccessList(path, QString(), true), after);
        QString name; // the name that the updater grants access to
        QVERIFY(CAuthHelper::LookupAliasFromRid(QString(), CAuthHelper::kNtAuthority, CAuthHelper::kBuiltinDomainRid,
                                                CAuthHelper::kAdministratorsRid, name));
        QCOMPARE(name, IsWindows() ? QString("BUILTIN\\Administrators") : QString("BUILTIN\\root"));
    }

    void locale_data()
    {
        QTest::addColumn<QString>("variables"); // LC_ALL|LC_MESSAGES|LANG
        QTest::addColumn<QString>("ui"); // the interface locale, or "0x<error>" when it cannot be read
        QTest::addColumn<QString>("chosen"); // the default locale
        QTest::addColumn<QString>("folder"); // of its translations, among de_DE, de, pt, zh_TW and a file es_ES
        if (IsWindows()) {
            // Wine takes the interface language from these variables when the process starts (ctest
            // starts one per row); a locale missing there leaves English, and "C" or none reads as English.
            QTest::newRow("LC_ALL first") << "pt_PT.UTF-8|zh_HK.UTF-8|pt_BR.UTF-8" << "pt_PT" << "en_US" << "";
            QTest::newRow("Hong Kong reads as Taiwan") << "||zh_HK.UTF-8" << "zh_TW" << "zh_TW" << "zh_TW";
            QTest::newRow("Brazil, language folder") << "||pt_BR.UTF-8" << "pt_BR" << "pt_BR" << "pt";
            QTest::newRow("unsupported") << "||nl_NL.UTF-8" << "nl_NL" << "en_US" << "";
            QTest::newRow("none set") << "||" << "en_US" << "en_US" << "";
            return;
        }
        for (const QJsonValue& row : Cases("platform/locales.json"))
            QTest::newRow(qPrintable(row["name"].toString())) << row["variables"].toString() << row["ui"].toString()
                                                              << row["chosen"].toString() << row["folder"].toString();
    }

    void locale()
    {
        QFETCH(QString, variables);
        QFETCH(QString, ui);
        QFETCH(QString, chosen);
        QFETCH(QString, folder);
        const QStringList values = variables.split('|');
        const QString unavailable = NoUiLanguage(values);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        for (int i = 0; i < 3; ++i) // an empty variable counts as unset
            qputenv(QByteArray("LC_ALL LC_MESSAGES LANG").split(' ').at(i), values[i].toUtf8());
        QLocale locale(QLocale::Korean);
        const bool known = !ui.startsWith("0x");
        QCOMPARE(GetWindowsUiLocale(locale), known);
        QCOMPARE(locale.name(), known ? ui : QStringLiteral("ko_KR"));
        SetDefaultLocale(QStringList()); // from the interface locale, then en_US and en
        QCOMPARE(QLocale().name(), chosen);
        const QString logged = known ? "Windows user interface locale is '" + ui + "'"
                                     : "Failed to retrieve information about the system locale, " + ui;
        QCOMPARE(NewLog(), (QStringList{logged, logged}));
        InstallRecord().setValue("InstallLocation", m_dir->path());
        for (const char* language : {"de_DE", "de", "pt", "zh_TW"})
            QVERIFY(QDir().mkpath(At("@/Resources/") + language));
        QVERIFY(WriteFile(At("@/Resources/es_ES"), "\n"));
        QCOMPARE(FindTranslationsFolder(QString()), folder.isEmpty() ? QString() : At("@/Resources/" + folder));
        QCOMPARE(ReplaceLocaleMacro("/@LOCALE@/?l=@LOCALE@&@locale@", QLocale()), // every one, in its exact case
                 QString("/%1/?l=%1&@locale@").arg(chosen));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
