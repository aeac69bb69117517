#include "servers.h"

#include "kvrtest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <unistd.h>

namespace KvrTest {

namespace {

const uint kNobody = 65534;

QString Fill(QString text, const QString& folder, quint16 port)
{
    return text.replace("@DIR@", folder).replace("@PORT@", QString::number(port));
}

bool WriteConfig(const QString& path, const QString& text)
{
    return WriteFile(path, text.toUtf8());
}

quint16 FreePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

void GiveToNobody(const QString& folder)
{
    auto give = [](const QString& path) {
        if (::chown(QFile::encodeName(path).constData(), kNobody, kNobody) != 0)
            qWarning("chown %s failed", qPrintable(path));
    };
    give(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        give(it.next());
}

} // namespace

const ServerKind& Nginx()
{
    static const ServerKind kind{"nginx", [](const QString& folder, quint16 port, const ServerSettings& settings) {
        QString tls;
        if (!settings.certificate.isEmpty())
            tls = " ssl;\n ssl_certificate " + settings.certificate + ";\n ssl_certificate_key " + settings.key;
        WriteConfig(folder + "/nginx.conf", Fill(R"(daemon off;
pid @DIR@/nginx.pid;
error_log @DIR@/error.log;
events { worker_connections 64; }
http {
 include /etc/nginx/mime.types;
 default_type application/octet-stream;
 log_format record '$msec $request_time "$request" $status "$http_range" $body_bytes_sent';
 access_log @DIR@/access.log record;
 client_body_temp_path @DIR@/tmp; proxy_temp_path @DIR@/tmp; fastcgi_temp_path @DIR@/tmp;
 uwsgi_temp_path @DIR@/tmp; scgi_temp_path @DIR@/tmp;
 sendfile on;
 server {
  listen 127.0.0.1:@PORT@)" + tls + R"(;
  root @DIR@/www;
  location /gzip/ { alias @DIR@/www/; gzip on; gzip_types *; gzip_min_length 0; }
  location /redirect/ { rewrite ^/redirect/(.*)$ /$1 redirect; }
  location /moved/ { rewrite ^/moved/(.*)$ /$1 permanent; }
 }
}
)", folder, port));
        return QStringList{"/usr/sbin/nginx", "-p", folder, "-e", folder + "/error.log", "-c", folder + "/nginx.conf"};
    }};
    return kind;
}

const ServerKind& Apache()
{
    static const ServerKind kind{"apache2", [](const QString& folder, quint16 port, const ServerSettings&) {
        QString modules;
        for (const char* module : {"mpm_event", "authz_core", "mime", "alias", "filter", "deflate"})
            modules += QString("LoadModule %1_module /usr/lib/apache2/modules/mod_%1.so\n").arg(module);
        WriteConfig(folder + "/apache2.conf", modules + Fill(R"(ServerRoot @DIR@
ServerName 127.0.0.1
Listen 127.0.0.1:@PORT@
PidFile @DIR@/apache2.pid
DefaultRuntimeDir @DIR@
Mutex file:@DIR@ default
ErrorLog @DIR@/error.log
TypesConfig /etc/mime.types
DocumentRoot @DIR@/www
<Directory @DIR@/www>
 Require all granted
</Directory>
Alias /gzip/ @DIR@/www/
<Location /gzip/>
 SetOutputFilter DEFLATE
</Location>
)", folder, port));
        return QStringList{"/usr/sbin/apache2", "-f", folder + "/apache2.conf", "-DFOREGROUND"};
    }};
    return kind;
}

const ServerKind& Lighttpd()
{
    static const ServerKind kind{"lighttpd", [](const QString& folder, quint16 port, const ServerSettings&) {
        WriteConfig(folder + "/lighttpd.conf", Fill(R"(server.modules = ("mod_alias", "mod_deflate")
server.document-root = "@DIR@/www"
server.bind = "127.0.0.1"
server.port = @PORT@
server.errorlog = "@DIR@/error.log"
server.pid-file = "@DIR@/lighttpd.pid"
mimetype.assign = ("" => "application/octet-stream")
alias.url = ("/gzip/" => "@DIR@/www/")
$HTTP["url"] =~ "^/gzip/" {
 deflate.mimetypes = ("application/")
 deflate.allowed-encodings = ("gzip", "deflate")
}
)", folder, port));
        return QStringList{"/usr/sbin/lighttpd", "-D", "-f", folder + "/lighttpd.conf"};
    }};
    return kind;
}

const ServerKind& Fault()
{
    static const ServerKind kind{"fault server",
                                 [](const QString& folder, quint16, const ServerSettings&) {
                                     // A copy in the folder, so that nobody can read it.
                                     QFile::copy(QStringLiteral(KVR_SOURCE_DIR "/tests/helpers/faultserver.py"),
                                                 folder + "/faultserver.py");
                                     return QStringList{"/usr/bin/python3", folder + "/faultserver.py", folder};
                                 },
                                 true};
    return kind;
}

Server::Server(const ServerKind& kind, const ServerSettings& settings)
    : m_kind(kind)
    , m_settings(settings)
{
    QDir().mkpath(folder("www"));
    QDir().mkpath(folder("tmp"));
    if (!settings.certificate.isEmpty()) {
        // The server reads its certificate as nobody: it gets a copy in its own folder.
        QFile::copy(settings.certificate, folder("server.crt"));
        QFile::copy(settings.key, folder("server.key"));
        m_settings = {folder("server.crt"), folder("server.key")};
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
    QStringList command = m_kind.prepare(folder(), m_port, m_settings);
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
        .arg(m_settings.certificate.isEmpty() ? "http" : "https")
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
    return {"unshare", "-m", "sh", "-c", "mount --bind \"$0\" /etc/ssl/certs && exec \"$@\"", trustStore, program};
}

} // namespace KvrTest
