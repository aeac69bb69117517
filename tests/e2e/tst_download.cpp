// "download" up to its first network step: selection, hotfix order and the download folder checks.
// The updates' files are on a fault server that answers every request with 404 and records which
// file the run probed first.
#include "documents.h"
#include "kvrtest.h"
#include "servers.h"

#include <QtTest>

#include <sys/mount.h>

using namespace KvrTest;

namespace {

const QByteArray kUnableToConnect = "Unable to connect to the Corvantis Update site.\n";

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void selection_data();
    void selection();
    void exactlyEnoughSpaceIsRefused_data();
    void exactlyEnoughSpaceIsRefused();
    void updateDuringInstallationNeedsNoAdministrator();

private:
    RunResult download(const QStringList& arguments, bool asNobody = false);
    QString probedFile() const;
    QByteArray description(const QStringList& updates) const { return DescriptionXml(updates, m_server->url("/files/")); }
    QScopedPointer<Sandbox> m_sandbox;
    QScopedPointer<FaultServer> m_server;
};

void TestDownload::init()
{
    m_sandbox.reset(new Sandbox);
    m_server.reset(new FaultServer);
    QVERIFY(m_server->setScript(QJsonArray{QJsonObject{{"status", 404}, {"reason", "Not Found"}}}));
    QVERIFY2(m_server->start(), m_server->log().constData());
}

RunResult TestDownload::download(const QStringList& arguments, bool asNobody)
{
    RunOptions options;
    options.environment = m_sandbox->environment();
    options.asNobody = asNobody;
    if (asNobody)
        m_sandbox->giveToNobody();
    return Run(QStringList{"download", "-u", "lum"} + arguments, options);
}

// The file of the run's first request.
QString TestDownload::probedFile() const
{
    const QList<Request> requests = m_server->requests();
    return requests.isEmpty() ? QString() : requests.first().method + " " + requests.first().target;
}

void TestDownload::selection_data()
{
    QTest::addColumn<bool>("fromConfig"); // the updates come with -c instead of -d
    QTest::addColumn<QStringList>("updates");
    QTest::addColumn<bool>("folderIsFile"); // -p names a file instead of a folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("firstUuid"); // the update probed first

    const QStringList ordinaryAndHotfix{"hf5:5", "ord1"};
    const QStringList hotfixes{"hf3:3", "hf1:1", "hf2:2"};
    const QStringList duplicate{"hf4a:4", "hf4b:4"};
    QTest::newRow("ordinary before hotfixes") << false << ordinaryAndHotfix << false << 8 << kUnableToConnect << "ord1";
    QTest::newRow("hotfixes in serial order") << false << hotfixes << false << 8 << kUnableToConnect << "hf1";
    QTest::newRow("duplicate serial number") << false << duplicate << false << 23
                                             << QByteArray("This update cannot be installed.\n") << "";
    QTest::newRow("download folder is a file") << false << QStringList{"ord1"} << true << 29
                                               << QByteArray("Updating failed as the download folder you "
                                                             "specified does not exist.\n")
                                               << "";
    QTest::newRow("nothing applies") << false << QStringList() << false << 4
                                     << QByteArray("You have the latest version of the Corvantis Software.\n") << "";

    QTest::newRow("config: queue in document order") << true << QStringList{"c2", "c1"} << false << 8 << kUnableToConnect
                                                     << "c2";
    QTest::newRow("config: hotfixes in serial order") << true << hotfixes << false << 8 << kUnableToConnect << "hf1";
    QTest::newRow("config: duplicate serial number") << true << duplicate << false << 23
                                                     << QByteArray("This update cannot be installed.\n") << "";
    QTest::newRow("config: nothing pending") << true << QStringList() << false << 1
                                             << QByteArray("You have the latest version of the Corvantis Software.\n")
                                             << "";
}

void TestDownload::selection()
{
    QFETCH(bool, fromConfig);
    QFETCH(QStringList, updates);
    QFETCH(bool, folderIsFile);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    QFETCH(QString, firstUuid);

    const QString file = m_sandbox->path("document.xml");
    QVERIFY(WriteFile(file, fromConfig ? ConfigXml(updates, true, QByteArray(), m_server->url("/files/"))
                                       : description(updates)));
    const RunResult run = download({fromConfig ? "-c" : "-d", file, "-p", folderIsFile ? file : m_sandbox->downloads()});
    QVERIFY(run.finished);
    QCOMPARE(run.err, err);
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.exitCode, exitCode);
    if (!firstUuid.isEmpty())
        QCOMPARE(probedFile(), QString("HEAD /files/%1.upd").arg(firstUuid));
}

void TestDownload::exactlyEnoughSpaceIsRefused_data()
{
    QTest::addColumn<quint32>("sizeKb");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err");
    // The folder is a file system of exactly 1 MiB.
    QTest::newRow("one byte more than needed") << quint32(1023) << 8 << kUnableToConnect;
    QTest::newRow("exactly as many bytes as needed") << quint32(1024) << 30
                                                     << QByteArray("Updating failed as there is not enough free disk space.\n");
}

void TestDownload::exactlyEnoughSpaceIsRefused()
{
    QFETCH(quint32, sizeKb);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    const QString folder = m_sandbox->path("small");
    QVERIFY(QDir().mkpath(folder));
    if (!IsRoot() || mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("a 1 MiB file system cannot be mounted here");
    const QString file = m_sandbox->path("document.xml");
    QVERIFY(WriteFile(file, description({QString("big:0:0:0:%1").arg(sizeKb)})));
    const RunResult run = download({"-d", file, "-p", folder});
    umount(QFile::encodeName(folder).constData());
    QCOMPARE(run.err, err);
    QCOMPARE(run.exitCode, exitCode);
}

void TestDownload::updateDuringInstallationNeedsNoAdministrator()
{
    if (!NoOtherUser().isEmpty())
        QSKIP(qPrintable(NoOtherUser()));
    const QString file = m_sandbox->path("document.xml");
    QVERIFY(WriteFile(file, description({"setup:0:2"})));
    const RunResult run = download({"-d", file, "-p", m_sandbox->downloads(), "-ui"}, true);
    QCOMPARE(run.err, kUnableToConnect);
    QCOMPARE(run.exitCode, 8);
    QCOMPARE(probedFile(), QString("HEAD /files/setup.upd"));
    QVERIFY(!QFile::exists(m_sandbox->configDir() + "/.corvantis_updater.xml"));
}

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
