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

// The rows of a JSON table that hold on this system: those without "os", and those whose "os" names it.
static void AddSystemRows(const QString& table)
{
    const QString os = IsWindows() ? "windows" : "posix";
    AddRows(table, [&os](const QJsonObject& row) { return row["os"].toString(os) == os; });
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
        // "service": root, type, free, space, config or resources; "argument" and "result": '@' the case's
        // folder, '%' the program's folder; "+" any count of bytes. Network paths are not looked at. Not
        // installed, a Windows copy keeps its translations beside the program; on POSIX, none is logged at level 0.
        AddSystemRows("platform/places.json");
    }

    void places()
    {
        QFETCH(QJsonObject, row);
        const QString service = row["service"].toString(), logged = row["logged"].toString();
        const QString notFound = QString::number(CFileHelper::FH_PATH_NOT_FOUND);
        const QString result = row["result"].toString().replace("@NOTFOUND@", notFound);
        QVERIFY(WriteFile(At("@/f"), "\n"));
        QVERIFY(IsWindows() || QFile::link("/dev/shm", At("@/shm"))); // a link counts for the volume it points into
        qputenv("CORVANTIS_CONFIG_DIR", ""); // counts as unset
        const QString argument = At(row["argument"].toString());
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
        // "path": '@' alone is the folder itself; "after" empty: unchanged; "logged" none: granted. The file
        // starts as fileList below, the folder as its POSIX list.
        AddSystemRows("platform/access.json");
    }

    void addAccessRights()
    {
        QFETCH(QJsonObject, row);
        const QString administrators = IsWindows() ? "BUILTIN\\Administrators" : "BUILTIN\\root";
        const QString account = row["account"].toString().replace("@ADMINS@", administrators);
        const QString after = row["after"].toString(), logged = row["logged"].toString();
        if (logged.isEmpty() && !NoAccessLists().isEmpty())
            QSKIP(qPrintable(NoAccessLists()));
        QVERIFY(WriteFile(At("@/f"), "<x/>"));
        const QString fileList = IsWindows() ? "D:(A;;FR;;;WD)(A;;FR;;;BA)(A;;FA;;;SY)"
                                             : "u::rw-,u:65534:r--,g::r--,g:0:r--,m::r--,o::r--";
        if (AccessList(At("@/f"), fileList) == "-")
            QSKIP("the temporary folder's volume keeps no access lists");
        QVERIFY(IsWindows() || AccessList(m_dir->path(), "u::rwx,g::r-x,o::---") != "-");
        const QString path = At(row["path"].toString());
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
        QCOMPARE(name, administrators);
    }

    void locale_data()
    {
        // "variables": LC_ALL|LC_MESSAGES|LANG; "ui": the interface locale, or "0x<error>" when it cannot be
        // read; "chosen": the default locale; "folder": of its translations, among de_DE, de, pt, zh_TW and a
        // file es_ES. Wine takes the interface language from the variables when the process starts (ctest
        // starts one per Windows row); a locale missing there leaves English, and "C" or none reads as English.
        AddSystemRows("platform/locales.json");
    }

    void locale()
    {
        QFETCH(QJsonObject, row);
        const QString ui = row["ui"].toString(), chosen = row["chosen"].toString(), folder = row["folder"].toString();
        const QStringList values = row["variables"].toString().split('|');
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
