// Requests through real proxies on 127.0.0.1: tinyproxy for forwarding, squid for credentials
// typed at the password prompt on a pseudo-terminal.
#include "documents.h"
#include "kvrtest.h"
#include "proxies.h"

#include <QJsonObject>
#include <QTcpServer>
#include <QtTest>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace KvrTest;

namespace {

const int kFileSize = 300000;
const char kUuid[] = "lum.5.6.1-1.en_US.corvantis.win";
const QString kFileName = QString(kUuid) + ".upd";

// What a run on a pseudo-terminal showed, with its exit code.
struct PtyRun {
    int exitCode = -1; // -1 when a signal ended it
    bool echoAfter = false; // the terminal echoes again once it ended
    QByteArray screen;
    RunResult result; // for the log
};

} // namespace

class TestProxyE2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void routes_data();
    void routes();
    void prompts_data();
    void prompts();
    void promptWithoutTerminal();
    void loopingScriptSlow();

private:
    QString fill(QString text) const;
    QProcessEnvironment environment(const QJsonObject& variables) const;
    // Runs the program on a pseudo-terminal, typing one line at each "Password:".
    PtyRun runOnTerminal(const QStringList& command, const QProcessEnvironment& env, const QStringList& typed);
    QStringList downloadCommand(bool secure, const QStringList& extra) const;

    TestAuthority m_authority;
    QScopedPointer<Server> m_origin, m_secure, m_tinyproxy, m_squid;
    FaultServer m_closing; // a "proxy" that closes every connection at once
    QScopedPointer<Sandbox> m_sandbox;
    QTemporaryDir m_pacDir;
    QByteArray m_file;
    quint16 m_nDeadPort = 0;
};

void TestProxyE2e::initTestCase()
{
    QVERIFY(m_authority.isValid());
    m_origin.reset(new Server(Nginx()));
    m_secure.reset(new Server(NginxTls(), m_authority.serverCertificate(), m_authority.serverKey()));
    m_tinyproxy.reset(new Server(Tinyproxy()));
    m_squid.reset(new Server(Squid()));
    QVERIFY(WriteProxyPasswords(*m_squid));
    for (int i = 0; i < kFileSize; ++i)
        m_file += char('a' + i % 23);
    for (Server* server : {m_origin.data(), m_secure.data(), m_tinyproxy.data(), m_squid.data()}) {
        QVERIFY(server->put("files/" + kFileName, m_file));
        QVERIFY2(server->start(), server->log().constData());
        QVERIFY(server->put("descr.xml", DescriptionXml({QString(kUuid) + ":0:0:0:293"})
                                             .replace("http://127.0.0.1:9/", server->url("/").toUtf8())));
    }
    QVERIFY(m_closing.start() && m_closing.setScript({QJsonObject{{"path", "*"}, {"raw", ""}}}));
    QTcpServer dead;
    QVERIFY(dead.listen(QHostAddress::LocalHost, 0));
    m_nDeadPort = dead.serverPort(); // closed again at once: nothing listens there
    const QByteArray tiny = "function FindProxyForURL(url, host) { return 'PROXY 127.0.0.1:"
                            + QByteArray::number(m_tinyproxy->port()) + "'; }";
    QVERIFY(WriteFile(m_pacDir.filePath("tiny.pac"), tiny));
    QVERIFY(m_origin->put("tiny.pac", tiny));
    // The description whose listing from a local file the check suite pins down.
    QVERIFY(m_origin->put("updates.xml", ReadFile(DataPath("updater/updates.xml"))));
    QVERIFY(m_origin->put("direct.pac", "function FindProxyForURL(url, host) { return 'DIRECT'; }"));
    QVERIFY(m_origin->put("throws.pac", "function FindProxyForURL(url, host) { return nosuchfunction(); }"));
    QVERIFY(m_origin->put("loop.pac", "function FindProxyForURL(url, host) { for (;;) {} }"));
}

void TestProxyE2e::init()
{
    m_sandbox.reset(new Sandbox);
    QDir().mkpath(m_sandbox->downloads());
}

