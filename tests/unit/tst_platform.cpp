// Host and file utilities, access rights and the locale.
#include "kvrtest.h"

#include "platform/auth.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/locale.h"
#include "platform/log.h"
#include "platform/posix/mounttable.h"

#include <QSettings>
#include <QtTest>

#include <grp.h>
#include <sys/acl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <acl/libacl.h>

using namespace HostUtils;

// The access list of path, after setting it from text when given, in short text form
// ("u::rw-,g:0:rwx,m::rwx,o::---"); "-" when it cannot be set or read.
static QString Acl(const QString& path, const QByteArray& set = QByteArray(), acl_type_t type = ACL_TYPE_ACCESS)
{
    const QByteArray name = QFile::encodeName(path);
    acl_t acl = set.isEmpty() ? acl_get_file(name.constData(), type) : acl_from_text(set.constData());
    const bool failed = !acl || (!set.isEmpty() && acl_set_file(name.constData(), type, acl) != 0);
    char* text = failed ? nullptr : acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS);
    const QString result = text ? QString::fromLatin1(text) : QStringLiteral("-");
    acl_free(text); // acl_free() ignores null pointers
    acl_free(acl);
    return result;
}

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
        const QStringList lines =
            KvrTest::LogLinesOf(m_logDir.filePath(LogControl::FileName()), QCoreApplication::applicationPid());
        QStringList texts;
        for (; m_logSeen < lines.size(); ++m_logSeen)
            texts << KvrTest::LogText(lines[m_logSeen]);
        return texts;
    }

