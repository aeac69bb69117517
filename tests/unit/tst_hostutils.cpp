#include "kvrtest.h"

#include "platform/filehelper.h"
#include "platform/hostutils.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStorageInfo>
#include <QUuid>
#include <QtTest>

#include <unistd.h>

using namespace HostUtils;

// Sends this process's log into a fresh folder and reads back what was written there.
class LogCapture
{
public:
    LogCapture() { LogControl::SetFolder(QFile::encodeName(m_dir.path())); }
    QStringList texts() const
    {
        QStringList texts;
        for (const QString& line : KvrTest::LogLinesOf(m_dir.filePath(LogControl::FileName()),
                                                       QCoreApplication::applicationPid()))
            texts << KvrTest::LogText(line);
        return texts;
    }

private:
    QTemporaryDir m_dir;
};

class TestHostUtils : public QObject
{
    Q_OBJECT

private slots:
    void mountTable_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QString>("type");
        QTest::newRow("longest match") << QByteArray("/dev/vda / ext4 rw 0 0\ntmpfs /dev/shm tmpfs rw 0 0\n")
                                       << "/dev/shm/x" << "/dev/shm" << "tmpfs";
        QTest::newRow("escapes") << QByteArray("/dev/vda / ext4 rw 0 0\n/dev/sdb1 /media/My\\040Disk\\134x vfat rw 0 0")
                                 << "/media/My Disk\\x/f" << "/media/My Disk\\x" << "vfat";
        QTest::newRow("prefix without separator") << QByteArray("d / ext4 rw\nd /mnt xfs rw") << "/mntx" << "/" << "ext4";
        QTest::newRow("top of a stack") << QByteArray("d /mnt xfs rw\nd /mnt tmpfs rw") << "/mnt/a" << "/mnt" << "tmpfs";
        QTest::newRow("short lines skipped") << QByteArray("broken /z\n\nd / ext4 rw") << "/z" << "/" << "ext4";
        QTest::newRow("not held") << QByteArray("d /mnt xfs rw\nnone none swap rw") << "/etc" << QString() << QString();
    }

    void mountTable()
    {
        QFETCH(QByteArray, table);
        QFETCH(QString, path);
        QFETCH(QString, mountPoint);
        QFETCH(QString, type);
        const QList<MountEntry> entries = ParseMountTable(table);
        const int found = FindMountEntry(entries, path);
        QCOMPARE(found >= 0 ? entries[found].mountPoint : QString(), mountPoint);
        QCOMPARE(found >= 0 ? entries[found].type : QString(), type);
    }

    void fileSystemCodes()
    {
        const QList<QPair<const char*, int>> rows = {{"msdos", 1}, {"vfat", 2}, {"ntfs", 3}, {"ntfs3", 3},
                                                     {"exfat", 22}, {"ext4", 0}, {"VFAT", 0}, {"fat32", 0}};
        for (const auto& row : rows)
            QVERIFY2(FileSystemCode(FileSystemNameOfMountType(row.first)) == row.second, row.first);
    }

    void realVolumes()
    {
        QTemporaryDir dir;
        QCOMPARE(GetVolumeRoot("/proc/no/such/file"), QStringLiteral("/proc"));
        QVERIFY(QFile::link("/dev/shm", dir.filePath("shm"))); // a link counts for the volume it points into
        QCOMPARE(GetVolumeRoot(dir.filePath("shm/not-yet")), QStringLiteral("/dev/shm"));
        QCOMPARE(GetVolumeRoot(dir.path()), QStorageInfo(dir.path()).rootPath());
        QVERIFY(!IsFatFamily(dir.path()));
        const LogCapture log;
        QCOMPARE(GetFileSystemType("/dev/shm/not-a-root"), 0);
        QCOMPARE(log.texts(), QStringList{"GetVolumeInformation for /dev/shm/not-a-root failed 2"});
    }

    void freeSpace_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("logged"); // "+": expect free space, no log
        QTest::newRow("network share") << "//server/share/file" << QString();
        QTest::newRow("network share, backslashes") << "\\\\server\\share\\file" << QString();
        QTest::newRow("missing folder") << "/no/such/dir/file" << "Failed to GetDiskFreeSpaceEx /no/such/dir 2";
        QTest::newRow("file not yet created") << "@/new-file" << "+";
    }

    void freeSpace()
    {
        QFETCH(QString, path);
        QFETCH(QString, logged);
        QTemporaryDir dir;
        const LogCapture log;
        const qint64 space = GetFreeSpace(path.replace('@', dir.path()));
        if (logged == "+") {
            // Another program may write meanwhile: the readings only need to be close.
            QVERIFY(space > 0 && qAbs(space - QStorageInfo(dir.path()).bytesAvailable()) < (qint64(1) << 28));
            logged.clear();
        } else {
            QCOMPARE(space, qint64(-1));
        }
        QCOMPARE(log.texts(), logged.isEmpty() ? QStringList() : QStringList{logged});
    }

    void diskAvailableSpace_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<quint32>("code");
        QTest::newRow("folder") << "@/sub/" << quint32(CFileHelper::FH_OK);
        QTest::newRow("missing folder") << "@/missing" << quint32(CFileHelper::FH_PATH_NOT_FOUND);
        QTest::newRow("a file is not a folder") << "@/file" << quint32(CFileHelper::FH_PATH_NOT_FOUND);
        QTest::newRow("through a file") << "@/file/sub" << quint32(CFileHelper::FH_PATH_NOT_FOUND);
        QTest::newRow("empty path") << "" << quint32(CFileHelper::FH_PATH_NOT_FOUND);
    }

    void diskAvailableSpace()
    {
        QFETCH(QString, path);
        QFETCH(quint32, code);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub") && KvrTest::WriteFile(dir.filePath("file"), "data"));
        quint64 free = 7, total = 7, totalFree = 7;
        const LogCapture log;
        QCOMPARE(CFileHelper::GetDiskAvailableSpace(path.replace('@', dir.path()), &free, &total, &totalFree), code);
        if (code == CFileHelper::FH_OK)
            QVERIFY(free > 0 && free <= totalFree && totalFree <= total);
        else
            QVERIFY(free == 0 && total == 0 && totalFree == 0);
        QCOMPARE(log.texts(), QStringList()); // only "other" failures are logged
    }

    void diskAvailableSpaceDenied()
    {
        if (!KvrTest::IsRoot())
            QSKIP("needs root to run the probe as nobody");
        KvrTest::Sandbox sandbox;
        QVERIFY(QDir().mkpath(sandbox.path("locked/inner")));
        sandbox.giveToNobody();
        QVERIFY(::chown(QFile::encodeName(sandbox.path("locked")).constData(), 0, 0) == 0);
        QVERIFY(QFile::setPermissions(sandbox.path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        KvrTest::RunOptions options;
        options.environment = sandbox.environment();
        options.asNobody = true;
        for (const QString& path : {sandbox.path("locked/inner"), sandbox.home()}) {
            const KvrTest::RunResult run = KvrTest::Run(KvrTest::HelperPath("platform_probe"), {"diskspace", path}, options);
            QCOMPARE(run.out.trimmed(), QByteArray(path == sandbox.home() ? "0x0" : "0x80000005"));
        }
    }

    void moveFile_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("logged"); // empty: moved
        QTest::newRow("replaces the target") << "@/new" << "@/old" << QString();
        QTest::newRow("missing source") << "@/absent" << "@/old"
                                        << "Unable to move file by error 0x2. sFrom==>sTo:'@/absent' ==>'@/old'";
        QTest::newRow("target is a folder") << "@/new" << "@/sub"
                                            << "Unable to move file by error 0x15. sFrom==>sTo:'@/new' ==>'@/sub'";
    }

    void moveFile()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, logged);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("sub/x"));
        QVERIFY(KvrTest::WriteFile(dir.filePath("new"), "fresh") && KvrTest::WriteFile(dir.filePath("old"), "stale"));
        const LogCapture log;
        QCOMPARE(CFileHelper::MoveFile(from.replace('@', dir.path()), to.replace('@', dir.path())), logged.isEmpty());
        QCOMPARE(log.texts(), logged.isEmpty() ? QStringList() : QStringList{logged.replace('@', dir.path())});
        QCOMPARE(KvrTest::ReadFile(logged.isEmpty() ? to : dir.filePath("new")), QByteArray("fresh"));
        QCOMPARE(QFile::exists(dir.filePath("new")), !logged.isEmpty());
    }

    void configFolder()
    {
        const QByteArray saved = qgetenv("CORVANTIS_CONFIG_DIR");
        for (const char* value : {"", "/srv/conf dir/"}) {
            qputenv("CORVANTIS_CONFIG_DIR", value);
            const LogCapture log;
            QCOMPARE(ConfigFolder(), *value ? QString(value) : QStringLiteral("/var/lib/Corvantis"));
            QCOMPARE(log.texts().size(), *value ? 1 : 0);
            QVERIFY(!*value || log.texts()[0].contains(QLatin1String(value)));
        }
        qputenv("CORVANTIS_CONFIG_DIR", saved);
    }

    void installLocation_data()
    {
        QTest::addColumn<QByteArray>("content"); // "-": no file
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("not installed logs nothing") << QByteArray("-") << QString() << QStringList();
        QTest::newRow("no value logs nothing") << QByteArray("[General]\nX=1\n") << QString() << QStringList();
        QTest::newRow("installed") << QByteArray("[General]\nInstallLocation=/opt/lumen\\0junk\n") << "/opt/lumen"
                                   << QStringList();
        QTest::newRow("a list is a bad type") << QByteArray("[General]\nInstallLocation=/a, /b\n") << QString()
                                              << QStringList{"Bad type of \"InstallLocation\" value, type=11, valSz=14"};
    }

    void installLocation()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        QFETCH(QStringList, logged);
        QTemporaryDir dir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, dir.path());
        QVERIFY(content == "-" || (QDir(dir.path()).mkdir("Corvantis")
                                   && KvrTest::WriteFile(dir.filePath("Corvantis/Corvantis Lumen.conf"), content)));
        const LogCapture log;
        QCOMPARE(InstallLocation("SOFTWARE\\Corvantis\\Corvantis Lumen"), expected);
        QCOMPARE(log.texts(), logged);
        QCOMPARE(ResourcesFolder(), expected + "/Resources");
    }

    void uuids()
    {
        const QByteArray bytes = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
        QCOMPARE(UuidText(reinterpret_cast<const unsigned char*>(bytes.constData())),
                 QStringLiteral("{00010203-0405-0607-0809-0a0b0c0d0e0f}"));
        static const QRegularExpression form("^\\{[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}\\}$");
        QSet<QString> seen;
        for (int i = 0; i < 1000; ++i) {
            const QString text = NewUuidText();
            QVERIFY2(form.match(text).hasMatch() && QUuid(text).version() == QUuid::Random, qPrintable(text));
            seen.insert(text);
        }
        QCOMPARE(seen.size(), 1000);
    }
};

QTEST_GUILESS_MAIN(TestHostUtils)
#include "tst_hostutils.moc"
