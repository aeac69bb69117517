// The proxy of the updater's requests: the choice made at start-up, and the factory that asks
// the system settings for the proxy of each request.
#pragma once

#include <QList>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QString>

class CCommandLine;
class QNetworkAccessManager;

namespace ProxyInfo {

class HttpProxyFactory : public QNetworkProxyFactory
{
public:
    HttpProxyFactory(int timeoutMs, bool probeCandidates);
    ~HttpProxyFactory() override;
    // The proxy for one request: the system's answer for its URL, or no proxy.
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query = QNetworkProxyQuery()) override;

private:
    int m_nTimeoutMs;
    bool m_bProbeCandidates;
};

// How the requests of a run find their proxy.
struct ProxyChoice {
    enum Kind { None, Fixed, System } kind = System;
    QString host;
    quint16 port = 0;
};
// The choice for the proxy options: --no-proxy, else --proxy-server (a host name, or a URL
// whose host and port are taken) with --proxy-port (3128 when absent or 0), else the system's.
ProxyChoice ChooseProxy(bool noProxy, const QString& server, const QString& portText);
// Applies the command line's choice to the manager; the system's choice installs a factory
// with 15000 ms and probing on, owned by the manager.
void ApplyProxyChoice(QNetworkAccessManager& manager, const CCommandLine& line);

// The scheme whose entries a proxy list serves for a URL: "https" or "http".
QString SchemeForUrl(const QString& url);

// Reads host and port from proxy list text "[scheme=]host:port;..." for the scheme: the first
// entry without a scheme or with this scheme. An entry without ":" fails the whole list.
bool ParseProxyList(const QString& list, QString& host, quint16& port, const QString& scheme);

// True when host is exempt from the fixed list: bypass holds host names, domain suffixes
// (".example.com" or "example.com"), addresses or address ranges ("10.0.0.0/8"), and "*" for all.
bool IsBypassed(const QString& host, const QString& bypass);

// The system proxy for a URL, from automatic detection, a configuration script or the fixed
// list, in this order.
bool SystemProxyForUrl(const QString& url, QString& host, quint16& port, int timeoutMs);

// Discovery: the system proxy as a list, each proxy logged; false when none was found.
bool Discover(const QString& url, int timeoutMs, QList<QNetworkProxy>& proxies);

} // namespace ProxyInfo
