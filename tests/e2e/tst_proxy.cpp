// Requests through real proxies on 127.0.0.1: tinyproxy for forwarding, squid for credentials
// typed at the password prompt on a pseudo-terminal.
#include "documents.h"
#include "kvrtest.h"
#include "servers.h"

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

const char kUuid[] = "lum.5.6.1-1.en_US.corvantis.win";
const QString kFileName = QString(kUuid) + ".upd";

// Debian's tinyproxy (log: tinyproxy.log, a line per request with its URL), and squid, which asks for
// the account of tests/data/proxy/squid.passwd: kvruser, with a password that is UTF-8 with a byte above 127.
const ServerKind kTinyproxy{"tinyproxy", "tests/data/servers/tinyproxy.conf",
                            {"/usr/bin/tinyproxy", "-d", "-c", "@DIR@/tinyproxy.conf"}};
const ServerKind kSquid{"squid", "tests/data/servers/squid.conf", {"/usr/sbin/squid", "-N", "-f", "@DIR@/squid.conf"}};

} // namespace

class TestProxyE2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void routes_data();
    void routes();
    void loopingScriptSlow();

private:
    QString fill(QString text) const;
    // Runs the program on a pseudo-terminal, typing one line at each "Password:"; the screen is the output.
    RunResult runOnTerminal(const QStringList& command, const QProcessEnvironment& env, const QStringList& typed,
                            bool& echoAfter);

    TestAuthority m_authority;
    QScopedPointer<Server> m_origin, m_secure, m_tinyproxy, m_squid;
    FaultServer m_closing; // a "proxy" that closes every connection at once
    QScopedPointer<Sandbox> m_sandbox;
    QByteArray m_file;
    quint16 m_nDeadPort = 0;
};

void TestProxyE2e::initTestCase()
{
    QVERIFY(m_authority.isValid());
    m_origin.reset(new Server(Nginx()));
    m_secure.reset(new Server(NginxTls(), m_authority.serverCertificate(), m_authority.serverKey()));
    m_tinyproxy.reset(new Server(kTinyproxy));
    m_squid.reset(new Server(kSquid));
    QVERIFY(WriteFile(m_squid->folder("passwd"), ReadFile(DataPath("proxy/squid.passwd"))));
    m_file = QByteArray(300000, 'p');
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
    QVERIFY(m_origin->put("tiny.pac", tiny));
    // The description whose listing from a local file the check suite pins down.
    QVERIFY(m_origin->put("updates.xml", ReadFile(DataPath("updater/updates.xml"))));
    QVERIFY(m_origin->put("loop.pac", "function FindProxyForURL(url, host) { for (;;) {} }"));
}

void TestProxyE2e::init()
{
    m_sandbox.reset(new Sandbox);
}

QString TestProxyE2e::fill(QString text) const
{
    return text.replace("@ORIGIN@", m_origin->url(""))
        .replace("@SECUREPORT@", QString::number(m_secure->port()))
        .replace("@SECURE@", m_secure->url(""))
        .replace("@TINY@", QString::number(m_tinyproxy->port()))
        .replace("@SQUID@", QString::number(m_squid->port()))
        .replace("@DEAD@", QString::number(m_nDeadPort))
        .replace("@CLOSING@", QString::number(m_closing.port()))
        .replace("@WWW@", m_origin->root(""))
        .replace("@DIR@", m_sandbox->downloads());
}

void TestProxyE2e::routes_data()
{
    AddRows("proxy/e2e-routes.json");
    AddRows("proxy/e2e-prompts.json");
}

