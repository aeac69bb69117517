// Cost of proxy discovery per request: with no proxy configured, with a fixed list, with a
// configuration script read from a file; and the evaluation of a script once it is fetched.
// A loopback TCP connection (what every request costs at least) is measured beside them.
#include "platform/posix/proxysources.h"
#include "proxy/httpproxyfactory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkProxyQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

// Mean microseconds per call over n calls.
double Measure(int n, const std::function<void()>& call)
{
    call(); // the first call pays for one-time set-up
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < n; ++i)
        call();
    return double(clock.nsecsElapsed()) / 1000.0 / n;
}

void Report(const char* what, double micros, double baseline)
{
    std::printf("%-48s %10.1f us   %6.3fx of a loopback connection\n", what, micros, micros / baseline);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
    for (const char* name : {"auto_proxy", "http_proxy", "https_proxy", "all_proxy", "no_proxy", "AUTO_PROXY",
                             "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY"})
        qunsetenv(name);

    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    const double connect = Measure(n, [&] {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.serverPort());
        socket.waitForConnected(1000);
        server.waitForNewConnection(1000);
        delete server.nextPendingConnection();
        socket.abort();
    });
    std::printf("%-48s %10.1f us\n", "loopback TCP connection", connect);

    ProxyInfo::HttpProxyFactory factory(15000, true);
    const QNetworkProxyQuery query(QUrl(QStringLiteral("http://127.0.0.1:8080/updates/file.upd")));
    Report("discovery, nothing configured", Measure(n, [&] { factory.queryProxy(query); }), connect);
    qputenv("http_proxy", "http://127.0.0.1:3128");
    Report("discovery, http_proxy", Measure(n, [&] { factory.queryProxy(query); }), connect);
    qunsetenv("http_proxy");

    const QByteArray script = R"(function FindProxyForURL(url, host) {
    if (isPlainHostName(host) || dnsDomainIs(host, ".corp.example") || isInNet(host, "10.0.0.0", "255.0.0.0"))
        return "DIRECT";
    if (shExpMatch(url, "*/updates/*"))
        return "PROXY 127.0.0.1:3128; DIRECT";
    return "PROXY 127.0.0.1:8080";
})";
    QTemporaryDir dir;
    QFile file(dir.filePath("proxy.pac"));
    file.open(QIODevice::WriteOnly);
    file.write(script);
    file.close();
    qputenv("auto_proxy", QUrl::fromLocalFile(file.fileName()).toEncoded());
    Report("discovery, script from a file", Measure(n, [&] { factory.queryProxy(query); }), connect);
    qunsetenv("auto_proxy");

    QString answer, error;
    Report("script evaluation, script fetched", Measure(n, [&] {
               ProxyDiscovery::RunScript(script, query.url().toString(), query.url().host(), QDeadlineTimer(15000),
                                         answer, error);
           }),
           connect);
    int other = 0;
    Report("script evaluation, new engine each time", Measure(n / 10, [&] {
               // A different text each time: the engine is built and the script compiled anew.
               ProxyDiscovery::RunScript(script + "//" + QByteArray::number(++other), query.url().toString(),
                                         query.url().host(), QDeadlineTimer(15000), answer, error);
           }),
           connect);
    std::printf("answer: %s\n", qPrintable(answer));
    return 0;
}
