#include "servers.h"

#include "kvrtest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

namespace KvrTest {

namespace {

quint16 FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

} // namespace

const ServerKind& Nginx()
{
    static const ServerKind kind{"nginx", "tests/data/servers/nginx.conf",
                                 {"/usr/sbin/nginx", "-p", "@DIR@", "-e", "@DIR@/error.log", "-c", "@DIR@/nginx.conf"}};
    return kind;
}

const ServerKind& NginxTls()
{
    static const ServerKind kind{
        "nginx", "tests/data/servers/nginx-tls.conf",
        {"/usr/sbin/nginx", "-p", "@DIR@", "-e", "@DIR@/error.log", "-c", "@DIR@/nginx-tls.conf"}, false, true};
    return kind;
}

const ServerKind& Apache()
{
    static const ServerKind kind{"apache2", "tests/data/servers/apache2.conf",
                                 {"/usr/sbin/apache2", "-f", "@DIR@/apache2.conf", "-DFOREGROUND"}};
    return kind;
}

const ServerKind& Lighttpd()
{
    static const ServerKind kind{"lighttpd", "tests/data/servers/lighttpd.conf",
                                 {"/usr/sbin/lighttpd", "-D", "-f", "@DIR@/lighttpd.conf"}};
    return kind;
}

const ServerKind& Fault()
{
    static const ServerKind kind{"fault server", "tests/helpers/faultserver.py",
                                 {"/usr/bin/python3", "@DIR@/faultserver.py", "@DIR@"}, true};
    return kind;
}

Server::Server(const ServerKind& kind, const QString& certificate, const QString& key)
    : m_kind(kind)
{
    QDir().mkpath(folder("www"));
    QDir().mkpath(folder("tmp"));
    // The server reads its files as nobody: they are copies in its own folder.
    if (kind.tls) {
        QFile::copy(certificate, folder("server.crt"));
        QFile::copy(key, folder("server.key"));
    }
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                            | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
}

Server::~Server()
{
    stop();
}

bool Server::start()
{
    // Another process may take the chosen port before the server binds it: try a few.
    for (int attempt = 0; attempt < (m_kind.printsPort ? 1 : 5); ++attempt)
        if (startOnce())
            return true;
    return false;
}

bool Server::startOnce()
{
    stop();
    m_port = m_kind.printsPort ? 0 : FreePort();
    const QString config = QString::fromUtf8(ReadFile(QStringLiteral(KVR_SOURCE_DIR "/") + m_kind.config));
    WriteFile(folder(QFileInfo(m_kind.config).fileName()),
              QString(config).replace("@DIR@", folder()).replace("@PORT@", QString::number(m_port)).toUtf8());
    QStringList command = m_kind.command;
    command.replaceInStrings("@DIR@", folder());
    if (::geteuid() == 0) {
        GiveToNobody(folder());
        command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    }
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(command.takeFirst(), command);
    if (!m_process.waitForStarted(10000)) {
        m_output = "cannot start " + m_kind.name.toUtf8();
        return false;
    }
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (m_kind.printsPort && m_port == 0) {
            m_process.waitForReadyRead(100);
            m_output += m_process.readAll();
            if (m_output.startsWith("PORT ") && m_output.contains('\n'))
                m_port = quint16(m_output.mid(5, m_output.indexOf('\n') - 5).toUInt());
            continue;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(1000))
            return true;
        QThread::msleep(20);
    }
    m_output += m_process.readAll();
    stop();
    return false;
}

void Server::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_output += m_process.readAll();
}

QString Server::url(const QString& path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3")
        .arg(m_kind.tls ? "https" : "http")
        .arg(m_port)
        .arg(path);
}

QString Server::folder(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
}

bool Server::put(const QString& relative, const QByteArray& content) const
{
    const QString path = root(relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size()
           && file.flush() && file.setFileTime(QDateTime(QDate(2026, 11, 20), QTime(10, 0), Qt::UTC), QFileDevice::FileModificationTime);
}

QByteArray Server::log() const
{
    return m_output + ReadFile(folder("error.log"));
}

QString Request::header(const QString& name) const
{
    for (const QString& line : headers)
        if (line.section(':', 0, 0).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.section(':', 1).trimmed();
    return QString();
}

bool FaultServer::setScript(const QJsonArray& rules) const
{
    // Written aside and moved in, so that the server never reads half a script.
    const QString path = folder("script.json");
    return WriteFile(path + ".new", QJsonDocument(rules).toJson())
           && ::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData()) == 0;
}

QList<Request> FaultServer::requests() const
{
    QList<Request> requests;
    for (const QByteArray& line : ReadFile(folder("record.jsonl")).split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (entry.isEmpty())
            continue;
        requests << Request{entry["time"].toDouble(), entry["method"].toString(), entry["target"].toString(),
                            Words(entry["headers"])};
    }
    return requests;
}

TestAuthority::TestAuthority()
{
    const QString script = R"(set -e
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -keyout ca.key -out ca.crt -days 2 -subj "/CN=kvr test authority"
openssl req $key -keyout server.key -out server.csr -subj "/CN=127.0.0.1"
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\n' > server.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile server.ext -out server.crt
mkdir store && cp ca.crt store/ && openssl rehash store
)";
    QProcess openssl;
    openssl.setWorkingDirectory(m_dir.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("sh", {"-c", script});
    m_valid = openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
    if (!m_valid)
        qWarning("openssl: %s", openssl.readAll().constData());
}

QStringList TrustingCommand(const QString& trustStore, const QString& program)
{
    // Wine's TLS layer takes its root certificates from the same folder.
    const QStringList run = program.endsWith(QLatin1String(".exe"))
                                ? QStringList{KVR_SOURCE_DIR "/scripts/wine-run", program}
                                : QStringList{program};
    return QStringList{"unshare", "-m", "sh", "-c", "mount --bind \"$0\" /etc/ssl/certs && exec \"$@\"", trustStore}
           + run;
}

} // namespace KvrTest
