// "download" up to its first network step: selection, hotfix order and the download folder checks.
// The updates' files are on a fault server that answers every request with 404 and records which
// file the run probed first.
#include "documents.h"
#include "kvrtest.h"
#include "servers.h"

#include <QtTest>

#include <sys/mount.h>

using namespace KvrTest;

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void selection_data();
    void selection();

private:
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

void TestDownload::selection_data()
{
    AddRows("download/selection.json");
}

// The updates come from a description, or with "source": "config" from a configuration. "folder":
// "file" names a file as the download folder, "1 MiB" a file system of exactly that size. "first"
// is the update whose file the run probed first.
void TestDownload::selection()
{
    QFETCH(QJsonObject, row);
    const bool nobody = row["nobody"].toBool();
    if (nobody && !NoOtherUser().isEmpty())
        QSKIP(qPrintable(NoOtherUser()));
    const QString file = m_sandbox->path("document.xml");
    QString folder = row["folder"] == "file" ? file : m_sandbox->downloads();
    const bool small = row["folder"] == "1 MiB";
    if (small) {
        folder = m_sandbox->path("small");
        QVERIFY(QDir().mkpath(folder));
        if (!IsRoot() || mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=1m") != 0)
            QSKIP("a 1 MiB file system cannot be mounted here");
    }
    const QStringList updates = Words(row["updates"]);
    const QString files = m_server->url("/files/");
    const bool fromConfig = row["source"] == "config";
    QVERIFY(WriteFile(file, fromConfig ? ConfigXml(updates, true, QByteArray(), files) : DescriptionXml(updates, files)));
    RunOptions options;
    options.environment = m_sandbox->environment();
    options.asNobody = nobody;
    if (nobody)
        m_sandbox->giveToNobody();
    const QStringList source{"download", "-u", "lum", fromConfig ? "-c" : "-d", file, "-p", folder};
    const RunResult run = Run(source + Words(row["args"]), options);
    if (small)
        umount(QFile::encodeName(folder).constData());
    QVERIFY(run.finished);
    QCOMPARE(run.err, row["err"].toString().toUtf8());
    QCOMPARE(run.out, QByteArray());
    QCOMPARE(run.exitCode, row["exit"].toInt());
    const QList<Request> requests = m_server->requests();
    if (row.contains("first"))
        QCOMPARE(requests.value(0).method + " " + requests.value(0).target, "HEAD /files/" + row["first"].toString() + ".upd");
    if (nobody)
        QVERIFY(!QFile::exists(m_sandbox->configDir() + "/.corvantis_updater.xml"));
}

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