private slots:
    void initTestCase() { LogControl::SetFolder(QFile::encodeName(m_logDir.path())); }
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, m_dir->path()); // install records
        NewLog();
    }

    void mountTable_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("found"); // "mount point|type|file-system code"
        QTest::newRow("longest match") << QByteArray("d / ext4 rw 0 0\nd /dev/shm msdos rw") << "/dev/shm/x"
                                       << "/dev/shm|msdos|1";
        QTest::newRow("escapes") << QByteArray("d /media/My\\040Disk\\134x vfat rw") << "/media/My Disk\\x/f"
                                 << "/media/My Disk\\x|vfat|2";
        QTest::newRow("prefix, no separator") << QByteArray("d / ntfs3 rw\nd /mnt xfs rw") << "/mntx" << "/|ntfs3|3";
        QTest::newRow("top of a stack") << QByteArray("d /mnt ntfs rw\nd /mnt exfat rw") << "/mnt/a" << "/mnt|exfat|22";
        QTest::newRow("names are exact") << QByteArray("d / ntfs rw\nd /mnt VFAT rw") << "/mnt" << "/mnt|VFAT|0";
        QTest::newRow("not held") << QByteArray("d /mnt xfs rw") << "/z" << "||0";
    }

    void mountTable()
    {
        QFETCH(QByteArray, table);
        QFETCH(QString, path);
        const QList<MountEntry> entries = ParseMountTable(table);
        const MountEntry at = entries.value(FindMountEntry(entries, path)); // blank when none holds it
        QTEST(QString("%1|%2|%3").arg(at.mountPoint, at.type).arg(FileSystemCode(FileSystemNameOfMountType(at.type))),
              "found");
    }

    void volumesAndFolders()
    {
        QVERIFY(QFile::link("/dev/shm", At("@/shm"))); // a link counts for the volume it points into
        QCOMPARE(GetVolumeRoot(At("@/shm/not-yet")), QStringLiteral("/dev/shm"));
        QCOMPARE(GetFileSystemType("/dev/shm/not-a-root"), 0);
        QVERIFY(GetFreeSpace(At("@/not-yet")) >= 0);
        for (const char* path : {"//server/share/file", "\\\\server\\share\\file", "/no/such/dir/file"})
            QCOMPARE(GetFreeSpace(path), qint64(-1));
        qputenv("CORVANTIS_CONFIG_DIR", ""); // counts as unset
        QCOMPARE(ConfigFolder(), QStringLiteral("/var/lib/Corvantis"));
        QCOMPARE(ResourcesFolder(), QStringLiteral("/Resources")); // not installed: not logged at level 0
        QCOMPARE(NewLog(), (QStringList{"GetVolumeInformation for /dev/shm/not-a-root failed 2",
                                        "Failed to GetDiskFreeSpaceEx /no/such/dir 2"})); // network paths not looked at
        QVERIFY(QProcess::execute("sh", {"-c", "chmod 755 \"$0\" && mkdir -m 700 \"$0/locked\" \"$0/locked/inner\""
                                               " && echo >\"$0/f\"", m_dir->path()}) == 0);
        for (const QString path : {"@", "@/f", "@/no"}) // a plain file or a missing one is "path not found"
            QCOMPARE(SpaceCode(At(path)), path == "@" ? quint32(CFileHelper::FH_OK) : CFileHelper::FH_PATH_NOT_FOUND);
        if (!KvrTest::IsRoot())
            QSKIP("needs root to try as nobody");
        const pid_t child = fork(); // as nobody, a folder closed to the caller gives "access denied"
        if (child == 0)
            _exit(setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0
                  && SpaceCode(At("@/locked/inner")) == CFileHelper::FH_ACCESS_DENIED ? 0 : 1);
        int status = -1;
        QVERIFY(child > 0 && waitpid(child, &status, 0) == child && status == 0);
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
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("logged"); // empty: granted
        // The file starts as "u::rw-,u:65534:r--,g::r--,g:0:r--,m::r--,o::r--", the folder as "u::rwx,g::r-x,o::---".
        QTest::newRow("file: replaces only the account's entry")
            << "@/f" << "BUILTIN\\root" << "u::rw-,u:65534:r--,g::r--,g:0:rwx,m::rwx,o::r--" << QString();
        QTest::newRow("folder: added and passed on") << "@" << "BUILTIN\\root" << "u::rwx,g::r-x,g:0:rwx,m::rwx,o::---"
                                                      << QString();
        QTest::newRow("unknown account") << "@/f" << "BUILTIN\\kvr_nobody_here"
                                         << "u::rw-,u:65534:r--,g::r--,g:0:r--,m::r--,o::r--"
                                         << "error: get account \"BUILTIN\\kvr_nobody_here\" (2)";
        QTest::newRow("missing file") << "@/missing" << "BUILTIN\\root" << "-"
                                      << "error: get Dacl for \"@/missing\"  (2)";
    }

    void addAccessRights()
    {
        QFETCH(QString, path);
        QFETCH(QString, account);
        QFETCH(QString, logged);
        QVERIFY(KvrTest::WriteFile(At("@/f"), "<x/>"));
        if (Acl(At("@/f"), "u::rw-,u:65534:r--,g::r--,g:0:r--,m::r--,o::r--") == "-")
            QSKIP("the temporary folder's volume keeps no access lists");
        QVERIFY(Acl(m_dir->path(), "u::rwx,g::r-x,o::---") != "-");
        path = At(path);
        for (int call = 0; call < 2; ++call) { // a second call still leaves a single entry
            QCOMPARE(CAuth::AddAccessRights(path, account, CAuth::GENERIC_ALL_ACCESS), logged.isEmpty());
            QTEST(Acl(path), "after");
            QCOMPARE(NewLog(), logged.isEmpty() ? QStringList() : QStringList{At(logged)});
        }
        if (path == m_dir->path())
            QTEST(Acl(path, QByteArray(), ACL_TYPE_DEFAULT), "after");
    }

    void locale_data()
    {
        QTest::addColumn<QString>("variables"); // LC_ALL|LC_MESSAGES|LANG
        QTest::addColumn<QString>("ui"); // the interface locale, or "0x<error>" when it cannot be read
        QTest::addColumn<QString>("chosen"); // the default locale
        QTest::addColumn<QString>("folder"); // of its translations, among de_DE, de, pt, zh_TW and a file es_ES
        QTest::newRow("LC_ALL first, codeset") << "fr_CA.UTF-8|ja_JP|de_DE" << "fr_CA" << "fr_FR" << "";
        QTest::newRow("empty is unset, modifier") << "|de_AT.eucJP@x|ja_JP" << "de_AT" << "de_DE" << "de_DE";
        QTest::newRow("Hong Kong reads as Taiwan") << "||zh_HK.UTF-8" << "zh_TW" << "zh_TW" << "zh_TW";
        QTest::newRow("Macau") << "||zh_MO" << "zh_MO" << "zh_TW" << "zh_TW";
        QTest::newRow("mainland China") << "||zh_CN" << "zh_CN" << "zh_CN" << "";
        QTest::newRow("other Chinese rejected") << "||zh_SG" << "zh_SG" << "en_US" << "";
        QTest::newRow("Portugal rejected") << "||pt_PT" << "pt_PT" << "en_US" << "";
        QTest::newRow("Brazil, language folder") << "||pt_BR" << "pt_BR" << "pt_BR" << "pt";
        QTest::newRow("a file is no folder") << "||es_MX" << "es_MX" << "es_ES" << "";
        QTest::newRow("unsupported") << "||nl_NL" << "nl_NL" << "en_US" << "";
        QTest::newRow("none set") << "||" << "0x2" << "en_US" << "";
        QTest::newRow("C decides first") << "C||de_DE" << "0x16" << "en_US" << "";
        QTest::newRow("no country") << "||de.UTF-8" << "0x16" << "en_US" << "";
        for (const char* name : {"ru_RU", "ko_KR", "it_IT", "pl_PL", "cs_CZ", "ja_JP"}) // other supported ones
            QTest::newRow(name) << QString("||") + name << name << name << "";
    }

    void locale()
    {
        QFETCH(QString, variables);
        QFETCH(QString, ui);
        QFETCH(QString, chosen);
        QFETCH(QString, folder);
        const QStringList values = variables.split('|');
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
        QSettings(QSettings::SystemScope, "Corvantis", "Corvantis Lumen").setValue("InstallLocation", m_dir->path());
        QCOMPARE(QProcess::execute("sh", {"-c", "cd \"$0\" && mkdir -p Resources/de_DE Resources/de Resources/pt"
                                                " Resources/zh_TW && echo >Resources/es_ES", m_dir->path()}), 0);
        QCOMPARE(FindTranslationsFolder(QString()), folder.isEmpty() ? QString() : At("@/Resources/" + folder));
        QCOMPARE(ReplaceLocaleMacro("/@LOCALE@/?l=@LOCALE@&@locale@", QLocale()), // every one, in its exact case
                 QString("/%1/?l=%1&@locale@").arg(chosen));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
