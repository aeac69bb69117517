#include "kvrtest.h"

#include "platform/auth.h"
#include "platform/authhelper.h"
#include "platform/log.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

#include <acl/libacl.h>
#include <sys/acl.h>

namespace {

// The access list of path in its short text form ("u::rw-,g:0:rwx,m::rwx,o::---"); "-" when unreadable.
QString Acl(const QString& path, acl_type_t type = ACL_TYPE_ACCESS)
{
    acl_t acl = acl_get_file(QFile::encodeName(path).constData(), type);
    char* text = acl ? acl_to_any_text(acl, nullptr, ',', TEXT_ABBREVIATE | TEXT_NUMERIC_IDS) : nullptr;
    const QString result = text ? QString::fromLatin1(text) : QStringLiteral("-");
    if (text != nullptr)
        acl_free(text);
    if (acl != nullptr)
        acl_free(acl);
    return result;
}

bool SetAcl(const QString& path, const char* text, acl_type_t type = ACL_TYPE_ACCESS)
{
    acl_t acl = acl_from_text(text);
    const bool ok = acl != nullptr && acl_set_file(QFile::encodeName(path).constData(), type, acl) == 0;
    if (acl != nullptr)
        acl_free(acl);
    return ok;
}

} // namespace

class TestAuth : public QObject
{
    Q_OBJECT

    QTemporaryDir m_logDir;

private slots:
    void initTestCase()
    {
        LogControl::SetFolder(QFile::encodeName(m_logDir.path()));
        QVERIFY(KvrTest::WriteFile(m_logDir.filePath("probe"), "x"));
        if (!SetAcl(m_logDir.filePath("probe"), "u::rw-,g::r--,g:0:r--,m::r--,o::---"))
            QSKIP("the temporary folder's volume keeps no access lists");
    }

    void lookupAliasFromRid()
    {
        const quint8 nt[6] = {0, 0, 0, 0, 0, 5}, world[6] = {0, 0, 0, 0, 0, 1};
        QString name;
        QVERIFY(CAuthHelper::LookupAliasFromRid(QString(), nt, 32, 544, name));
        QCOMPARE(name, "BUILTIN\\" + QFileInfo("/").group()); // gid 0 owns the root folder
        QVERIFY(!CAuthHelper::LookupAliasFromRid(QString(), nt, 32, 545, name));
        QVERIFY(!CAuthHelper::LookupAliasFromRid(QString(), world, 32, 544, name));
        QVERIFY(!CAuthHelper::LookupAliasFromRid("\\\\kvr-no-such-host", nt, 32, 544, name));
    }

    void addAccessRights_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("after");
        QTest::newRow("administrators") << QByteArray("u::rw-,g::r--,o::---") << "BUILTIN\\root"
                                        << "u::rw-,g::r--,g:0:rwx,m::rwx,o::---";
        QTest::newRow("replaces only the account's entry")
            << QByteArray("u::rw-,u:65534:r--,g::r--,g:0:r--,m::r--,o::r--") << "BUILTIN\\root"
            << "u::rw-,u:65534:r--,g::r--,g:0:rwx,m::rwx,o::r--";
        QTest::newRow("a user") << QByteArray("u::rw-,g::---,o::---") << "HOST\\nobody" << "u::rw-,u:65534:rwx,g::---,m::rwx,o::---";
    }

    void addAccessRights()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, account);
        QFETCH(QString, after);
        QTemporaryDir dir;
        const QString file = dir.filePath("config.xml");
        QVERIFY(KvrTest::WriteFile(file, "<x/>") && SetAcl(file, before.constData()));
        for (int call = 0; call < 2; ++call) { // the second call still leaves a single entry
            QVERIFY(CAuth::AddAccessRights(file, account, CAuth::GENERIC_ALL_ACCESS));
            QCOMPARE(Acl(file), after);
        }
    }

    void folderPassesTheEntryOn()
    {
        QTemporaryDir dir;
        QVERIFY(SetAcl(dir.path(), "u::rwx,g::r-x,o::---"));
        QVERIFY(CAuth::AddAccessRights(dir.path(), "BUILTIN\\root", CAuth::GENERIC_ALL_ACCESS));
        QCOMPARE(Acl(dir.path(), ACL_TYPE_DEFAULT), QStringLiteral("u::rwx,g::r-x,g:0:rwx,m::rwx,o::---"));
        QVERIFY(KvrTest::WriteFile(dir.filePath("later.xml"), "<x/>"));
        QVERIFY(Acl(dir.filePath("later.xml")).contains("g:0:rwx"));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("logged");
        QTest::newRow("unknown account") << "@/file" << "BUILTIN\\kvr_nobody_here"
                                         << "error: get account \"BUILTIN\\kvr_nobody_here\" (2)";
        QTest::newRow("missing file") << "@/missing" << "BUILTIN\\root" << "error: get Dacl for \"@/missing\"  (2)";
    }

    void failures()
    {
        QFETCH(QString, path);
        QFETCH(QString, account);
        QFETCH(QString, logged);
        QTemporaryDir dir, logDir;
        LogControl::SetFolder(QFile::encodeName(logDir.path()));
        QVERIFY(KvrTest::WriteFile(dir.filePath("file"), "x") && SetAcl(dir.filePath("file"), "u::rw-,g::r--,o::---"));
        QVERIFY(!CAuth::AddAccessRights(path.replace('@', dir.path()), account, CAuth::GENERIC_ALL_ACCESS));
        const QStringList lines =
            KvrTest::LogLinesOf(logDir.filePath(LogControl::FileName()), QCoreApplication::applicationPid());
        QCOMPARE(lines.size(), 1);
        QCOMPARE(KvrTest::LogText(lines[0]), logged.replace('@', dir.path()));
        QCOMPARE(Acl(dir.filePath("file")), QStringLiteral("u::rw-,g::r--,o::---"));
    }

    void volumeWithoutAccessLists()
    {
        if (!KvrTest::IsRoot() || QStandardPaths::findExecutable("unshare").isEmpty())
            QSKIP("needs root and unshare to mount a scratch volume");
        // ramfs keeps no access lists; it is mounted in a private mount namespace only.
        QTemporaryDir dir;
        const QString script = "mount -t ramfs none \"$1\" || exit 77; touch \"$1/f\" && chmod 640 \"$1/f\" || exit 1; "
                               "\"$2\" addrights \"$1/f\" 'BUILTIN\\root'; stat -c %a \"$1/f\"";
        const KvrTest::RunResult run = KvrTest::Run("unshare", {"--mount", "--propagation", "private", "sh", "-c", script,
                                                                "sh", dir.path(), KvrTest::HelperPath("platform_probe")},
                                                    KvrTest::RunOptions());
        if (run.exitCode == 77 || run.exitCode == -1)
            QSKIP("cannot mount a ramfs volume here");
        QCOMPARE(run.out, QByteArray("1\n640\n")); // reported as granted, nothing changed
    }
};

QTEST_GUILESS_MAIN(TestAuth)
#include "tst_auth.moc"
