#include "proxies.h"

#include "kvrtest.h"

#include <QProcess>

namespace KvrTest {

const ServerKind& Tinyproxy()
{
    static const ServerKind kind{"tinyproxy", "tests/data/servers/tinyproxy.conf",
                                 {"/usr/bin/tinyproxy", "-d", "-c", "@DIR@/tinyproxy.conf"}};
    return kind;
}

const ServerKind& Squid()
{
    static const ServerKind kind{"squid", "tests/data/servers/squid.conf",
                                 {"/usr/sbin/squid", "-N", "-f", "@DIR@/squid.conf"}};
    return kind;
}

bool WriteProxyPasswords(const Server& squid)
{
    QProcess openssl;
    openssl.start("openssl", {"passwd", "-apr1", "-stdin"});
    openssl.write(QByteArray(kProxyPassword) + "\n");
    openssl.closeWriteChannel();
    if (!openssl.waitForFinished(10000) || openssl.exitCode() != 0)
        return false;
    return WriteFile(squid.folder("passwd"), QByteArray(kProxyUser) + ":" + openssl.readAllStandardOutput());
}

} // namespace KvrTest
