#include "proxies.h"

#include "kvrtest.h"

#include <QProcess>

namespace KvrTest {

namespace {

QString Fill(QString text, const QString& folder, quint16 port)
{
    return text.replace("@DIR@", folder).replace("@PORT@", QString::number(port));
}

} // namespace

const ServerKind& Tinyproxy()
{
    static const ServerKind kind{"tinyproxy", [](const QString& folder, quint16 port, const ServerSettings&) {
        WriteFile(folder + "/tinyproxy.conf", Fill(R"(Port @PORT@
Listen 127.0.0.1
Timeout 60
LogFile "@DIR@/tinyproxy.log"
LogLevel Info
PidFile "@DIR@/tinyproxy.pid"
MaxClients 20
Allow 127.0.0.1
)", folder, port).toUtf8());
        return QStringList{"/usr/bin/tinyproxy", "-d", "-c", folder + "/tinyproxy.conf"};
    }};
    return kind;
}

const ServerKind& Squid()
{
    static const ServerKind kind{"squid", [](const QString& folder, quint16 port, const ServerSettings&) {
        QProcess openssl;
        openssl.start("openssl", {"passwd", "-apr1", "-stdin"});
        openssl.write(QByteArray(kProxyPassword) + "\n");
        openssl.closeWriteChannel();
        openssl.waitForFinished(10000);
        WriteFile(folder + "/passwd", QByteArray(kProxyUser) + ":" + openssl.readAllStandardOutput());
        // Nothing leaves the machine: no pinger, no name server but the local one.
        WriteFile(folder + "/squid.conf", Fill(R"(http_port 127.0.0.1:@PORT@
pid_filename @DIR@/squid.pid
cache_log @DIR@/error.log
access_log stdio:@DIR@/access.log
cache deny all
coredump_dir @DIR@
netdb_filename none
pinger_enable off
visible_hostname kvrtest
dns_nameservers 127.0.0.1
shutdown_lifetime 0 seconds
auth_param basic program /usr/lib/squid/basic_ncsa_auth @DIR@/passwd
auth_param basic realm kvrtest
acl users proxy_auth REQUIRED
http_access allow users
http_access deny all
)", folder, port).toUtf8());
        return QStringList{"/usr/sbin/squid", "-N", "-f", folder + "/squid.conf"};
    }};
    return kind;
}

} // namespace KvrTest
