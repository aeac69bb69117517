// Host and file utilities, access rights and the locale.
#include "kvrtest.h"

#include "platform/auth.h"
#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/locale.h"
#include "platform/log.h"

#include <QSettings>
#include <QtTest>

#include <grp.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <acl/libacl.h>

using namespace HostUtils;

// The access list of path in short text form ("u::rw-,g:0:rwx,m::rwx,o::---"); "-" when unreadable.
static QString Acl(const QString& path, acl_type_t type = ACL_TYPE_ACCESS)
{
    acl_t acl = acl_get_file(QFile::encodeName(path).constData(), type);
    char* text = acl ? acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS) : nullptr;
    const QString result = text ? QString::fromLatin1(text) : QStringLiteral("-");
    acl_free(text); // acl_free() ignores null pointers
    acl_free(acl);
    return result;
}

static bool SetAcl(const QString& path, const QByteArray& text)
{
    acl_t acl = acl_from_text(text.constData());
    const bool ok = acl && acl_set_file(QFile::encodeName(path).constData(), ACL_TYPE_ACCESS, acl) == 0;
    acl_free(acl);
    return ok;
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
        QTest::addColumn<QString>("found"); // "mount point|type"
        QTest::newRow("longest match") << QByteArray("d / ext4 rw 0 0\nd /dev/shm tmpfs rw") << "/dev/shm/x"
                                       << "/dev/shm|tmpfs";
        QTest::newRow("escapes") << QByteArray("d /media/My\\040Disk\\134x vfat rw") << "/media/My Disk\\x/f"
                                 << "/media/My Disk\\x|vfat";
        QTest::newRow("prefix without separator") << QByteArray("d / ext4 rw\nd /mnt xfs rw") << "/mntx" << "/|ext4";
        QTest::newRow("top of a stack") << QByteArray("d /mnt xfs rw\nd /mnt tmpfs rw") << "/mnt/a" << "/mnt|tmpfs";
        QTest::newRow("not held") << QByteArray("d /mnt xfs rw") << "/z" << "|";
    }

    void mountTable()
    {
        QFETCH(QByteArray, table);
        QFETCH(QString, path);
        const QList<MountEntry> entries = ParseMountTable(table);
        const int at = FindMountEntry(entries, path);
        QTEST(at < 0 ? QString("|") : entries[at].mountPoint + '|' + entries[at].type, "found");
    }

    void volumes()
    {
        for (const auto& row : QList<QPair<const char*, int>>{{"msdos", 1}, {"vfat", 2}, {"ntfs3", 3}, {"exfat", 22},
                                                               {"ext4", 0}, {"VFAT", 0}})
            QVERIFY2(FileSystemCode(FileSystemNameOfMountType(row.first)) == row.second, row.first);
        QVERIFY(QFile::link("/dev/shm", At("@/shm"))); // a link counts for the volume it points into
        QCOMPARE(GetVolumeRoot(At("@/shm/not-yet")), QStringLiteral("/dev/shm"));
        QCOMPARE(GetFileSystemType("/dev/shm/not-a-root"), 0);
        QCOMPARE(NewLog(), QStringList{"GetVolumeInformation for /dev/shm/not-a-root failed 2"});
    }

    void spaceFailures()
    {
        // Successful readings are proven by the download folder checks and the documents' safe save.
        QCOMPARE(GetFreeSpace("//server/share/file"), qint64(-1));
        QCOMPARE(GetFreeSpace("\\\\server\\share\\file"), qint64(-1));
        QCOMPARE(GetFreeSpace("/no/such/dir/file"), qint64(-1));
        QCOMPARE(NewLog(), QStringList{"Failed to GetDiskFreeSpaceEx /no/such/dir 2"}); // network paths not looked at
        // Outputs are zeroed on failure; a folder closed to the caller is "access denied", not logged.
        QVERIFY(QProcess::execute("sh", {"-c", "chmod 755 \"$0\" && mkdir -m 700 \"$0/locked\" \"$0/locked/inner\"",
                                         m_dir->path()}) == 0);
        const auto code = [](const QString& path) {
            quint64 free = 7, total = 7, totalFree = 7;
            const quint32 result = CFileHelper::GetDiskAvailableSpace(path, &free, &total, &totalFree);
            return free + total + totalFree == 0 ? result : 1;
        };
        QCOMPARE(code(At("@/missing")), quint32(CFileHelper::FH_PATH_NOT_FOUND));
        if (!KvrTest::IsRoot())
            QSKIP("needs root to try as nobody");
        const pid_t child = fork();
        if (child == 0)
            _exit(setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0
                          && code(At("@/locked/inner")) == CFileHelper::FH_ACCESS_DENIED
                      ? 0
                      : 1);
        int status = -1;
        QVERIFY(child > 0 && waitpid(child, &status, 0) == child);
        QCOMPARE(status, 0);
        QCOMPARE(NewLog(), QStringList());
    }

    void productFolders()
    {
        qputenv("CORVANTIS_CONFIG_DIR", ""); // counts as unset
        QCOMPARE(ConfigFolder(), QStringLiteral("/var/lib/Corvantis"));
        QCOMPARE(ResourcesFolder(), QStringLiteral("/Resources")); // not installed
        QCOMPARE(NewLog(), QStringList());
        qputenv("CORVANTIS_CONFIG_DIR", "/srv/conf dir/");
        QCOMPARE(ConfigFolder(), QStringLiteral("/srv/conf dir/"));
        QCOMPARE(NewLog().filter("'/srv/conf dir/'").size(), 1);
        QVERIFY(QDir(m_dir->path()).mkdir("Corvantis")
                && KvrTest::WriteFile(At("@/Corvantis/Corvantis Lumen.conf"), "[General]\nInstallLocation=/a, /b\n"));
        QCOMPARE(ResourcesFolder(), QStringLiteral("/Resources"));
        QCOMPARE(NewLog(), QStringList{"Bad type of \"InstallLocation\" value, type=11, valSz=14"});
    }

    void uuids()
    {
        const QByteArray bytes = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
        QCOMPARE(UuidText(reinterpret_cast<const unsigned char*>(bytes.constData())),
                 QStringLiteral("{00010203-0405-0607-0809-0a0b0c0d0e0f}"));
        const QRegularExpression form("^\\{[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\}$");
        QStringList texts;
        for (int i = 0; i < 1000; ++i)
            texts << NewUuidText();
        QCOMPARE(texts.filter(form).size(), 1000);
        QCOMPARE(QSet<QString>(texts.begin(), texts.end()).size(), 1000);
    }

    void addAccessRights_data()
    {
        QTest::addColumn<QString>("path"); // '@' alone: the folder itself
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("logged"); // empty: granted
        QTest::newRow("administrators") << "@/f" << QByteArray("u::rw-,g::r--,o::---") << "BUILTIN\\root"
                                        << "u::rw-,g::r--,g:0:rwx,m::rwx,o::---" << QString();
        QTest::newRow("replaces only the account's entry")
            << "@/f" << QByteArray("u::rw-,u:65534:r--,g::r--,g:0:r--,m::r--,o::r--") << "BUILTIN\\root"
            << "u::rw-,u:65534:r--,g::r--,g:0:rwx,m::rwx,o::r--" << QString();
        QTest::newRow("folder passes the entry on") << "@" << QByteArray("u::rwx,g::r-x,o::---") << "BUILTIN\\root"
                                                    << "u::rwx,g::r-x,g:0:rwx,m::rwx,o::---" << QString();
        QTest::newRow("unknown account") << "@/f" << QByteArray("u::rw-,g::r--,o::---") << "BUILTIN\\kvr_nobody_here"
                                         << "u::rw-,g::r--,o::---"
                                         << "error: get account \"BUILTIN\\kvr_nobody_here\" (2)";
        QTest::newRow("missing file") << "@/missing" << QByteArray() << "BUILTIN\\root" << "-"
                                      << "error: get Dacl for \"@/missing\"  (2)";
    }

    void addAccessRights()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, before);
        QFETCH(QString, account);
        QFETCH(QString, logged);
        if (!SetAcl(m_dir->path(), "u::rwx,g::---,g:0:r-x,m::r-x,o::---"))
            QSKIP("the temporary folder's volume keeps no access lists");
        QVERIFY(KvrTest::WriteFile(At("@/f"), "<x/>"));
        path = At(path);
        QVERIFY(before.isEmpty() || SetAcl(path, before));
        for (int call = 0; call < 2; ++call) { // a second call still leaves a single entry
            QCOMPARE(CAuth::AddAccessRights(path, account, CAuth::GENERIC_ALL_ACCESS), logged.isEmpty());
            QTEST(Acl(path), "after");
            QCOMPARE(NewLog(), logged.isEmpty() ? QStringList() : QStringList{At(logged)});
        }
        if (path == m_dir->path())
            QTEST(Acl(path, ACL_TYPE_DEFAULT), "after");
    }

    void uiLocale_data()
    {
        QTest::addColumn<QString>("variables"); // LC_ALL|LC_MESSAGES|LANG
        QTest::addColumn<QString>("expected"); // empty: the call fails
        QTest::addColumn<QString>("logged");
        const QString found = QStringLiteral("Windows user interface locale is '%1'");
        const QString failed = QStringLiteral("Failed to retrieve information about the system locale, 0x%1");
        QTest::newRow("LC_ALL first, codeset") << "fr_CA.UTF-8|ja_JP|de_DE" << "fr_CA" << found.arg("fr_CA");
        QTest::newRow("empty is unset, modifier") << "|ja_JP.eucJP@x|de_DE" << "ja_JP" << found.arg("ja_JP");
        QTest::newRow("Hong Kong reads as Taiwan") << "||zh_HK.UTF-8" << "zh_TW" << found.arg("zh_TW");
        QTest::newRow("none set") << "||" << QString() << failed.arg("2");
        QTest::newRow("C decides first") << "C||de_DE" << QString() << failed.arg("16");
        QTest::newRow("no country") << "||en.UTF-8" << QString() << failed.arg("16");
        QTest::newRow("unknown language") << "||qq_QQ" << QString() << failed.arg("16");
    }

    void uiLocale()
    {
        QFETCH(QString, variables);
        QFETCH(QString, expected);
        QFETCH(QString, logged);
        const QStringList values = variables.split('|');
        const char* const names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
        for (int i = 0; i < 3; ++i)
            qputenv(names[i], values[i].toUtf8()); // an empty variable counts as unset
        QLocale locale(QLocale::Korean);
        QCOMPARE(GetWindowsUiLocale(locale), !expected.isEmpty());
        QCOMPARE(locale.name(), expected.isEmpty() ? QStringLiteral("ko_KR") : expected);
        QCOMPARE(UiLanguageCandidates(), (QStringList{expected, "en_US", "en"}.mid(expected.isEmpty() ? 1 : 0)));
        QCOMPARE(NewLog(), (QStringList{logged, logged})); // once more for the candidates
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
        QTest::newRow("language only") << QStringList{"es_MX", "en_US"} << "es_ES";
        QTest::newRow("nothing accepted") << QStringList{"nl_NL", "pt_PT", "bogus"} << "en_US";
        for (const char* name : {"ru", "fr", "de", "ko", "it", "pl", "cs", "ja", "es"}) // other supported ones
            QTest::newRow(name) << QStringList{name} << QLocale(name).name();
    }

    void chooseSupportedLocale()
    {
        QFETCH(QStringList, candidates);
        QTEST(ChooseSupportedLocale(candidates).name(), "chosen");
    }

    void findTranslationsFolder_data()
    {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<QString>("base"); // empty: the resources folder of the installed product
        QTest::addColumn<QString>("expected");
        QTest::newRow("full name first") << QStringList{"de_DE", "de"} << "@" << "@/de_DE";
        QTest::newRow("language only") << QStringList{"de", "fr_FR"} << "@/x/.." << "@/de";
        QTest::newRow("a file is not a folder") << QStringList{"file:de_DE"} << "@" << QString();
        QTest::newRow("resources folder") << QStringList{"Resources/de"} << "" << "@/Resources/de";
        QTest::newRow("no resources folder") << QStringList{"de"} << "" << QString();
    }

    void findTranslationsFolder()
    {
        QFETCH(QStringList, folders);
        QFETCH(QString, base);
        QFETCH(QString, expected);
        QVERIFY(QDir(m_dir->path()).mkpath("x"));
        QSettings(QSettings::SystemScope, "Corvantis", "Corvantis Lumen").setValue("InstallLocation", m_dir->path());
        for (const QString& folder : folders)
            QVERIFY(folder.startsWith("file:") ? KvrTest::WriteFile(At("@/" + folder.mid(5)), "x")
                                               : QDir(m_dir->path()).mkpath(folder));
        QLocale::setDefault(QLocale("de_DE"));
        QCOMPARE(FindTranslationsFolder(At(base)), At(expected));
    }

    void replaceLocaleMacro()
    {
        QCOMPARE(ReplaceLocaleMacro("/@LOCALE@/?l=@LOCALE@&@locale@", QLocale("pt_BR")),
                 QStringLiteral("/pt_BR/?l=pt_BR&@locale@"));
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
