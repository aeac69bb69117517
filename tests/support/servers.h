// Real servers that a test starts and stops: each runs in a folder of its own, with its own
// configuration, on a free port of 127.0.0.1, as nobody when the tests run as root.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace KvrTest {

// How to run one kind of server: a template that is copied into the server's folder with "@DIR@"
// (the folder) and "@PORT@" filled in, and the command that runs the server in the foreground.
// A new kind is one more of these and its template.
struct ServerKind {
    QString name;
    QString config;      // the template, relative to the source tree
    QStringList command; // "@DIR@" stands for the folder
    bool printsPort = false; // the server takes a free port itself and prints "PORT <n>" first
    bool tls = false;    // it reads "server.crt" and "server.key" in its folder
};

const ServerKind& Nginx();    // Debian's nginx-light
const ServerKind& NginxTls(); // the same over HTTPS, with the certificate given to the Server
const ServerKind& Apache();   // Debian's apache2
const ServerKind& Lighttpd(); // Debian's lighttpd
const ServerKind& Fault();    // tests/helpers/faultserver.py

// The HTTP servers serve www/ as tests/data/servers/README.md tells.
class Server
{
public:
    // certificate and key: PEM files for a kind that speaks TLS.
    explicit Server(const ServerKind& kind, const QString& certificate = QString(), const QString& key = QString());
    virtual ~Server();
    // Starts the server and waits until it accepts connections; false (with the reason in log())
    // when the program is missing or does not come up.
    bool start();
    void stop();
    quint16 port() const { return m_port; }
    // "http(s)://127.0.0.1:<port>" followed by the path.
    QString url(const QString& path = QStringLiteral("/")) const;
    QString folder(const QString& relative = QString()) const;
    QString root(const QString& relative = QString()) const { return folder("www/" + relative); }
    // Writes a file under www/, readable by the server, last modified on Fri, 20 Nov 2026 10:00:00 GMT.
    bool put(const QString& relative, const QByteArray& content) const;
    QByteArray log() const;

private:
    bool startOnce();
    const ServerKind& m_kind;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_output;
};

// One request as the fault server received it.
struct Request {
    double time = 0; // seconds since the server started
    QString method;
    QString target;
    QStringList headers; // the header lines exactly as received
    QString header(const QString& name) const; // the value of the first line with that name, any case
};

// The fault server: answers follow a script of rules (see faultserver.py), and every request is recorded.
class FaultServer : public Server
{
public:
    FaultServer() : Server(Fault()) {}
    bool setScript(const QJsonArray& rules) const;
    QList<Request> requests() const;
};

// A certificate authority made for one test with the openssl tool, and a server certificate that it
// signs for 127.0.0.1 and localhost.
class TestAuthority
{
public:
    TestAuthority();
    bool isValid() const { return m_valid; }
    QString caCertificate() const { return m_dir.filePath("ca.crt"); }
    QString serverCertificate() const { return m_dir.filePath("server.crt"); }
    QString serverKey() const { return m_dir.filePath("server.key"); }
    // A folder that trusts this authority alone, in the hashed form OpenSSL looks certificates up in.
    QString trustStore() const { return m_dir.filePath("store"); }

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};

// The command that runs program with the system's certificate folder replaced by trustStore, in a
// private mount namespace (Qt reads that folder and ignores SSL_CERT_FILE and SSL_CERT_DIR).
QStringList TrustingCommand(const QString& trustStore, const QString& program);

} // namespace KvrTest