QString TestProxyE2e::fill(QString text) const
{
    return text.replace("@ORIGIN@", m_origin->url(""))
        .replace("@SECUREPORT@", QString::number(m_secure->port()))
        .replace("@SECURE@", m_secure->url(""))
        .replace("@TINY@", QString::number(m_tinyproxy->port()))
        .replace("@DEAD@", QString::number(m_nDeadPort))
        .replace("@CLOSING@", QString::number(m_closing.port()))
        .replace("@PACDIR@", m_pacDir.path())
        .replace("@FILE@", kFileName)
        .replace("@DIR@", m_sandbox->downloads());
}

QProcessEnvironment TestProxyE2e::environment(const QJsonObject& variables) const
{
    QProcessEnvironment env = m_sandbox->environment();
    for (auto it = variables.begin(); it != variables.end(); ++it)
        env.insert(it.key(), fill(it.value().toString()));
    return env;
}

// A download through squid, trusting the test authority only (for the https origin).
QStringList TestProxyE2e::downloadCommand(bool secure, const QStringList& extra) const
{
    const QString url = (secure ? m_secure : m_origin)->url("/descr.xml");
    return TrustingCommand(m_authority.trustStore(), ProgramPath())
           + QStringList{"download", "-u", "lum", "-l", url, "-p", m_sandbox->downloads(), "-ps", "127.0.0.1",
                         "-po", QString::number(m_squid->port())}
           + extra;
}

void TestProxyE2e::routes_data()
{
    AddRows("proxy/e2e-routes.json");
}

// Which requests passed through tinyproxy, and what the run ended with.
void TestProxyE2e::routes()
{
    QFETCH(QJsonObject, row);
    if (WindowsProgram() && row.contains("env"))
        QSKIP("the Windows program takes the system's proxy from WinHTTP, not from the environment");
    if (row.contains("winhttp")) {
        if (!WindowsProgram())
            QSKIP("the user's WinHTTP settings are read by the Windows program only");
        const QJsonObject settings = row["winhttp"].toObject();
        QVERIFY(SetWindowsProxySettings(fill(settings["list"].toString()), fill(settings["bypass"].toString()),
                                        fill(settings["script"].toString())));
    }
    const QString target = m_sandbox->downloads() + "/" + kFileName;
    if (row.contains("part"))
        QVERIFY(WriteFile(target + ".kvrupd-part", m_file.left(row["part"].toInt())));
    const QString proxyLog = m_tinyproxy->folder("tinyproxy.log");
    const int proxyLogStart = ReadFile(proxyLog).size();
    const int originLogStart = ReadFile(m_origin->folder("access.log")).size();
    QStringList command = TrustingCommand(m_authority.trustStore(), ProgramPath());
    for (const QString& word : Words(row["args"]))
        command << fill(word);
    RunOptions options;
    options.environment = environment(row["env"].toObject());
    const RunResult run = Run(command.takeFirst(), command, options);
    const QString log = LogLinesOf(run).join('\n');
    QVERIFY2(run.exitCode == row["exit"].toInt(), qPrintable(run.err + log));
    QVERIFY2(log.contains(fill(row["log"].toString())), qPrintable(log));
    const QString passed = QString::fromUtf8(ReadFile(proxyLog).mid(proxyLogStart));
    const QStringList via = Words(row["via"]);
    QVERIFY2(via.isEmpty() == !passed.contains("Request (file descriptor"), qPrintable(passed));
    for (const QString& request : via)
        QVERIFY2(passed.contains(fill(request)), qPrintable(passed));
    if (row.contains("out"))
        QCOMPARE(QString::fromUtf8(run.out), row["out"].toString());
    if (row["args"].toArray().first() == "download")
        QCOMPARE(ReadFile(target), m_file);
    if (row.contains("range"))
        QVERIFY(ReadFile(m_origin->folder("access.log")).mid(originLogStart).contains(row["range"].toString().toUtf8()));
}

void TestProxyE2e::prompts_data()
{
    AddRows("proxy/e2e-prompts.json");
}