// Which requests passed through tinyproxy, and what the run ended with. Rows with "typed" run on a pseudo-terminal
// and type a line at each of squid's password prompts: one prompt per demand while tries last, nothing typed is
// shown, and the echo is back afterwards. The password's bytes reach squid unchanged.
void TestProxyE2e::routes()
{
    QFETCH(QJsonObject, row);
    const bool onTerminal = row.contains("typed");
    if (WindowsProgram() && row.contains("env"))
        QSKIP("the Windows program takes the system's proxy from WinHTTP, not from the environment");
    if (WindowsProgram() && onTerminal)
        QSKIP("wine runs its console on a host terminal in a mode of its own: it redraws every character and hands "
              "keys over in its console code page");
    const QString proxyLog = m_tinyproxy->folder("tinyproxy.log");
    const int proxyLogStart = ReadFile(proxyLog).size();
    QStringList command = TrustingCommand(m_authority.trustStore(), ProgramPath());
    for (const QString& word : Words(row["args"]))
        command << fill(word);
    const QStringList typed = Words(row["typed"]);
    RunOptions options;
    options.environment = m_sandbox->environment();
    const QJsonObject variables = row["env"].toObject();
    for (auto it = variables.begin(); it != variables.end(); ++it)
        options.environment.insert(it.key(), fill(it.value().toString()));
    options.input = row["input"].toString().toUtf8();
    bool echoAfter = true;
    const RunResult run = onTerminal ? runOnTerminal(command, options.environment, typed, echoAfter)
                                     : Run(command.takeFirst(), command, options);
    const QString log = LogLinesOf(run).join('\n');
    QVERIFY2(run.exitCode == row["exit"].toInt(), qPrintable(run.out + run.err + log));
    QVERIFY2(log.contains(fill(row["log"].toString())), qPrintable(log));
    QVERIFY(echoAfter);
    for (const QString& password : typed)
        QVERIFY2(!run.out.contains(password.toUtf8()) && !log.contains(password), run.out.constData());
    if (onTerminal) {
        QCOMPARE(run.out.count("Password:"), typed.size());
        QCOMPARE(run.out.contains("Proxy authentication failed."), row["exit"].toInt() == 5);
    }
    const QString passed = QString::fromUtf8(ReadFile(proxyLog).mid(proxyLogStart));
    const QStringList via = Words(row["via"]);
    QVERIFY2(via.isEmpty() == !passed.contains("Request (file descriptor"), qPrintable(passed));
    for (const QString& request : via)
        QVERIFY2(passed.contains(fill(request)), qPrintable(passed));
    if (row.contains("out"))
        QCOMPARE(QString::fromUtf8(run.out), row["out"].toString());
    if (row.contains("err"))
        QCOMPARE(QString::fromUtf8(run.err), row["err"].toString());
    const bool downloaded = row["exit"].toInt() == 0 && row["args"].toArray().first() == "download";
    QCOMPARE(ReadFile(m_sandbox->downloads() + "/" + kFileName) == m_file, downloaded);
}

// A script that never ends: each request waits for the whole deadline, then goes out directly.
void TestProxyE2e::loopingScriptSlow()
{
    if (!qEnvironmentVariableIsSet("KVR_SLOW"))
        QSKIP("runs under the slow label");
    RunOptions options;
    options.environment = m_sandbox->environment();
    options.environment.insert("auto_proxy", m_origin->url("/loop.pac"));
    options.timeoutMs = 120000;
    QElapsedTimer clock;
    clock.start();
    const RunResult run = Run({"check", "-u", "lum", "-l", m_origin->url("/descr.xml")}, options);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(clock.elapsed() > 14000 && clock.elapsed() < 60000);
    QVERIFY(LogLinesOf(run).join('\n').contains("the script was interrupted at the deadline"));
}

RunResult TestProxyE2e::runOnTerminal(const QStringList& command, const QProcessEnvironment& env,
                                      const QStringList& typed, bool& echoAfter)
{
    RunResult run;
    run.logStart = LogStart(env);
    // env(1) sets exactly the given environment, so that only words are handed over.
    Argv argv(QStringList{"-i"} + env.toStringList() + command);
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child == 0) {
        execvp("env", argv.argv());
        _exit(127);
    }
    run.pid = child;
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
        run.out.append(buffer, int(got));
        // Type the next line once the prompt is shown and the echo is off.
        while (answered < typed.size() && run.out.count("Password:") > answered) {
            struct termios mode;
            for (int i = 0; i < 500 && tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO); ++i)
                QThread::msleep(10);
            const QByteArray line = typed[answered++].toUtf8() + "\n";
            if (write(master, line.constData(), size_t(line.size())) != line.size())
                break;
        }
    }
    // The output ends with the run, or the deadline has passed.
    if (deadline.hasExpired())
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    struct termios mode;
    echoAfter = tcgetattr(master, &mode) == 0 && (mode.c_lflag & ECHO);
    close(master);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1; // -1 when a signal ended it
    return run;
}

QTEST_GUILESS_MAIN(TestProxyE2e)
#include "tst_proxy.moc"
