// System proxy discovery for each request, the proxy list parser and the choice at start-up.
#include "proxy/httpproxyfactory.h"

#include "app/commandline.h"
#include "platform/log.h"
#include "platform/lasterror.h"
#include "platform/proxydiscovery.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QTcpSocket>
#include <QUrl>

namespace ProxyInfo {

namespace {

const char* const kLog = ProxyDiscovery::kLogComponent;
const char kListError[] = " Error, cannot parse proxy host list!!";
const quint16 kDefaultProxyPort = 3128;

int Remaining(const QDeadlineTimer& deadline)
{
    return int(qBound<qint64>(0, deadline.remainingTime(), 3600 * 1000));
}

// A direct connection to the proxy succeeds before the deadline.
bool IsReachable(const QNetworkProxy& proxy, const QDeadlineTimer& deadline)
{
    const QString address = ProxyDiscovery::ResolveHost(proxy.hostName(), Remaining(deadline));
    if (address.isEmpty())
        return false;
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost(address, proxy.port());
    return socket.waitForConnected(Remaining(deadline));
}

bool AutoProxyForUrl(const QString& url, QString& host, quint16& port, int timeoutMs, const QString& pacUrl)
{
    if (!ProxyDiscovery::Load())
        return false;
    QString list;
    if (ProxyDiscovery::AutoProxyForUrl(url, pacUrl, qMax(timeoutMs, 0), list) != ProxyDiscovery::AutoProxyResult::List)
        return false;
    return ParseProxyList(list, host, port, SchemeForUrl(url));
}

} // namespace

HttpProxyFactory::HttpProxyFactory(int timeoutMs, bool probeCandidates)
    : m_nTimeoutMs(timeoutMs)
    , m_bProbeCandidates(probeCandidates)
{
}

HttpProxyFactory::~HttpProxyFactory() = default;

QList<QNetworkProxy> HttpProxyFactory::queryProxy(const QNetworkProxyQuery& query)
{
    const QList<QNetworkProxy> none{QNetworkProxy(QNetworkProxy::NoProxy)};
    if (query.queryType() != QNetworkProxyQuery::UrlRequest)
        return none;
    const QDeadlineTimer deadline(m_nTimeoutMs);
    QList<QNetworkProxy> proxies;
    if (!Discover(query.url().toString(), Remaining(deadline), proxies))
        LogMessage(kLog, 3, "Unable to get any proxy info");
    else if (proxies.isEmpty())
        LogMessage(kLog, 3, "No proxy info retreived");
    if (proxies.isEmpty())
        return none;
    if (m_bProbeCandidates && proxies.size() > 1) {
        for (int i = 0; i < proxies.size() && Remaining(deadline) > 0; ++i) {
            if (proxies[i].type() == QNetworkProxy::NoProxy || IsReachable(proxies[i], deadline)) {
                proxies.move(i, 0);
                break;
            }
        }
    }
    return proxies;
}

ProxyChoice ChooseProxy(bool noProxy, const QString& server, const QString& portText)
{
    ProxyChoice choice;
    if (noProxy) {
        choice.kind = ProxyChoice::None;
        return choice;
    }
    if (server.isEmpty())
        return choice;
    choice.kind = ProxyChoice::Fixed;
    choice.host = server;
    quint16 urlPort = 0;
    // A value in URL form ("http://host:8080") gives its host and port.
    if (server.contains(QLatin1String("://"))) {
        const QUrl url(server);
        choice.host = url.host();
        urlPort = quint16(url.port(0));
    }
    const quint16 optionPort = quint16(portText.toUInt(nullptr, 10));
    choice.port = optionPort != 0 ? optionPort : urlPort != 0 ? urlPort : kDefaultProxyPort;
    return choice;
}

void ApplyProxyChoice(QNetworkAccessManager& manager, const CCommandLine& line)
{
    const ProxyChoice choice = ChooseProxy(line.HasOption(Options::NoProxy), line.OptionValue(Options::ProxyServer),
                                           line.OptionValue(Options::ProxyPort));
    switch (choice.kind) {
    case ProxyChoice::None:
        manager.setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        break;
    case ProxyChoice::Fixed:
        manager.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, choice.host, choice.port));
        break;
    case ProxyChoice::System:
        // The manager's own factory: an application-wide one is never asked for loopback URLs.
        manager.setProxyFactory(new HttpProxyFactory(15000, true));
        break;
    }
}