// Credentials for squid typed at the prompt: one prompt per demand while tries last, nothing
// typed is shown, and the echo is back afterwards. The password's bytes reach squid unchanged.
void TestProxyE2e::prompts()
{
    if (WindowsProgram())
        QSKIP("wine runs its console on a host terminal in a mode of its own: it redraws every character and hands "
              "keys over in its console code page");
    QFETCH(QJsonObject, row);
    const QStringList typed = Words(row["typed"]);
    const PtyRun run = runOnTerminal(downloadCommand(row["secure"].toBool(), Words(row["args"])), environment({}), typed);
    QVERIFY2(run.exitCode == row["exit"].toInt(), run.screen.constData());
    QVERIFY(run.echoAfter);
    QCOMPARE(run.screen.count("Password:"), typed.size());
    for (const QString& password : typed)
        QVERIFY2(!run.screen.contains(password.toUtf8()), run.screen.constData());
    QCOMPARE(run.screen.contains("Proxy authentication failed."), row["exit"].toInt() == 5);
    QCOMPARE(ReadFile(m_sandbox->downloads() + "/" + kFileName) == m_file, row["exit"].toInt() == 0);
    const QString log = LogLinesOf(run.result).join('\n');
    QVERIFY(!log.contains(kProxyPassword));
}

// Input that is not a terminal: the prompt is shown, nothing is read, and each empty password
// counts as a try.
void TestProxyE2e::promptWithoutTerminal()
{
    QStringList command = downloadCommand(false, {"-pu", kProxyUser});
    RunOptions options;
    options.environment = environment({});
    options.input = QByteArray(kProxyPassword) + "\n";
    const RunResult run = Run(command.takeFirst(), command, options);
    QCOMPARE(run.exitCode, 5);
    QCOMPARE(run.out, QByteArray("Password:Password:Password:"));
    QCOMPARE(run.err, QByteArray("Proxy authentication failed.\n"));
}

// A script that never ends: each request waits for the whole deadline, then goes out directly.
void TestProxyE2e::loopingScriptSlow()
{
    if (!qEnvironmentVariableIsSet("KVR_SLOW"))
        QSKIP("runs under the slow label");
    RunOptions options;
    options.environment = environment({{"auto_proxy", "@ORIGIN@/loop.pac"}});
    options.timeoutMs = 120000;
    QElapsedTimer clock;
    clock.start();
    const RunResult run = Run({"check", "-u", "lum", "-l", m_origin->url("/descr.xml")}, options);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(clock.elapsed() > 14000 && clock.elapsed() < 60000);
    QVERIFY(LogLinesOf(run).join('\n').contains("the script was interrupted at the deadline"));
}

PtyRun TestProxyE2e::runOnTerminal(const QStringList& command, const QProcessEnvironment& env, const QStringList& typed)
{
    PtyRun run;
    run.result.logStart = LogStart(env);
    // env(1) sets exactly the given environment, so that only words are handed over.
    std::vector<QByteArray> storage;
    for (const QString& word : QStringList{"env", "-i"} + env.toStringList() + command)
        storage.push_back(word.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& word : storage)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        execvp(argv[0], argv.data());
        _exit(127);
    }
    run.result.pid = child;
    int answered = 0;
    QDeadlineTimer deadline(60000);
    char buffer[4096];
    for (;;) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, int(qMax<qint64>(deadline.remainingTime(), 0))) <= 0)
            break;
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        run.screen.append(buffer, int(got));
        // Type the next line once the prompt is shown and the echo is off.
        while (answered < typed.size() && run.screen.count("Password:") > answered) {
            struct termios mode;
            for (int i = 0; i < 500 && tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO); ++i)
                QThread::msleep(10);
            const QByteArray line = typed[answered++].toUtf8() + "\n";
            if (write(master, line.constData(), size_t(line.size())) != line.size())
                break;
        }
    }
    int status = 0;
    for (int i = 0; i < 500 && waitpid(child, &status, WNOHANG) == 0; ++i)
        QThread::msleep(10);
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
    }
    struct termios mode;
    run.echoAfter = tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO);
    close(master);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.result.exitCode = run.exitCode;
    return run;
}

QTEST_GUILESS_MAIN(TestProxyE2e)
#include "tst_proxy.moc"
