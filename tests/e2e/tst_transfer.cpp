// Downloads against real servers on 127.0.0.1: each case of tests/data/transfer/*.json sets up a
// server with update files, runs the program, and compares its exit status, output, the files it
// leaves and (with the fault server) the requests it sent. The "selection" cases end at the first
// probe, answered with 404: which file the run asked for first, or that it asked for none.
#include "documents.h"
#include "kvrtest.h"
#include "servers.h"

#include <QtTest>

#include <csignal>
#include <sys/mount.h>

using namespace KvrTest;

namespace {

// The content of an update file: deterministic, and compressible enough for the gzip locations.
QByteArray Content(const QString& name, qint64 size)
{
    QByteArray data(int(size), Qt::Uninitialized);
    quint32 state = qHash(name);
    for (char& byte : data) {
        state = state * 1103515245u + 12345u;
        byte = char("abcdefgh\n0123456"[(state >> 16) & 15] ^ ((state >> 28) & 1));
    }
    return data;
}

QString Md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// Output without the lines whose number or presence depends on timing: rate lines, intermediate
// percentages, and the count of progress dots.
QString Steady(const QByteArray& out)
{
    QString text = QString::fromUtf8(out);
    text.remove(QRegularExpression("(DOWNLOADING_RATE|ESTIMATED_TIME): \\d+\\n"));
    text.remove(QRegularExpression("PROGRESS: \\d\\d?\\nDOWNLOADED_BYTES: \\d+\\n"));
    text.remove(QRegularExpression("^\\d\\d?\\n", QRegularExpression::MultilineOption));
    return text.replace(QRegularExpression("\\.+( Finished\\n|$)"), ".\\1");
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cases_data();
    void cases();

private:
    bool prepareServer(const QJsonObject& row);
    bool plant(const QString& kind, const QString& file);
    RunResult runWithAction(const QString& action, const QStringList& arguments, const RunOptions& options);
    void checkLeft(const QJsonObject& row, int exitCode);
    void checkRequests(const QJsonArray& expected, int first, double spacing);
    QString expand(QString text) const;

    QScopedPointer<Sandbox> m_sandbox;
    QScopedPointer<Server> m_server;
    QScopedPointer<TestAuthority> m_authority;
    QMap<QString, QByteArray> m_files; // uuid -> content
    QString m_location;
    qint64 m_partBefore = 0; // the part file a killed run left
    int m_firstRequest = 0; // the first request of the run whose requests are checked
    bool m_mounted = false; // the download folder is a small file system of its own
};

void TestTransfer::init()
{
    m_sandbox.reset(new Sandbox);
    m_files.clear();
    m_partBefore = 0;
    m_firstRequest = 0;
}

void TestTransfer::cleanup()
{
    if (m_mounted)
        umount2(QFile::encodeName(m_sandbox->downloads()).constData(), MNT_DETACH);
    m_mounted = false;
}

// The cases that wait out designed pauses and time-outs are a table of their own, run by the "slow" label.
void TestTransfer::cases_data()
{
    AddRows(qEnvironmentVariableIsEmpty("KVR_SLOW") ? "transfer/cases.json" : "transfer/slow.json");
}

QString TestTransfer::expand(QString text) const
{
    const QByteArray first = m_files.isEmpty() ? QByteArray() : m_files.first();
    return text.replace("@DIR@", m_sandbox->downloads())
        .replace("@URL@", m_server ? m_server->url(m_location) : QString())
        .replace("@MD5UPPER@", Md5(first).toUpper())
        .replace("@SIZE@", QString::number(first.size()))
        .replace("@PART@", QString::number(m_partBefore));
}

bool TestTransfer::prepareServer(const QJsonObject& row)
{
    const QString kind = row["server"].toString("fault");
    if (row.contains("tls")) {
        m_authority.reset(new TestAuthority);
        if (!m_authority->isValid())
            return false;
        m_server.reset(new Server(NginxTls(), m_authority->serverCertificate(), m_authority->serverKey()));
    } else if (kind == "fault") {
        auto* fault = new FaultServer;
        m_server.reset(fault);
        if (!fault->setScript(row["script"].toArray()))
            return false;
    } else {
        m_server.reset(new Server(kind == "nginx" ? Nginx() : kind == "apache2" ? Apache() : Lighttpd()));
    }
    m_location = row["location"].toString("/");
    const QJsonObject files = row["files"].toObject();
    for (auto it = files.begin(); it != files.end(); ++it) {
        m_files[it.key()] = Content(it.key(), qint64(it.value().toDouble()));
        if (!m_server->put(it.key() + ".upd", m_files[it.key()]))
            return false;
    }
    return m_server->start();
}

void TestTransfer::cases()
{
    QFETCH(QJsonObject, row);
    if (WindowsProgram() && row.contains("windows")) // a row about something that differs on Windows
        QSKIP(qPrintable(row["windows"].toString()));
    QVERIFY2(prepareServer(row), m_server ? m_server->log().constData() : "no server");
    if (!IsRoot() && (row.contains("plant") || row.contains("mount") || row["tls"] == "trusted"))
        QSKIP("needs root");
    const QString downloads = m_sandbox->downloads();
    if (row.contains("mount")) { // the download folder is a small file system of its own, of this size
        const QByteArray size = "size=" + row["mount"].toString().toLatin1();
        QVERIFY(mount("tmpfs", QFile::encodeName(downloads).constData(), "tmpfs", 0, size.constData()) == 0);
        m_mounted = true;
    }

    // The updates that the row names ("uuid:hotfix:type:status:sizeKb", as DescriptionXml takes them), or
    // those of its files: checksums right unless told otherwise.
    QStringList updates = Words(row["updates"]);
    for (auto it = m_files.begin(); it != m_files.end(); ++it) {
        const QString checksum = row["checksum"].toString("right");
        updates << QString("%1:0:%2:0:%3").arg(it.key()).arg(row["type"].toInt()).arg((it.value().size() + 1023) / 1024)
                       + (checksum == "none" ? "" : checksum == "wrong" ? ":0123456789abcdef0123456789abcdef"
                                                                       : ":" + Md5(it.value()));
    }
    const QString fileUrl = row.contains("fileUrl") ? row["fileUrl"].toString().replace("@SANDBOX@", m_sandbox->path())
                                                    : m_server->url(m_location);
    const QString source = row["source"].toString("descr");
    const QString folder = row.contains("folder") ? m_sandbox->path(row["folder"].toString()) : downloads;
    const QString firstKey = m_files.keys().value(0);
    QStringList arguments{"download", "-u", "lum", "-p", folder};
    if (source == "file") {
        arguments = QStringList{"download", "-u", "file", "-f", fileUrl + firstKey + ".upd", "-p", folder};
    } else if (source == "config") {
        QVERIFY(WriteFile(m_sandbox->path("config.xml"), ConfigXml(updates, true, QByteArray(), fileUrl)));
        arguments << "-c" << m_sandbox->path("config.xml");
    } else if (source == "url") {
        const QByteArray description = row["description"] == "html" ? "<html><body>Not found</body></html>\n"
                                                                     : DescriptionXml(updates, fileUrl);
        QVERIFY(m_server->put("description.xml", description));
        arguments << "-l" << m_server->url("/description.xml");
    } else {
        QVERIFY(WriteFile(m_sandbox->path("description.xml"), DescriptionXml(updates, fileUrl)));
        arguments << "-d" << m_sandbox->path("description.xml");
    }
    for (const QString& word : Words(row["args"]))
        arguments << expand(word);

    // What the download folder holds before the run.
    const QString first = downloads + "/" + firstKey + ".upd";
    if (row.contains("part")) // the start of the file, or more than the file
        QVERIFY(WriteFile(first + ".kvrupd-part", Content(firstKey, row["part"].toInt())));
    if (row.contains("present"))
        QVERIFY(WriteFile(first, row["present"] == "whole" ? m_files.first() : Content("junk", m_files.first().size())));
    if (row.contains("plant"))
        QVERIFY(plant(row["plant"].toString(), first));

    RunOptions options;
    options.environment = m_sandbox->environment();
    if (row.contains("lang")) { // with the product's catalogues in reach
        if (!NoUiLanguageFor(row["lang"].toString()).isEmpty())
            QSKIP(qPrintable(NoUiLanguageFor(row["lang"].toString())));
        QVERIFY(m_sandbox->setInstallLocation(ProductInstallLocation()));
        options.environment.insert("LANG", row["lang"].toString());
    }
    if (row["nobody"].toBool()) {
        if (!NoOtherUser().isEmpty())
            QSKIP(qPrintable(NoOtherUser()));
        options.asNobody = true;
        m_sandbox->giveToNobody();
    }
    QString program = ProgramPath();
    if (row["tls"] == "trusted") {
        arguments = TrustingCommand(m_authority->trustStore(), program) + arguments;
        program = arguments.takeFirst();
    }
    const auto* fault = dynamic_cast<FaultServer*>(m_server.data());
    QElapsedTimer clock;
    clock.start();
    const RunResult run = row.contains("during") ? runWithAction(row["during"].toString(), arguments, options)
                                                 : Run(program, arguments, options);
    const double seconds = clock.elapsed() / 1000.0;
    if (QTest::currentTestFailed())
        return;
    QVERIFY(run.finished);
    QCOMPARE(QString::fromUtf8(run.err), expand(row["err"].toString()));
    if (row.contains("out"))
        QCOMPARE(Steady(run.out), expand(row["out"].toString()));
    QCOMPARE(run.exitCode, row["exit"].toInt());
    if (row.contains("log"))
        QVERIFY2(LogLinesOf(run).filter(expand(row["log"].toString())).size() == 1,
                 qPrintable(LogLinesOf(run).join('\n')));
    checkLeft(row, run.exitCode);
    if (row.contains("seconds")) // a designed interval, with wide bounds
        QVERIFY2(seconds >= row["seconds"].toArray()[0].toDouble() && seconds <= row["seconds"].toArray()[1].toDouble(),
                 qPrintable(QString::number(seconds)));
    if (fault && row.contains("requests"))
        checkRequests(row["requests"].toArray(), m_firstRequest, row["spacing"].toDouble());
    if (row.contains("plant"))
        QCOMPARE(ReadFile(m_sandbox->path("victim")), Content("victim", m_files.first().size()));
    if (options.asNobody) // another user's run leaves the machine-wide configuration alone
        QVERIFY(!QFile::exists(m_sandbox->configDir() + "/.corvantis_updater.xml"));
}

// Files planted by another user in a folder that user can write to; the victim is root's.
bool TestTransfer::plant(const QString& kind, const QString& file)
{
    const QString victim = m_sandbox->path("victim");
    const QString target = kind.endsWith("part") ? file + ".kvrupd-part" : file;
    const bool planted = kind.startsWith("link")
                             ? QFile::link(victim, target)
                             : WriteFile(target, Content("junk", kind.endsWith("part") ? 1000 : m_files.first().size()));
    GiveToNobody(m_sandbox->downloads());
    return planted && WriteFile(victim, Content("victim", m_files.first().size()));
}

// Runs the program until the fault server holds its file transfer, acts on it, and lets it go on.
// After "kill" a second run follows, which is the one whose results count.
RunResult TestTransfer::runWithAction(const QString& action, const QStringList& arguments, const RunOptions& options)
{
    const auto* fault = dynamic_cast<FaultServer*>(m_server.data());
    const QString part = m_sandbox->downloads() + "/" + m_files.firstKey() + ".upd.kvrupd-part";
    Running running(arguments, options);
    QDeadlineTimer deadline(20000);
    auto holding = [&] {
        const QList<Request> requests = fault->requests();
        return !requests.isEmpty() && requests.last().method == "GET" && QFileInfo(part).size() > 0;
    };
    while (!holding() && !deadline.hasExpired())
        QThread::msleep(20);
    if (!holding()) {
        QTest::qFail("the transfer was not held", __FILE__, __LINE__);
        return RunResult();
    }
    if (action == "kill") {
        ::kill(pid_t(running.pid()), SIGKILL);
        running.finish();
        m_partBefore = QFileInfo(part).size();
        m_firstRequest = fault->requests().size();
    } else if (action == "remove-folder") {
        QDir(m_sandbox->downloads()).removeRecursively();
    } else if (action == "fill-disk") {
        QFile filler(m_sandbox->downloads() + "/filler");
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    m_server->put("go", QByteArray());
    if (action == "kill")
        return Run(arguments, options);
    return running.finish();
}

// "left" names files of the download folder: "whole" (the served file), "prefix" (a part of it
// from its start), "absent", or a size in bytes (the start of the served file).
void TestTransfer::checkLeft(const QJsonObject& row, int exitCode)
{
    QJsonObject left = row["left"].toObject();
    if (!row.contains("left") && exitCode == 0)
        for (const QString& uuid : m_files.keys())
            left[uuid + ".upd"] = "whole", left[uuid + ".upd.kvrupd-part"] = "absent";
    for (auto it = left.begin(); it != left.end(); ++it) {
        const QString path = m_sandbox->downloads() + "/" + it.key();
        const QByteArray served = m_files.value(it.key().section('.', 0, 0));
        const QByteArray content = ReadFile(path);
        const QString expected = it.value().toString();
        if (expected == "absent")
            QVERIFY2(!QFileInfo(path).exists() && !QFileInfo(path).isSymLink(), qPrintable(it.key()));
        else if (expected == "whole")
            QVERIFY2(Md5(content) == Md5(served) && QFileInfo(path).isFile(), qPrintable(it.key()));
        else if (expected == "prefix")
            QVERIFY2(!content.isEmpty() && served.startsWith(content), qPrintable(it.key() + " " + QString::number(content.size()) + " " + QString::number(QFileInfo(path).size())));
        else
            QVERIFY2(content == served.left(it.value().toInt()) && QFileInfo(path).size() == it.value().toInt(),
                     qPrintable(it.key() + ": " + QString::number(content.size())));
    }
}

// Each expected request names its method and target, header lines it must carry exactly as given,
// and header names it must not carry; the run must have sent these requests and no others, and its
// GETs must start at least "spacing" seconds apart.
void TestTransfer::checkRequests(const QJsonArray& expected, int first, double spacing)
{
    const QList<Request> sent = static_cast<FaultServer*>(m_server.data())->requests().mid(first);
    QStringList seen;
    for (const Request& request : sent)
        seen << request.method + " " + request.target + " [" + request.headers.join(" | ") + "]";
    QVERIFY2(sent.size() == expected.size(), qPrintable(seen.join('\n')));
    for (int i = 0; i < sent.size(); ++i) {
        const QJsonObject want = expected[i].toObject();
        QCOMPARE(sent[i].method + " " + sent[i].target, want["request"].toString());
        for (const QString& line : Words(want["has"]))
            QVERIFY2(sent[i].headers.contains(expand(line)), qPrintable(line + " not in " + seen[i]));
        for (const QString& name : Words(want["lacks"]))
            QVERIFY2(sent[i].header(name).isNull(), qPrintable(name + " in " + seen[i]));
        if (i > 0 && sent[i].method == "GET" && sent[i - 1].method == "GET")
            QVERIFY2(sent[i].time - sent[i - 1].time >= spacing, qPrintable(seen[i]));
    }
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