QString SchemeForUrl(const QString& url)
{
    return url.startsWith(QLatin1String("https")) ? QStringLiteral("https") : QStringLiteral("http");
}

bool ParseProxyList(const QString& list, QString& host, quint16& port, const QString& scheme)
{
    if (list.isEmpty()) {
        LogMessage(kLog, 0, "%s", kListError);
        return false;
    }
    for (const QString& entry : list.split(QLatin1Char(';'))) {
        const int colon = entry.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return false;
        const int equals = entry.indexOf(QLatin1Char('='));
        if (equals >= 0 && entry.left(equals) != scheme)
            continue;
        host = entry.mid(equals + 1, colon - equals - 1);
        port = entry.mid(colon + 1).toUShort(nullptr, 10);
        return true;
    }
    LogMessage(kLog, 0, "%s", kListError);
    return false;
}

bool IsBypassed(const QString& rawHost, const QString& bypass)
{
    QString host = rawHost.toLower();
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    const QHostAddress address(host);
    for (QString entry : bypass.toLower().split(QRegExp(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts)) {
        if (entry == QLatin1String("*"))
            return true;
        if (entry.contains(QLatin1Char('/'))) {
            const QPair<QHostAddress, int> subnet = QHostAddress::parseSubnet(entry);
            if (!address.isNull() && subnet.second >= 0 && address.isInSubnet(subnet))
                return true;
            continue;
        }
        if (entry.startsWith(QLatin1Char('[')) && entry.endsWith(QLatin1Char(']')))
            entry = entry.mid(1, entry.size() - 2);
        if (!address.isNull() || !QHostAddress(entry).isNull()) {
            if (!address.isNull() && address.isEqual(QHostAddress(entry)))
                return true;
            continue;
        }
        while (entry.startsWith(QLatin1Char('*')) || entry.startsWith(QLatin1Char('.')))
            entry.remove(0, 1);
        if (!entry.isEmpty() && (host == entry || host.endsWith(QLatin1Char('.') + entry)))
            return true;
    }
    return false;
}

bool SystemProxyForUrl(const QString& url, QString& host, quint16& port, int timeoutMs)
{
    if (!ProxyDiscovery::Load())
        return false;
    ProxyDiscovery::UserSettings settings;
    if (!ProxyDiscovery::ReadUserSettings(settings)) {
        LogMessage(kLog, 0, "can not get IE settings by reason error %d", Platform::LastError());
        return false;
    }
    if (settings.autoDetect && AutoProxyForUrl(url, host, port, timeoutMs, QString()))
        return true;
    if (!settings.autoConfigUrl.isEmpty()) {
        if (!settings.autoConfigUrl.endsWith(QLatin1String(".pac")))
            LogMessage(kLog, 1,
                       "Proxy PAC file url '%s' does not have extension '.pac', can have issue executing sush script.",
                       settings.autoConfigUrl.toUtf8().constData());
        if (AutoProxyForUrl(url, host, port, timeoutMs, settings.autoConfigUrl))
            return true;
    }
    if (settings.proxyList.isEmpty())
        return false;
    const QString urlHost = QUrl(url).host();
    if (IsBypassed(urlHost, settings.bypassList)) {
        LogMessage(kLog, 3, "Host '%s' is exempt from the proxy list by '%s'", urlHost.toUtf8().constData(),
                   settings.bypassList.toUtf8().constData());
        return false;
    }
    return ParseProxyList(settings.proxyList, host, port, SchemeForUrl(url));
}

bool Discover(const QString& url, int timeoutMs, QList<QNetworkProxy>& proxies)
{
    proxies.clear();
    QString host;
    quint16 port = 0;
    if (!SystemProxyForUrl(url, host, port, timeoutMs))
        return false;
    const QList<QNetworkProxy> found{QNetworkProxy(QNetworkProxy::HttpProxy, host, port)};
    for (const QNetworkProxy& proxy : found) {
        LogMessage(kLog, 3, "Found proxy : type %d, host '%s', port %u, user %s, passwd %s", int(proxy.type()),
                   proxy.hostName().toUtf8().constData(), unsigned(proxy.port()), proxy.user().isEmpty() ? "no" : "yes",
                   proxy.password().isEmpty() ? "no" : "yes");
        const QNetworkProxy::ProxyType type = proxy.type();
        if (type == QNetworkProxy::NoProxy || type == QNetworkProxy::HttpProxy || type == QNetworkProxy::HttpCachingProxy)
            proxies << proxy;
    }
    return true;
}

} // namespace ProxyInfo
